// kestal-tool audit: which passwords to change first. Reused, exposed in the offline list of
// breached passwords, short, of one kind of character, or holding the user name or the
// website's name; one line per finding, never a password.
#pragma once

#include <string>

#include "commands.h"

struct AuditOptions {
    std::string hibp;   // the Pwned Passwords list ordered by hash; empty: exposure not looked up
    int minLength = 12; // passwords of fewer characters are short
    bool json = false;  // one JSON document instead of lines
};

// 0 nothing found, 1 findings (or records left out of a database file cut short), 2 the
// files or the list could not be read, or not every password could be looked up.
int Audit(const Options& o, const AuditOptions& a);
