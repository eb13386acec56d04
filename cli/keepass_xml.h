// KeePass 2 XML, as keepassxc-cli import reads it: one top group holding every entry.
#pragma once

#include <string>
#include <vector>

#include "formats.h"

namespace keepass {

// The document for entries (UTF-8 text) in one top group named group. Characters XML 1.0
// cannot carry, and control characters other than tab and line feed (which KeePassXC
// refuses), are dropped; a carriage return becomes a line feed. No value is marked
// Protected: KeePassXC 2.7.4 fails on plain text marked so.
std::string Document(const std::vector<Entry>& entries, const std::string& group);

// Text (UTF-8) escaped for an element's content, without what KeePassXC would refuse: the
// characters and the line breaks Document's values get.
std::string Escaped(const std::string& text);
// The same text appended to out.
void AppendEscaped(std::string* out, const std::string& text);

} // namespace keepass
