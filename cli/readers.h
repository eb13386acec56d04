// The readers behind documents::Read, one a format, and what they share.
#pragma once

#include <string>
#include <vector>

#include "documents.h"
#include "xml_document.h"

namespace documents {

// One entry as a reader found it, as UTF-8 text.
struct Fields {
    std::string title, url, userName, password, notes;
    std::string type;       // Bitwarden's kind of item ("login", "secure note", ...); empty elsewhere
    std::string unreadable; // why the entry's login cannot be read (it is then skipped), or empty
    std::vector<std::string> changes; // how the reader changed what the file holds (reported
                                      // when the entry is imported)
};

// Appends an entry as an item for the import rules, numbered from 1 in document order. Its
// place in reports is "entry N", followed by " (group PATH)" when it has a group ("folder"
// for Bitwarden). An entry of a Bitwarden type other than a login holds no login.
void AddEntry(Table* table, const char* groupWord, const std::string& group, const Fields& fields);

// Each reads a parsed document whose root element is its format's; false with *error when
// the document lacks what the format must have.
bool ReadKeePass(const xml::Node* root, Table* table, std::string* error);
bool ReadKeePassX(const xml::Node* root, Table* table, std::string* error);
bool ReadPasswordSafe(const xml::Node* root, Table* table, std::string* error);

// Reads Bitwarden's JSON export; false with *error for JSON that is malformed, encrypted or
// not Bitwarden's.
bool ReadBitwarden(const std::string& text, Table* table, std::string* error);

} // namespace documents
