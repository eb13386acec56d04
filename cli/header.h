// The header row of an imported CSV file: which column holds which field of a login, found
// by the column's name whatever program wrote the file, never by its position.
#pragma once

#include <string>
#include <vector>

namespace header {

enum Field { kTitle, kUrl, kUserName, kPassword, kNotes, kFieldCount };

struct Columns {
    int of[kFieldCount] = {-1, -1, -1, -1, -1}; // the column of each field, -1 for none
    int type = -1;                              // Bitwarden's item type ("login", "note", ...)
    bool joinedUris = false;                    // the URL column is Bitwarden's login_uri, which
                                                // joins several URIs with commas
    size_t width = 0;                           // the header's number of columns
};

// A header name as it is compared: trimmed of spaces and tabs, in lower case (ASCII).
std::string Folded(const std::string& name);

// Maps the header's columns. False, with *error naming the columns found, when the header
// has no URL, user-name or password column (a file whose first row is data has none), or
// when two columns name the same field.
bool Map(const std::vector<std::string>& names, Columns* columns, std::string* error);

} // namespace header
