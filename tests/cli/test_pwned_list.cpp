// The look-up in the breached-password list: the system's SHA-1 against published test
// vectors, and the binary search over lists written here (1, 2 and 100 000 lines, CRLF and
// LF, a long line, lists that are not sorted or not lists at all, a list with a run of NUL
// bytes), natively and under Wine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "hash_list.h"

namespace {

using hash_list::Line;

crypto::Sha1Digest Digest(const std::string& hex)
{
    crypto::Sha1Digest d = {};
    for (size_t i = 0; i < 20; ++i)
        d[i] = (unsigned char)std::stoi(hex.substr(2 * i, 2), nullptr, 16);
    return d;
}

// A digest just above or below another: never in a list of random digests.
crypto::Sha1Digest Next(crypto::Sha1Digest d, int step)
{
    for (int i = 19; i >= 0; --i) {
        d[i] = (unsigned char)(d[i] + step);
        if (d[i] != (step > 0 ? 0 : 255))
            break;
    }
    return d;
}

class PwnedListTest : public CliTest {
protected:
    // Looks digests up in a file of text; the answers, or the error as the only count.
    std::vector<pwned::Answer> LookUp(const std::string& text, const std::vector<crypto::Sha1Digest>& digests,
                                      std::string* error = nullptr, const char* name = "list.txt")
    {
        pwned::List list;
        std::string why;
        std::vector<pwned::Answer> answers;
        EXPECT_TRUE(list.Open(Write(name, text), &why)) << why;
        bool ok = list.Lookup(digests, &answers, &why);
        if (error != nullptr)
            *error = ok ? "" : why;
        else
            EXPECT_TRUE(ok) << why;
        reads = list.Reads();
        damage = list.Damage();
        return answers;
    }
    uint64_t reads = 0;
    std::string damage;
};

} // namespace

TEST_F(PwnedListTest, Sha1OfTheSystemGivesThePublishedDigests)
{
    const struct {
        std::string text, hex;
    } vectors[] = {
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
        {"password", "5BAA61E4C9B93F3F0682250B6CF8331B7EE68FD8"},
    };
    for (const auto& v : vectors) {
        crypto::Sha1Digest d;
        ASSERT_TRUE(crypto::Sha1(v.text, &d));
        EXPECT_EQ(v.hex, pwned::Hex(d)) << v.text.substr(0, 20);
    }
}

TEST_F(PwnedListTest, FindsFirstLastAndEveryLineOfSmallListsAndNothingElse)
{
    for (const char* lineEnd : {"\r\n", "\n"}) {
        for (size_t n : {1, 2, 3, 100}) {
            std::vector<Line> lines = hash_list::RandomLines(n, 7);
            hash_list::Sort(&lines);
            std::vector<crypto::Sha1Digest> digests;
            for (const Line& l : lines)
                digests.push_back(l.first);
            for (const Line& l : lines) { // just below and just above each line
                digests.push_back(Next(l.first, -1));
                digests.push_back(Next(l.first, 1));
            }
            // The last line without its line end, as a hand-made file may have it.
            std::string text = hash_list::Text(lines, lineEnd);
            for (const std::string& t : {text, text.substr(0, text.size() - std::string(lineEnd).size())}) {
                std::vector<pwned::Answer> answers = LookUp(t, digests);
                for (size_t i = 0; i < digests.size(); ++i) {
                    SCOPED_TRACE(std::to_string(n) + " lines, digest " + std::to_string(i));
                    if (i < n) {
                        EXPECT_EQ(pwned::Answer::kFound, answers[i].state);
                        EXPECT_EQ(lines[i].second, answers[i].count);
                    } else {
                        EXPECT_EQ(pwned::Answer::kMissing, answers[i].state);
                    }
                }
            }
        }
    }
}

TEST_F(PwnedListTest, SearchesAHundredThousandLinesInLogarithmicReads)
{
    std::vector<Line> lines = hash_list::RandomLines(100000, 11);
    hash_list::Sort(&lines);
    std::string text = hash_list::Text(lines);
    // The first, the last, every 97th, and hashes below, between and above the lines.
    std::vector<crypto::Sha1Digest> digests = {lines.front().first, lines.back().first,
                                               Next(lines.front().first, -1), Next(lines.back().first, 1)};
    std::vector<std::string> counts = {lines.front().second, lines.back().second, "", ""};
    for (size_t i = 0; i < lines.size(); i += 97) {
        digests.push_back(lines[i].first);
        counts.push_back(lines[i].second);
        digests.push_back(Next(lines[i].first, 1));
        counts.push_back("");
    }
    std::vector<pwned::Answer> answers = LookUp(text, digests);
    for (size_t i = 0; i < digests.size(); ++i) {
        EXPECT_EQ(counts[i].empty() ? pwned::Answer::kMissing : pwned::Answer::kFound, answers[i].state) << i;
        EXPECT_EQ(counts[i], answers[i].count) << i;
    }
    // One hash alone: about one read per halving of the file's blocks, not the whole file.
    double halvings = std::log2((double)text.size() / 4096);
    for (size_t i : {(size_t)0, (size_t)54321, lines.size() - 1}) {
        LookUp(text, {lines[i].first});
        EXPECT_LE(reads, (uint64_t)(2 * halvings + 4)) << "line " << i << " of " << text.size() / 4096 << " blocks";
        LookUp(text, {Next(lines[i].first, 1)});
        EXPECT_LE(reads, (uint64_t)(2 * halvings + 4)) << "beside line " << i;
    }
}

// The search places its probes where the hashes would lie if they were spread evenly. A
// list whose hashes are not (all but the last in the lowest 1/65536 of the hash space, and
// each tenth line of them a thousand times further from the one before than the others)
// must still cost no more than about twice a binary search.
TEST_F(PwnedListTest, HashesNotSpreadEvenlyCostAtMostTwiceABinarySearch)
{
    std::vector<Line> lines = hash_list::RandomLines(100000, 12);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        lines[i].first[0] = lines[i].first[1] = 0;
        lines[i].first[2] = (unsigned char)(i % 10 == 0 ? 0xF0 | (i >> 16 & 15) : i >> 16 & 15);
    }
    lines.back().first[0] = 0xFF;
    hash_list::Sort(&lines);
    std::string text = hash_list::Text(lines);
    double halvings = std::log2((double)text.size() / 4096);
    for (size_t i : {(size_t)1, (size_t)777, (size_t)50001, (size_t)99998}) {
        std::vector<pwned::Answer> answers = LookUp(text, {lines[i].first, Next(lines[i].first, 1)});
        EXPECT_EQ(pwned::Answer::kFound, answers[0].state) << i;
        EXPECT_EQ(pwned::Answer::kMissing, answers[1].state) << i;
        EXPECT_LE(reads, (uint64_t)(4 * halvings + 8)) << "line " << i;
    }
}

TEST_F(PwnedListTest, ALineLongerThanABlockIsReadWhole)
{
    std::vector<Line> lines = hash_list::RandomLines(2000, 5);
    hash_list::Sort(&lines);
    lines[1000].second = std::string(9000, '0') + "42"; // leading zeros
    std::string text = hash_list::Text(lines);
    // Spaces after the count, as a hand-edited file may have them.
    std::string spaced = hash_list::Pad(lines, 1500, 6000);
    for (const std::string& t : {text, spaced}) {
        std::vector<pwned::Answer> answers =
            LookUp(t, {lines[999].first, lines[1000].first, lines[1001].first, Next(lines[1000].first, 1),
                       lines[1500].first, lines[1501].first});
        EXPECT_EQ("42", answers[1].count);
        for (size_t i : {0, 1, 2, 4, 5})
            EXPECT_EQ(pwned::Answer::kFound, answers[i].state) << i;
        EXPECT_EQ(pwned::Answer::kMissing, answers[3].state);
        EXPECT_EQ(lines[1500].second, answers[4].count);
    }
}

TEST_F(PwnedListTest, AListNotSortedByHashIsRefused)
{
    std::vector<Line> lines = hash_list::RandomLines(100000, 3);
    // The download ordered by prevalence: the most frequent first.
    std::vector<Line> byCount = lines;
    std::stable_sort(byCount.begin(), byCount.end(),
                     [](const Line& a, const Line& b) { return std::stoul(a.second) > std::stoul(b.second); });
    std::vector<crypto::Sha1Digest> digests;
    for (size_t i = 0; i < 1024; ++i)
        digests.push_back(lines[i * 90].first);
    std::string error;
    LookUp(hash_list::Text(byCount), digests, &error);
    EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    EXPECT_NE(std::string::npos, error.find("ordered by hash")) << error;
    // A single hash is enough to see it; and two lines the wrong way round.
    LookUp(hash_list::Text(byCount), {lines[77].first}, &error);
    EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    hash_list::Sort(&lines);
    for (const crypto::Sha1Digest& d : {lines[0].first, lines[1].first, Next(lines[0].first, 1), Next(lines[1].first, 1)}) {
        LookUp(hash_list::Text({lines[1], lines[0]}), {d}, &error);
        EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    }
}

// A line far longer than its neighbours can hold a probe while the line before it is the
// closest below: the range then closes to nothing, and must not be searched past its top.
TEST_F(PwnedListTest, ALongLineJustBelowTheHashSoughtLeavesTheRangeEmptyNotUnsorted)
{
    for (int seed = 1; seed <= 5; ++seed) {
        std::vector<Line> lines = hash_list::RandomLines(21, 100 + seed);
        hash_list::Sort(&lines);
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            std::string text = hash_list::Pad(lines, i, 499);
            std::vector<pwned::Answer> answers =
                LookUp(text, {Next(lines[i].first, 1), lines[i].first, lines[i + 1].first});
            ASSERT_EQ(3u, answers.size());
            EXPECT_EQ(pwned::Answer::kMissing, answers[0].state) << seed << " " << i;
            EXPECT_EQ(pwned::Answer::kFound, answers[1].state) << seed << " " << i;
            EXPECT_EQ(pwned::Answer::kFound, answers[2].state) << seed << " " << i;
        }
    }
}

// Two sorted halves joined the wrong way round: every line the search reads is in order
// with its neighbours, but not with the file's first line.
TEST_F(PwnedListTest, SortedPiecesInTheWrongOrderAreRefused)
{
    std::vector<Line> lines = hash_list::RandomLines(100000, 9);
    hash_list::Sort(&lines);
    std::vector<Line> swapped(lines.begin() + 50000, lines.end());
    swapped.insert(swapped.end(), lines.begin(), lines.begin() + 50000);
    std::vector<crypto::Sha1Digest> digests;
    for (size_t i = 0; i < 101; ++i)
        digests.push_back(lines[i * 990].first);
    std::string error;
    LookUp(hash_list::Text(swapped), digests, &error);
    EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    LookUp(hash_list::Text(swapped), {lines[70000].first}, &error);
    EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    // The same behind the NUL bytes of a download that stopped: the last line is found
    // across them in a few reads.
    LookUp(hash_list::Text(swapped) + std::string(8 << 20, '\0'), {lines[70000].first}, &error);
    EXPECT_NE(std::string::npos, error.find("is not sorted by hash")) << error;
    EXPECT_LE(reads, 200u);
}

TEST_F(PwnedListTest, AFileThatIsNoListIsRefused)
{
    std::vector<crypto::Sha1Digest> digests = {Digest("5BAA61E4C9B93F3F0682250B6CF8331B7EE68FD8")};
    const struct {
        std::string text, says;
    } files[] = {
        {"", "is empty"},
        {"hello\r\n", "is not HASH:COUNT"},
        {"5BAA61E4C9B93F3F0682250B6CF8331B7EE68FD8\r\n", "is not HASH:COUNT"},
        {"5BAA61E4C9B93F3F0682250B6CF8331B7EE68FD8:12x\r\n", "is not HASH:COUNT"},
        {"5BAA61E4C9B93F3F0682250B6CF8331B7EE68F:12\r\n", "is not HASH:COUNT"},
        {"8846F7EAEE8FB117AD06BDD830B7586C:12\r\n", "NTLM"},
        {std::string(100000, 'x'), "longer than"},
    };
    for (const auto& f : files) {
        std::string error;
        LookUp(f.text, digests, &error);
        EXPECT_NE(std::string::npos, error.find(f.says)) << f.text.substr(0, 50) << ": " << error;
    }
}

// What the unwritten part of a sparse file (or a download that never finished) holds: the
// search jumps over the NUL bytes in a few reads and finds the lines after them, but a hash
// it did not see may have been in the missing part, so it is not reported as missing.
TEST_F(PwnedListTest, ARunOfNulBytesIsJumpedOverAndMakesAbsenceUnknown)
{
    std::vector<Line> lines = hash_list::RandomLines(1000, 9);
    hash_list::Sort(&lines);
    std::vector<Line> before(lines.begin(), lines.begin() + 500), after(lines.begin() + 500, lines.end());
    std::string text = hash_list::Text(before) + std::string(8 << 20, '\0') + hash_list::Text(after);
    std::vector<pwned::Answer> answers =
        LookUp(text, {lines[0].first, lines[499].first, lines[500].first, lines[999].first, Next(lines[700].first, 1)});
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(pwned::Answer::kFound, answers[i].state) << i;
    EXPECT_EQ(lines[500].second, answers[2].count);
    EXPECT_EQ(pwned::Answer::kUnknown, answers[4].state);
    EXPECT_NE(std::string::npos, damage.find("NUL bytes at offset")) << damage;
    EXPECT_LE(reads, 400u) << "8 MiB of NUL bytes must not be read through";
    // A list that ends in them, as a download that stopped: not walked back one byte at a
    // time before the search.
    answers = LookUp(hash_list::Text(lines) + std::string(8 << 20, '\0'), {lines[0].first, lines[999].first});
    EXPECT_EQ(pwned::Answer::kFound, answers[0].state);
    EXPECT_EQ(pwned::Answer::kFound, answers[1].state);
    EXPECT_LE(reads, 200u) << "8 MiB of NUL bytes at the end must not be read through";
    // A list without them answers "missing".
    answers = LookUp(hash_list::Text(lines), {Next(lines[700].first, 1)});
    EXPECT_EQ(pwned::Answer::kMissing, answers[0].state);
    EXPECT_EQ("", damage);
}
