// An imported CSV file as entries for the import rules: its columns found by the header's
// names or named with --columns, or its rows read as field/value pairs.
#pragma once

#include <string>
#include <vector>

#include "import_rules.h"

namespace csv_import {

struct Request {
    std::string columns; // --columns: the file has no header row; these name its columns
    std::string format;  // --format: the header must be this CSV format's
};

// The entries of a CSV file's UTF-8 text, in file order, blank lines left out; *reports
// gets what the reader says once for the whole file. False, with *error (which quotes no
// field of the file but the column names the tool knows), when the file cannot be read as
// logins: a quoted field that never ends, no header the tool can read, a header that is not
// --format's.
bool Read(const std::string& utf8, const Request& request, std::vector<import_rules::Item>* items,
          std::vector<std::string>* reports, std::string* error);

} // namespace csv_import
