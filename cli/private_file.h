// Output files that hold passwords in clear text: readable by their owner alone from the
// moment they exist, never written through a link, never half-written.
#pragma once

#include <string>

namespace tool {

// Writes bytes to path through a new temporary file beside it, then moves that file to
// path in one step. The temporary file is the first of "PATH.tmp", "PATH.1.tmp" ...
// "PATH.99.tmp" that does not exist; it is created exclusively, without following a link,
// readable and writable by its owner only (mode 0600 on Linux; on Windows a protected
// access list naming the current user alone). Any file that exists under another name is
// left alone, a leftover temporary file too. An existing path (a link too) is replaced only
// with replace; a link is replaced itself, its target never touched. False, with *why,
// when nothing was written.
bool WritePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string* why);

// How many temporary names WritePrivateFile tries.
const int kTemporaryNames = 100;

// The temporary name number n (0 to kTemporaryNames - 1) of path.
std::string TemporaryName(const std::string& path, int n);

} // namespace tool
