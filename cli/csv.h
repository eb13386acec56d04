// Comma-separated values as RFC 4180 has them: fields in double quotes may hold commas,
// line breaks and doubled quotes; lines end with LF or CRLF; the last line may lack its end.
// Quotes that break those rules are read as spreadsheet programs read them, and the row
// says so.
#pragma once

#include <string>
#include <vector>

namespace csv {

struct Row {
    int line = 0;                    // the line of the file the row starts on, from 1
    std::vector<std::string> fields;
    std::string oddity;              // how the row broke the quoting rules; empty when it did not
    // Rows read from an XML or JSON export instead:
    std::string place;               // where the entry is, for reports ("entry 5 (group Social)")
    std::string unreadable;          // why its login could not be read (it is then skipped), or empty
};

// Splits text into rows; a leading UTF-8 byte order mark is skipped. A quote inside an
// unquoted field is text; so is a quote that closes a quoted field but is followed by more
// text before the comma or line end ("a"b is the field a"b). False, with *error saying
// where, only when a quoted field never ends: every row after it would be swallowed.
bool Parse(const std::string& text, std::vector<Row>* rows, std::string* error);

// A row of fields as a line ending in LF. With quoteAll every field is quoted (KeePassXC's
// own export); otherwise only the fields that need it (a comma, a quote, a line break, or a
// space at either end).
std::string FormatRow(const std::vector<std::string>& fields, bool quoteAll);

} // namespace csv
