// Rows of text on standard output: in aligned columns when a person reads them on a
// terminal, tab-separated (one row a line) when another program does.
#pragma once

#include <string>
#include <vector>

namespace tool {

bool OutputIsTerminal();
// On a terminal with fitWidth, the widest columns but the first are cut (ending in "…")
// until each line fits the terminal's width, so that no line wraps into the next.
void PrintTable(std::vector<std::vector<std::string>> rows, bool fitWidth = false);
// The columns of the terminal behind standard output, or 0 when unknown (then nothing is cut).
size_t TerminalWidth();
// Lays out rows for a terminal of width columns (0: no limit), one string a line.
std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& rows, size_t width);

} // namespace tool
