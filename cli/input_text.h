// The text of a file to import, as UTF-8.
#pragma once

#include <string>

namespace tool {

// The UTF-8 text of a file's bytes: with encoding empty the bytes must be UTF-8 already;
// otherwise encoding names one of the nine Windows code pages ("windows-1252") and the
// bytes are read in it. False, with *why, for bytes that are not UTF-8 (naming the line of
// the first) or an encoding the tool does not know.
bool InputAsUtf8(const std::string& bytes, const std::string& encoding, std::string* utf8, std::string* why);

} // namespace tool
