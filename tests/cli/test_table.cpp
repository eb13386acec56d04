// list's columns on a terminal: aligned, and cut to the terminal's width so that no record
// wraps over two lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table.h"

namespace {

size_t Characters(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

TEST(TableTest, LinesFitTheTerminalAndTheIndexIsNeverCut)
{
    std::vector<std::vector<std::string>> rows = {
        {"0", "A website whose name runs on and on", "https://www.example.com/a/long/path", "caf\xC3\xA9-user"},
        {"1023", "Short", "https://s.example", "u"},
    };
    struct Case {
        size_t width;
        bool cut;
    } cases[] = {{0, false}, {200, false}, {60, true}, {40, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        std::vector<std::string> lines = tool::AlignedLines(rows, c.width);
        ASSERT_EQ(2u, lines.size());
        for (const std::string& line : lines) {
            if (c.width > 0) {
                EXPECT_LE(Characters(line), c.width) << line;
            }
        }
        EXPECT_EQ(c.cut, lines[0].find("\xE2\x80\xA6") != std::string::npos) << lines[0];
        EXPECT_EQ(0u, lines[0].find("0     A ")) << lines[0]; // the index whole, the columns aligned
        EXPECT_EQ(0u, lines[1].find("1023  Short")) << lines[1];
        if (!c.cut) {
            EXPECT_NE(std::string::npos, lines[0].find("caf\xC3\xA9-user"));
        }
    }
    // Too narrow for every column's first characters: cut to 8 each, and no further.
    std::vector<std::string> narrow = tool::AlignedLines(rows, 10);
    EXPECT_EQ("0     A websi\xE2\x80\xA6  https:/\xE2\x80\xA6  caf\xC3\xA9-us\xE2\x80\xA6", narrow[0]);
}
