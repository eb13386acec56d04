// The tool's text on its way out: UTF-8 everywhere, shown as such on a Windows console too.
#pragma once

#include <cstdio>
#include <string>

namespace tool {

// Writes UTF-8 text to stream (stdout or stderr). On Windows, when the stream is a
// console, as wide characters, which the console shows whatever its code page (é and €
// under code page 437 or 850 too); otherwise, and on other systems, the bytes as they are.
void WriteText(std::FILE* stream, const std::string& utf8);

// Whether a write to standard output failed (a full disk, a closed pipe, a console that
// refused it), so that the command ends with status 2.
bool StandardOutputFailed();

} // namespace tool
