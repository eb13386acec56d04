// The interchange formats: what an entry is between the tool and another password manager,
// how each CSV format lays it out, and which headers each format's writers write.
#pragma once

#include <string>
#include <vector>

#include "csv.h"

// One login, as UTF-8 text.
struct Entry {
    std::string title;    // the record's website
    std::string url;
    std::string userName;
    std::string password;
    std::string notes;    // the record's remarks
    int line = 0;         // where an imported entry starts in its file
};

namespace formats {

// The group (or folder) every exported entry goes into.
extern const char kGroup[];

enum Format { kUnknown, kKdbx, kKeePassXml, kKeePassXcCsv, kBitwardenCsv, kBrowserCsv, kFirefoxCsv };

// The format of a --format name ("kdbx", "keepass-xml", "keepassxc-csv", "bitwarden-csv",
// "browser-csv", "firefox-csv"), or kUnknown.
Format ByName(const std::string& name);

// The CSV document of entries in one of the CSV formats, header first.
std::string CsvDocument(Format format, const std::vector<Entry>& entries);

// True when header is one that format's writers write: it holds the columns that mark the
// format (case, surrounding spaces and order aside; the versions before a column was added
// included). Columns are read by name whatever the format.
bool HeaderFits(Format format, const std::vector<std::string>& header);

// The first CSV format whose header this is, or kUnknown.
Format ByHeader(const std::vector<std::string>& header);

// The host of a URL: what lies between "scheme://" (and any "user@") and the next '/', '?',
// '#' or ':'. Empty when there is none.
std::string HostOf(const std::string& url);

} // namespace formats
