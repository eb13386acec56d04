// The managers' own export formats that import reads besides CSV: KeePass 2 XML (KeePass 2
// and KeePassXC), KeePassX 0.4 XML, Password Safe's XML export and Bitwarden's unencrypted
// JSON. Each reader gives the document's entries as the import rules' items, so that every
// entry then meets the rules a CSV row meets, and names each entry by its place in the
// document ("entry 5 (group Social)"), where a line number would mean little.
#pragma once

#include <string>
#include <vector>

#include "import_rules.h"

namespace documents {

enum Kind { kCsv, kKeePassXml, kKeePassXXml, kPwSafeXml, kBitwardenJson };

struct Table {
    Kind kind = kCsv;
    std::vector<import_rules::Item> items; // one an entry, in document order, each named by its
                                           // place; an entry whose login cannot be read (an
                                           // enciphered password, a Bitwarden card) says why
    std::vector<std::string> notes;        // about the document as a whole: entries left out,
                                           // such as those of a recycle bin
};

// Reads text (UTF-8) as the document its content shows: XML by its root element, JSON by
// its first character. Text that is neither is left to the CSV reader: true, with
// table->kind kCsv and no items. False, with *error, for a document that cannot be read:
// malformed or cut short, XML of another kind, JSON that is not a Bitwarden export, or an
// encrypted Bitwarden export.
bool Read(const std::string& text, Table* table, std::string* error);

// The kind a --format name gives ("keepass-xml", "keepassx-xml", "pwsafe-xml",
// "bitwarden-json"), or kCsv for any other name.
Kind KindOfName(const std::string& name);

// The --format name of a kind; "csv" for kCsv.
const char* NameOf(Kind kind);

// What a kind of document is, for messages: "a KeePass 2 XML export", ...
const char* Description(Kind kind);

} // namespace documents
