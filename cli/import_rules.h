// The rules an imported row goes through before it becomes a record: what the program's
// "Add" would have taken, within the program's limits, every login kept, and every change or
// refusal reported with the row's line.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "charset.h"
#include "header.h"

namespace import_rules {

struct Choices {
    bool skipSameSite = false;   // skip a row whose website or URL is stored (the program's question, answered No)
    bool allowEmptyUrl = false;  // import rows without a URL
    bool allowEmptyUser = false; // import rows without a user name
};

// The stored records (an import's earlier rows included), indexed for the checks of each
// row against them. It gives the answers that FindDuplicate and a look at every record give,
// without reading every record for every row: an import of 1024 rows compared half a
// million pairs of fields.
class Index {
public:
    // Takes in the records of the store it has not seen yet.
    void Update();
    // As FindDuplicate(website, url): the first record with the website (when that is not
    // empty) or the URL, letters compared as the program compares them; kNoRecord if none.
    uint32_t SameSite(const char* website, const char* url) const;
    // The first record whose URL, user name and password are these bytes; kNoRecord if none.
    uint32_t SameLogin(const std::string& url, const std::string& userName, const std::string& password) const;

private:
    std::unordered_map<std::string, uint32_t> websites_, urls_, logins_; // the first record of each
    uint32_t records_ = 0;
};

struct Tally {
    Index stored;
    int imported = 0;
    int skipped = 0;
    int changed = 0;                  // imported, but not exactly as the file had it
    std::vector<std::string> reports; // "line N: ..." (or the entry's place) for each entry skipped,
                                      // changed or noted
};

// The longest text the program's fields keep: its window reads one byte less than the
// field's size, terminator included.
enum { kLongestText = 126, kLongestShortText = 62 };

// One entry of an imported file as its reader gives it: the five fields as UTF-8 text,
// whatever the file's layout (a CSV row, a row of field/value pairs, an entry of an XML or
// JSON export).
struct Item {
    std::string where;                        // how reports name it: "line 5", or in an XML or
                                              // JSON export "entry 5 (group Social)"
    std::string text[header::kFieldCount];    // title, URL, user name, password, notes
    bool titled = true;                       // false: the file has no titles (Firefox); the
                                              // URL's host becomes the website
    std::string notALogin;                    // why it holds no login (a note, a card) or none
                                              // the tool can read, or empty
    std::string oddity;                       // how it broke its format's rules, reported always
    std::vector<std::string> changes;         // what reading it changed, reported when imported
    bool lostFields = false;                  // the reader left fields of it out (reported once
                                              // per file by the reader): counted as changed
};

// Applies the rules to one entry and, when it passes, appends it to the record store as
// the program's "Add" does (the working record, then AppendRecord).
void ImportItem(const Item& item, const charset::CodePage& cp, const Choices& choices, Tally* tally);

} // namespace import_rules
