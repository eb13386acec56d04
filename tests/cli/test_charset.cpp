// The character table the files' text goes through: Windows-1252 both ways, identical on
// every build, and nothing ever stored as a stand-in.
#include <gtest/gtest.h>

#include <string>

#include "charset.h"

TEST(Charset, EveryWindows1252ByteComesBackFromItsUtf8)
{
    charset::CodePage cp;
    ASSERT_TRUE(cp.Load(1252));
    for (int b = 1; b < 256; ++b) {
        std::string byte(1, (char)b), back;
        std::string utf8 = cp.ToUtf8(byte);
        ASSERT_TRUE(cp.FromUtf8(utf8, &back)) << "byte " << b;
        EXPECT_EQ(byte, back) << "byte " << b;
    }
    EXPECT_EQ("\xE2\x82\xAC", cp.ToUtf8("\x80"));     // euro sign
    EXPECT_EQ("\xC3\xA9", cp.ToUtf8("\xE9"));         // e acute
    EXPECT_EQ("\xC5\xA0", cp.ToUtf8("\x8A"));         // S caron
    EXPECT_EQ("\xE2\x84\xA2", cp.ToUtf8("\x99"));     // trade mark
    // The five bytes Windows-1252 leaves undefined stand for the C1 code points.
    EXPECT_EQ("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", cp.ToUtf8("\x81\x8D\x8F\x90\x9D"));
}

TEST(Charset, TextWithoutABytesIsRefusedNotReplaced)
{
    charset::CodePage cp;
    ASSERT_TRUE(cp.Load(1252));
    std::string bytes = "unchanged";
    EXPECT_FALSE(cp.FromUtf8("\xD0\xBF\xD0\xB0", &bytes)); // Cyrillic
    EXPECT_FALSE(cp.FromUtf8("a\xE2\x80\x8B", &bytes));    // zero-width space
    EXPECT_FALSE(cp.FromUtf8("\xF0\x9F\x94\x91", &bytes)); // an emoji
    // Not UTF-8 at all: a lone continuation byte, overlong forms, a surrogate, a cut
    // sequence, past U+10FFFF.
    for (const char* bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(cp.FromUtf8(bad, &bytes)) << bad;
    ASSERT_TRUE(cp.FromUtf8("caf\xC3\xA9 \xE2\x82\xAC", &bytes));
    EXPECT_EQ("caf\xE9 \x80", bytes);
}

TEST(Charset, OtherCodePagesComeFromTheSystem)
{
    charset::CodePage cp;
    EXPECT_FALSE(cp.Load(1200));
    EXPECT_FALSE(cp.Load(65001));
    ASSERT_TRUE(cp.Load(1251));
    EXPECT_EQ("\xD0\xBF", cp.ToUtf8("\xEF")); // Cyrillic small pe
    std::string bytes;
    ASSERT_TRUE(cp.FromUtf8("\xD0\xBF\xD0\xB0", &bytes));
    EXPECT_EQ("\xEF\xE0", bytes);
    EXPECT_FALSE(cp.FromUtf8("\xC3\xA9", &bytes)); // no e acute in Windows-1251
    ASSERT_TRUE(cp.Load(1250));
    EXPECT_EQ("\xC5\xBE", cp.ToUtf8("\x9E")); // z caron
}
