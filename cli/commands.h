// The tool's commands. Each reads and writes the two files of a database folder through
// the program's own routines, and returns the process exit status: 0 done (nothing found),
// 1 done with findings, skipped or changed rows, 2 nothing could be done. Data and summaries
// go to standard output, reports and warnings to standard error.
#pragma once

#include <string>

struct Options {
    std::string folder = ".";     // the database folder
    int codePage = 1252;          // of the text in the files
    bool passwords = false;       // list: show them
    std::string format;           // export, import: a format name
    std::string output;           // export: a file instead of standard output
    bool force = false;           // export: replace an existing file
    std::string input;            // import: the CSV file
    std::string inputEncoding;    // import: the file's code page when it is not UTF-8
    std::string columns;          // import: the columns of a file without a header row
    bool dryRun = false;          // import: report only
    bool skipSameSite = false;    // import: skip rows whose website or URL is stored
    bool allowEmptyUrl = false;   // import: take rows without a URL
    bool allowEmptyUser = false;  // import: take rows without a user name
};

int Check(const Options& o);
int List(const Options& o);
int Export(const Options& o);
int Import(const Options& o);
int Recover(const Options& o);
