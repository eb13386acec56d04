// Lists of breached-password hashes for the tests and the benchmark, in the layout of the
// Pwned Passwords download ordered by hash: "SHA1HEX:COUNT" lines, sorted.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "crypto.h"
#include "pwned_list.h"

namespace hash_list {

using Line = std::pair<crypto::Sha1Digest, std::string>; // a hash and its count

// n hashes drawn from a seeded generator (test data, not secrets), each with a count.
inline std::vector<Line> RandomLines(size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::vector<Line> lines(n);
    for (Line& line : lines) {
        for (unsigned char& b : line.first)
            b = (unsigned char)random();
        line.second = std::to_string(1 + random() % 100000);
    }
    return lines;
}

inline void Sort(std::vector<Line>* lines)
{
    std::sort(lines->begin(), lines->end());
}

// The file's text; lineEnd "\r\n" as the download has it, or "\n".
inline std::string Text(const std::vector<Line>& lines, const char* lineEnd = "\r\n")
{
    std::string text;
    text.reserve(lines.size() * 48);
    for (const Line& line : lines)
        text += pwned::Hex(line.first) + ":" + line.second + lineEnd;
    return text;
}

// The text with line `at` followed by `spaces` spaces before its line end.
inline std::string Pad(const std::vector<Line>& lines, size_t at, size_t spaces)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += pwned::Hex(lines[i].first) + ":" + lines[i].second + (i == at ? std::string(spaces, ' ') : "") + "\r\n";
    return text;
}

} // namespace hash_list
