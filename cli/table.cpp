#include "table.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "folder.h"

namespace tool {

namespace {

// Characters, not bytes, of UTF-8 text.
size_t Width(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

bool OutputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

void PrintTable(std::vector<std::vector<std::string>> rows)
{
    if (!OutputIsTerminal()) {
        // A tab or line break inside a field would split it: it becomes a space.
        for (std::vector<std::string>& row : rows) {
            std::string line;
            for (size_t c = 0; c < row.size(); ++c) {
                std::replace_if(row[c].begin(), row[c].end(), [](char ch) { return ch == '\t' || ch == '\n' || ch == '\r'; }, ' ');
                line += (c > 0 ? "\t" : "") + row[c];
            }
            Say(line);
        }
        return;
    }
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        Say(line);
    }
}

} // namespace tool
