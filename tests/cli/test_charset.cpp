// The character table the files' text goes through: Windows-1252 both ways, identical on
// every build, and nothing ever stored as a stand-in.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

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

TEST(Charset, OtherCodePagesHaveTheirOwnLetters)
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

namespace {

// What the system makes of one byte in codePage, as a code point; 0 when it refuses it.
// Under Wine that is MultiByteToWideChar (Wine's own tables, which follow Windows);
// natively glibc's iconv, whose Windows-1255 and 1258 converters keep back a base letter
// that a combining mark could follow until they are flushed.
char32_t SystemCodePoint(int codePage, unsigned char byte)
{
    char in = (char)byte;
#ifdef _WIN32
    wchar_t out[2];
    int n = MultiByteToWideChar((UINT)codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    return n == 1 ? (char32_t)out[0] : 0;
#else
    iconv_t converter = iconv_open("UTF-32LE", ("WINDOWS-" + std::to_string(codePage)).c_str());
    if (converter == (iconv_t)-1)
        return 0;
    unsigned char out[16];
    char* inPointer = &in;
    char* outPointer = (char*)out;
    size_t inLeft = 1, outLeft = sizeof(out);
    size_t done = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    if (done != (size_t)-1)
        done = iconv(converter, nullptr, nullptr, &outPointer, &outLeft);
    iconv_close(converter);
    if (done == (size_t)-1 || sizeof(out) - outLeft != 4)
        return 0;
    return (char32_t)out[0] | (char32_t)out[1] << 8 | (char32_t)out[2] << 16 | (char32_t)out[3] << 24;
#endif
}

} // namespace

// All 128 high bytes of all nine code pages: the letter the system gives, or the code point
// of the byte's own value where it gives none. Bytes whose letter was added to Windows
// after glibc's tables were made are listed; under Wine none is excused.
TEST(Charset, EveryHighByteIsTheLetterWindowsGives)
{
    std::string utf8;
    for (int codePage = 1250; codePage <= 1258; ++codePage) {
        charset::CodePage cp;
        ASSERT_TRUE(cp.Load(codePage));
        int defined = 0;
        for (int b = 0x80; b < 0x100; ++b) {
            char32_t system = SystemCodePoint(codePage, (unsigned char)b);
#ifndef _WIN32
            if (codePage == 1255 && b == 0xCA) {
                EXPECT_EQ(0u, system) << "glibc now knows 0xCA of Windows-1255: drop the excuse";
                system = 0x05BA;
            }
#endif
            defined += system != 0;
            utf8.clear();
            charset::AppendUtf8(system != 0 ? system : (char32_t)b, &utf8);
            std::string byte(1, (char)b), back;
            EXPECT_EQ(utf8, cp.ToUtf8(byte)) << "Windows-" << codePage << " byte " << std::hex << b;
            ASSERT_TRUE(cp.FromUtf8(utf8, &back));
            EXPECT_EQ(byte, back) << "Windows-" << codePage << " byte " << std::hex << b;
        }
        EXPECT_GE(defined, 100) << "the system knows too little of Windows-" << codePage << " to compare";
    }
}

TEST(Charset, HebrewAndVietnameseAreTheirLetters)
{
    charset::CodePage cp;
    ASSERT_TRUE(cp.Load(1255));
    EXPECT_EQ("\xD7\x90\xD7\xAA", cp.ToUtf8("\xE0\xFA")); // alef, tav
    std::string bytes;
    ASSERT_TRUE(cp.FromUtf8("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", &bytes)); // shalom
    EXPECT_EQ("\xF9\xEC\xE5\xED", bytes);
    ASSERT_TRUE(cp.Load(1258));
    EXPECT_EQ("\xC4\x82\xC6\xA1", cp.ToUtf8("\xC3\xF5")); // A breve, o horn
    EXPECT_EQ("\xCC\x81", cp.ToUtf8("\xEC"));             // combining acute
}

TEST(Charset, CodePageNamesAndTextThatIsNotUtf8)
{
    EXPECT_EQ(1252, charset::CodePageOfName("windows-1252"));
    EXPECT_EQ(1250, charset::CodePageOfName("Windows-1250"));
    EXPECT_EQ(1258, charset::CodePageOfName("CP1258"));
    EXPECT_EQ(1255, charset::CodePageOfName("1255"));
    for (const char* other : {"", "windows-1259", "windows-125", "utf-8", "latin1", "cp437", "windows-12520"})
        EXPECT_EQ(0, charset::CodePageOfName(other)) << other;
    EXPECT_EQ(std::string::npos, charset::FirstInvalidUtf8("caf\xC3\xA9\n\xE2\x82\xAC"));
    EXPECT_EQ(4u, charset::FirstInvalidUtf8("ab\nc\xE9 d"));
    EXPECT_EQ(0u, charset::FirstInvalidUtf8("\xE2\x82"));
}
