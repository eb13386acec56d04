// The CSV reader and writer, on the edge cases the managers' files hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv.h"

namespace {

std::vector<std::vector<std::string>> Fields(const std::vector<csv::Row>& rows)
{
    std::vector<std::vector<std::string>> out;
    for (const csv::Row& r : rows)
        out.push_back(r.fields);
    return out;
}

using Table = std::vector<std::vector<std::string>>;

} // namespace

TEST(Csv, QuotedFieldsHoldCommasQuotesAndLineBreaks)
{
    std::vector<csv::Row> rows;
    std::string error;
    ASSERT_TRUE(csv::Parse("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",,x\n\"\"\n", &rows, &error)) << error;
    EXPECT_EQ((Table{{"a", "b,c", "say \"hi\""}, {"two\nlines", "", "x"}, {""}}), Fields(rows));
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(1, rows[0].line);
    EXPECT_EQ(2, rows[1].line);
    EXPECT_EQ(4, rows[2].line); // the line break inside the quotes counts
}

TEST(Csv, ByteOrderMarkLineEndsAndALastLineWithoutItsEnd)
{
    std::vector<csv::Row> rows;
    std::string error;
    ASSERT_TRUE(csv::Parse("\xEF\xBB\xBFurl,user\r\nhttps://a,me", &rows, &error));
    EXPECT_EQ((Table{{"url", "user"}, {"https://a", "me"}}), Fields(rows));
    ASSERT_TRUE(csv::Parse("x\r\n\"y\"", &rows, &error));
    EXPECT_EQ((Table{{"x"}, {"y"}}), Fields(rows));
    ASSERT_TRUE(csv::Parse("", &rows, &error));
    EXPECT_TRUE(rows.empty());
    // CR CR LF ends one row, and the lines are counted so.
    ASSERT_TRUE(csv::Parse("a\r\r\nb\r\r\n\"c\nd\"\r\r\ne", &rows, &error));
    EXPECT_EQ((Table{{"a"}, {"b"}, {"c\nd"}, {"e"}}), Fields(rows));
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(5, rows[3].line);
}

TEST(Csv, StrayQuotesAreTextAndOnlyAnEndlessQuoteIsAnError)
{
    std::vector<csv::Row> rows;
    std::string error;
    EXPECT_FALSE(csv::Parse("a,b\nc,\"never\nends", &rows, &error));
    EXPECT_NE(std::string::npos, error.find("line 2")) << error;

    // Text after a closing quote, and a quote inside an unquoted field, stay as they stand;
    // the rows after them are read as usual.
    ASSERT_TRUE(csv::Parse("\"a\"b,c\nx,y\"z\"\n\"\",\"ok\"\n\"\"k\"\":1,2\n", &rows, &error)) << error;
    EXPECT_EQ((Table{{"a\"b", "c"}, {"x", "y\"z\""}, {"", "ok"}, {"\"k\"\":1", "2"}}), Fields(rows));
    EXPECT_NE("", rows[0].oddity);
    EXPECT_NE("", rows[1].oddity);
    EXPECT_EQ("", rows[2].oddity);
    EXPECT_NE("", rows[3].oddity);
}

TEST(Csv, WriterQuotesWhatNeedsItAndReadsBackTheSame)
{
    std::vector<std::string> fields = {"plain", "a,b", "say \"x\"", "two\nlines", " edge", ""};
    EXPECT_EQ("plain,\"a,b\",\"say \"\"x\"\"\",\"two\nlines\",\" edge\",\n", csv::FormatRow(fields, false));
    EXPECT_EQ("\"plain\",\"\"\n", csv::FormatRow({"plain", ""}, true));
    std::vector<csv::Row> rows;
    std::string error;
    ASSERT_TRUE(csv::Parse(csv::FormatRow(fields, false) + csv::FormatRow(fields, true), &rows, &error));
    EXPECT_EQ((Table{fields, fields}), Fields(rows));
}
