#include "table.h"

#include <algorithm>
#include <cstdio>

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
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

// The first n characters of UTF-8 text.
std::string FirstCharacters(const std::string& utf8, size_t n)
{
    size_t at = 0;
    for (size_t count = 0; at < utf8.size(); ++at) {
        if (((unsigned char)utf8[at] & 0xC0) != 0x80 && count++ == n)
            break;
    }
    return utf8.substr(0, at);
}

// Columns narrower than this are never cut further: a website of 8 characters still says
// which site it is.
const size_t kNarrowest = 8;
const char kEllipsis[] = "\xE2\x80\xA6"; // U+2026, one character on the terminal

} // namespace

size_t TerminalWidth()
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return (size_t)(info.srWindow.Right - info.srWindow.Left + 1);
#else
    struct winsize size;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    const char* columns = std::getenv("COLUMNS");
    long n = columns != nullptr ? std::strtol(columns, nullptr, 10) : 0;
    return n > 0 ? (size_t)n : 0;
}

std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& rows, size_t width)
{
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    }
    // Narrow the widest column (never the first, the record's index) one character at a
    // time until the line fits, or every column has reached the narrowest.
    auto total = [&]() {
        size_t sum = widths.empty() ? 0 : 2 * (widths.size() - 1);
        for (size_t w : widths)
            sum += w;
        return sum;
    };
    while (width > 0 && total() > width) {
        size_t widest = 0;
        for (size_t c = 1; c < widths.size(); ++c) {
            if (widths[c] > kNarrowest && (widest == 0 || widths[c] > widths[widest]))
                widest = c;
        }
        if (widest == 0)
            break;
        --widths[widest];
    }
    std::vector<std::string> lines;
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            std::string cell = row[c];
            if (Width(cell) > widths[c])
                cell = FirstCharacters(cell, widths[c] - 1) + kEllipsis;
            line += cell;
            if (c + 1 < row.size())
                line += std::string(widths[c] - Width(cell) + 2, ' ');
        }
        lines.push_back(line);
    }
    return lines;
}

bool OutputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

void PrintTable(std::vector<std::vector<std::string>> rows, bool fitWidth)
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
    for (const std::string& line : AlignedLines(rows, fitWidth ? TerminalWidth() : 0))
        Say(line);
}

} // namespace tool
