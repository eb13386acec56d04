// The rules an imported row goes through before it becomes a record: what the program's
// "Add" would have taken, within the program's limits, every login kept, and every change or
// refusal reported with the row's line.
#pragma once

#include <string>
#include <vector>

#include "charset.h"
#include "csv.h"
#include "header.h"

namespace import_rules {

struct Choices {
    bool skipSameSite = false;   // skip a row whose website or URL is stored (the program's question, answered No)
    bool allowEmptyUrl = false;  // import rows without a URL
    bool allowEmptyUser = false; // import rows without a user name
};

struct Tally {
    int imported = 0;
    int skipped = 0;
    int changed = 0;                  // imported, but not exactly as the file had it
    std::vector<std::string> reports; // "line N: ..." (or the row's place) for each row skipped, changed or noted
};

// The longest text the program's fields keep: its window reads one byte less than the
// field's size, terminator included.
enum { kLongestText = 126, kLongestShortText = 62 };

// Applies the rules to one data row and, when it passes, appends it to the record store as
// the program's "Add" does (the working record, then AppendRecord).
void ImportRow(const csv::Row& row, const header::Columns& columns, const charset::CodePage& cp,
               const Choices& choices, Tally* tally);

} // namespace import_rules
