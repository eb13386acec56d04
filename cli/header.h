// The header row of an imported CSV file: which column holds which field of a login, found
// by the column's name whatever program wrote the file, never by its position.
#pragma once

#include <string>
#include <vector>

namespace header {

enum Field { kTitle, kUrl, kUserName, kPassword, kNotes, kFieldCount };

// What a column's name says it holds: one of the fields, an e-mail address (the user name of
// a row whose own is empty), or nothing the program keeps.
enum { kEmail = kFieldCount, kIgnored = -1 };

struct Columns {
    int of[kFieldCount] = {-1, -1, -1, -1, -1}; // the column of each field, -1 for none
    int email = -1;                             // an e-mail column beside the user name's
    int secretData = -1;                        // Zoho Vault's "SecretData": "Name: value" lines
    int type = -1;                              // Bitwarden's and Proton Pass's item type
                                                // ("login", "note", ...)
    bool joinedUris = false;                    // the URL column is Bitwarden's login_uri, which
                                                // joins several URIs with commas
    size_t width = 0;                           // the header's number of columns
    bool spills = false;                        // rows may hold fields beyond width: RoboForm's
                                                // last column (Rf_fields) spills over the next
                                                // ones; Keeper's custom fields follow --columns
};

// A header name as it is compared: trimmed of spaces and tabs, in lower case (ASCII).
std::string Folded(const std::string& name);

// What a folded column name holds (a Field, kEmail or kIgnored), by the names the exports
// of browsers and password managers give their columns.
int FieldOfName(const std::string& folded);

// Maps the header's columns. False, with *error, when the header has no URL, user-name (or
// e-mail) and password column (a file whose first row is data has none), or when two
// columns name the same field. The error quotes only names the tool knows, never another
// field of the row: in a file without a header the first row holds a password.
bool Map(const std::vector<std::string>& names, Columns* columns, std::string* error);

// Maps the columns a user named with --columns ("folder,title,username,password,url"),
// with the same names as a header; a name the tool does not know marks a column to ignore.
// False, with *error, as for Map.
bool MapNamed(const std::string& list, Columns* columns, std::string* error);

// True when the row is the first row of a file of field/value pairs: "Title", "Field",
// "Value", "Field", "Value", ..., "Note" (Enpass).
bool IsFieldValueHeader(const std::vector<std::string>& names);

// The names each field goes by, for the tool's help: "URL: url, login_uri, ...". A name
// marked '*' takes its field only when no other column does.
std::string NamesHelp();

} // namespace header
