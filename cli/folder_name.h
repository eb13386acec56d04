// The database folder as the program's settings hold it. The program reads that field in
// its ANSI code page, so the tool writes and compares it in the files' code page, never as
// UTF-8, and measures it in those bytes.
#pragma once

#include <string>

#include "charset.h"

namespace tool {

// The settings' bytes for folder: its Windows form (absolute, trailing backslash, Wine's Z:
// drive on Linux) in cp. False, with *why, when cp has no byte for one of its characters
// or the bytes do not fit the settings' 255.
bool SettingsFolderOf(const std::string& folder, const charset::CodePage& cp, std::string* bytes, std::string* why);

// Text of this system's own narrow strings (the command line, paths) as UTF-8: on Windows
// they are in the ANSI code page, elsewhere UTF-8 already.
std::string SystemToUtf8(const std::string& text);

} // namespace tool
