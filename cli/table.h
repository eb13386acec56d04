// Rows of text on standard output: in aligned columns when a person reads them on a
// terminal, tab-separated (one row a line) when another program does.
#pragma once

#include <string>
#include <vector>

namespace tool {

bool OutputIsTerminal();
void PrintTable(std::vector<std::vector<std::string>> rows);

} // namespace tool
