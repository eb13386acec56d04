#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text.h"

TEST(CompareText, EmptyAndPrefixStrings)
{
    EXPECT_EQ(0, CompareText("", "", 0));
    EXPECT_EQ(0, CompareText("", "", 1));
    for (int fold = 0; fold <= 1; ++fold) {
        EXPECT_EQ(1, CompareText("", "a", fold));
        EXPECT_EQ(1, CompareText("a", "", fold));
        EXPECT_EQ(1, CompareText("abc", "abcd", fold));
        EXPECT_EQ(1, CompareText("abcd", "abc", fold));
        EXPECT_EQ(0, CompareText("abc", "abc", fold));
    }
}

TEST(CompareText, ExactComparisonSeesCase)
{
    EXPECT_EQ(1, CompareText("Mail", "mail", 0));
    EXPECT_EQ(0, CompareText("Mail", "Mail", 0));
    EXPECT_EQ(1, CompareText("a[b", "a{b", 0));
}

TEST(CompareText, FoldingMasksWith5F)
{
    EXPECT_EQ(0, CompareText("Example.COM", "example.com", 1));
    EXPECT_EQ(0, CompareText("a[b", "a{b", 1));
    EXPECT_EQ(0, CompareText("]", "}", 1));
    EXPECT_EQ(0, CompareText("\\", "|", 1));
    EXPECT_EQ(0, CompareText("@", "`", 1));
    EXPECT_EQ(0, CompareText(" ", "\x80", 1));
    EXPECT_EQ(0, CompareText(" ", "\xA0", 1));
    EXPECT_EQ(0, CompareText("\xC1", "A", 1));
    EXPECT_EQ(0, CompareText("\xC1", "a", 1));
    EXPECT_EQ(1, CompareText("ab ", "ab", 1));
    EXPECT_EQ(1, CompareText("ab", "ac", 1));
}

TEST(CompareText, EndIsSeenOnTheUnmaskedByte)
{
    // 0x80 masks to 0 but is not the end of the string.
    EXPECT_EQ(1, CompareText("a\x80", "a", 1));
    EXPECT_EQ(1, CompareText("a", "a\x80", 1));
}

TEST(CompareText, StopsReadingFirstWhereSecondEnds)
{
    // A field from a file may lack a terminator; the search compares it with a terminated
    // working field and must not read past the field.
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(1, CompareText(unterminated, "abc", 1));
}

TEST(CopyText, CopiesAndTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    CopyText("abc", buffer, sizeof(buffer));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ('x', buffer[4]);
    CopyText("", buffer, sizeof(buffer));
    EXPECT_STREQ("", buffer);
}

TEST(CopyText, KeepsAtMostSizeMinusOneAndNeverReadsPastSource)
{
    char source[4] = {'w', 'x', 'y', 'z'}; // no terminator
    char buffer[5];
    std::memset(buffer, '#', sizeof(buffer));
    CopyText(source, buffer, 4);
    EXPECT_STREQ("wxy", buffer);
    EXPECT_EQ('#', buffer[4]);
}

TEST(AppendText, BuildsPieceByPieceWithinTheBuffer)
{
    char buffer[10];
    std::memset(buffer, 0, sizeof(buffer));
    const char* end = buffer + sizeof(buffer);
    char* p = AppendText("ab", buffer, end);
    EXPECT_EQ(buffer + 2, p);
    p = AppendText("", p, end);
    EXPECT_EQ(buffer + 2, p);
    p = AppendText("cdefghijkl", p, end);
    // Room is left for the terminator at the last byte.
    EXPECT_EQ(buffer + 9, p);
    *p = 0;
    EXPECT_STREQ("abcdefghi", buffer);
}

TEST(JoinPath, InsertsOneBackslashOnlyWhenMissing)
{
    char path[255];
    EXPECT_EQ(0, JoinPath("C:\\Data", "KSys.dat", path, sizeof(path)));
    EXPECT_STREQ("C:\\Data\\KSys.dat", path);
    EXPECT_EQ(0, JoinPath("C:\\Data\\", "KSys.dat", path, sizeof(path)));
    EXPECT_STREQ("C:\\Data\\KSys.dat", path);
    EXPECT_EQ(0, JoinPath("", "Kestal.dat", path, sizeof(path)));
    EXPECT_STREQ("\\Kestal.dat", path);
    // Only a backslash counts as a separator at the end of the folder.
    EXPECT_EQ(0, JoinPath("C:/Data/", "x", path, sizeof(path)));
    EXPECT_STREQ("C:/Data/\\x", path);
}

TEST(JoinPath, RefusesWhatDoesNotFitAndWritesNothingPastTheBuffer)
{
    // Guard bytes after a 255-byte buffer show any overrun.
    struct {
        char path[255];
        char guard[16];
    } area;
    std::memset(&area, '#', sizeof(area));

    // 244 characters without a trailing backslash + '\' + "Kestal.dat" = 255: one too many.
    std::string folder(244, 'f');
    EXPECT_EQ(1, JoinPath(folder.c_str(), "Kestal.dat", area.path, sizeof(area.path)));
    EXPECT_STREQ("", area.path);
    // 243 fits exactly: 254 characters and the terminator.
    folder.assign(243, 'f');
    EXPECT_EQ(0, JoinPath(folder.c_str(), "Kestal.dat", area.path, sizeof(area.path)));
    EXPECT_EQ(254u, std::strlen(area.path));
    // With its own trailing backslash the folder may be one longer.
    folder.assign(243, 'f');
    folder += '\\';
    EXPECT_EQ(0, JoinPath(folder.c_str(), "Kestal.dat", area.path, sizeof(area.path)));
    folder.insert(0, "g");
    EXPECT_EQ(1, JoinPath(folder.c_str(), "Kestal.dat", area.path, sizeof(area.path)));
    // Settings name is two characters shorter.
    folder.assign(245, 'f');
    EXPECT_EQ(0, JoinPath(folder.c_str(), "KSys.dat", area.path, sizeof(area.path)));
    folder.assign(246, 'f');
    EXPECT_EQ(1, JoinPath(folder.c_str(), "KSys.dat", area.path, sizeof(area.path)));
    folder.assign(1000, 'f');
    EXPECT_EQ(1, JoinPath(folder.c_str(), "KSys.dat", area.path, sizeof(area.path)));

    for (char c : area.guard)
        ASSERT_EQ('#', c);
}
