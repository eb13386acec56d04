// 64-bit file offsets on 32-bit Linux builds too; Windows uses SetFilePointerEx.
#define _FILE_OFFSET_BITS 64

#include "pwned_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pwned {

namespace {

const uint64_t kBlock = 1024;       // empty space longer than this is no list's; a line is about 45 bytes
const uint64_t kRead = 4096;        // one read: a page (larger ones cost more in copying than they save)
const uint64_t kLongestLine = 65536; // longer "lines" are not the list's
const uint64_t kScan = 256;          // a range this short is read line by line
const uint64_t kNone = UINT64_MAX;

bool IsBreak(int c)
{
    // NUL counts as empty space between lines, so that a search that lands in a file's
    // unwritten (sparse) part moves on to the lines after it.
    return c == '\n' || c == '\r' || c == 0;
}

int HexValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A piece of a line for a message: printable ASCII as it is, other bytes as \xNN.
std::string Shown(const std::string& text)
{
    std::string shown;
    for (size_t i = 0; i < text.size() && i < 60; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x20 && c < 0x7F) {
            shown += (char)c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            shown += escaped;
        }
    }
    return text.size() > 60 ? shown + "..." : shown;
}

} // namespace

std::string Hex(const crypto::Sha1Digest& digest)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : digest) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

List::~List()
{
#ifdef _WIN32
    if (handle_ != nullptr)
        CloseHandle((HANDLE)handle_);
#else
    if (fd_ >= 0)
        close(fd_);
#endif
}

bool List::Open(const std::string& path, std::string* error)
{
    path_ = path;
#ifdef _WIN32
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_FLAG_RANDOM_ACCESS, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *error = path + ": cannot be opened (" +
                 (code == 2 || code == 3 ? std::string("no such file") : "error " + std::to_string(code)) + ")";
        return false;
    }
    handle_ = handle;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
        *error = path + ": its size cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    size_ = (uint64_t)size.QuadPart;
#else
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (fd_ < 0 || fstat(fd_, &status) != 0) {
        *error = path + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = path + ": not a file";
        return false;
    }
    size_ = (uint64_t)status.st_size;
#endif
    return true;
}

bool List::Fail(const std::string& why)
{
    if (error_.empty())
        error_ = path_ + ": " + why;
    return false;
}

bool List::Fill(uint64_t block)
{
    uint64_t offset = block * kRead;
    size_t want = (size_t)std::min<uint64_t>(kRead, size_ - offset);
    ++reads_;
    block_.resize(want);
    blockIndex_ = UINT64_MAX;
    size_t got = 0;
#ifdef _WIN32
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    if (!SetFilePointerEx((HANDLE)handle_, at, NULL, FILE_BEGIN))
        return Fail("cannot be read at offset " + std::to_string(offset) + " (error " +
                    std::to_string(GetLastError()) + ")");
    while (got < want) {
        DWORD n = 0;
        if (!ReadFile((HANDLE)handle_, block_.data() + got, (DWORD)(want - got), &n, NULL))
            return Fail("cannot be read at offset " + std::to_string(offset) + " (error " +
                        std::to_string(GetLastError()) + ")");
        if (n == 0)
            break;
        got += n;
    }
#else
    while (got < want) {
        ssize_t n = pread(fd_, block_.data() + got, want - got, (off_t)(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail("cannot be read at offset " + std::to_string(offset) + " (" + std::strerror(errno) + ")");
        if (n == 0)
            break;
        got += (size_t)n;
    }
#endif
    if (got < want)
        return Fail("became shorter while it was read");
    blockIndex_ = block;
    return true;
}

int List::ByteAt(uint64_t offset)
{
    if (offset >= size_)
        return -1;
    if (offset / kRead != blockIndex_ && !Fill(offset / kRead))
        return -2;
    return block_[(size_t)(offset % kRead)];
}

// The first line that starts at or after from and before limit; *start is kNone when no
// line starts there. A line starts at a byte that is no line break and follows one.
bool List::NextLineStart(uint64_t from, uint64_t limit, uint64_t* start)
{
    *start = kNone;
    bool afterBreak = true;
    if (from > 0) {
        int c = ByteAt(from - 1);
        if (c == -2)
            return false;
        afterBreak = c < 0 || IsBreak(c);
    }
    uint64_t blank = 0, inLine = 0;
    for (uint64_t x = from; x < limit; ++x) {
        int c = ByteAt(x);
        if (c == -2)
            return false;
        if (c == -1)
            return true;
        if (IsBreak(c)) {
            if (c == 0 && damage_.empty())
                damage_ = "NUL bytes at offset " + std::to_string(x);
            blank = afterBreak ? blank + 1 : 1;
            afterBreak = true;
            // Empty space longer than a block is no list's: jump over it.
            if (blank > kBlock)
                return SkipBlank(x, limit, start);
        } else {
            if (afterBreak) {
                *start = x;
                return true;
            }
            if (++inLine > kLongestLine)
                return Fail("holds a line longer than " + std::to_string(kLongestLine) + " bytes near offset " +
                            std::to_string(x) + ": not a list of SHA-1 hashes and counts");
        }
    }
    return true;
}

// from is inside a long run of line breaks or NUL bytes (the unwritten part of a sparse
// file, say). Finds a line start after it in a number of reads that grows with the
// logarithm of the run's length: probes at doubling distances until one meets text, then
// halves the gap between the last empty byte and that text. Whatever it finds follows a
// break, so it is a real line start; lines it may have jumped over are why the file
// counts as damaged.
bool List::SkipBlank(uint64_t from, uint64_t limit, uint64_t* start)
{
    if (damage_.empty())
        damage_ = "more than " + std::to_string(kBlock) + " bytes of empty lines at offset " + std::to_string(from);
    uint64_t empty = from, step = kBlock;
    for (;;) {
        uint64_t probe = limit - empty > step ? empty + step : limit - 1;
        int c = ByteAt(probe);
        if (c == -2)
            return false;
        // At the limit, the line before it ends in a line break: look back over it.
        for (uint64_t back = probe; probe == limit - 1 && IsBreak(c) && back > empty + 1 && limit - back < kBlock;) {
            c = ByteAt(--back);
            if (c == -2)
                return false;
            if (!IsBreak(c))
                probe = back;
        }
        if (c >= 0 && !IsBreak(c)) {
            uint64_t text = probe;
            while (text - empty > 1) {
                uint64_t middle = empty + (text - empty) / 2;
                c = ByteAt(middle);
                if (c == -2)
                    return false;
                if (c < 0 || IsBreak(c))
                    empty = middle;
                else
                    text = middle;
            }
            *start = text;
            return true;
        }
        if (probe >= limit - 1)
            return true; // nothing but empty space up to the limit, as far as it was read
        empty = probe;
        step *= 2;
    }
}

// The start of the file's last line, the line breaks after it passed over; false when the
// file ends in something longer than a line (no break within kLongestLine bytes) or holds
// nothing but empty space. A few line breaks at the end are read one by one; a longer run
// of them or of NUL bytes (a download that stopped, the unwritten end of a sparse file) is
// jumped back over in a number of reads that grows with the logarithm of its length, as
// SkipBlank jumps forward: probes at doubling distances back until one meets text, then
// halving the gap between that text and the last empty byte.
bool List::LastLineStart(uint64_t* start)
{
    uint64_t x = size_; // [x, size_) is empty space
    for (uint64_t n = 0; x > 0 && n < kBlock; ++n, --x) {
        int c = ByteAt(x - 1);
        if (c < 0)
            return false;
        if (!IsBreak(c))
            break;
    }
    if (x > 0) {
        int c = ByteAt(x - 1);
        if (c < 0)
            return false;
        if (IsBreak(c)) {
            uint64_t empty = x - 1, text = 0, step = kBlock;
            for (;;) {
                uint64_t probe = empty > step ? empty - step : 0;
                c = ByteAt(probe);
                if (c < 0)
                    return false;
                if (!IsBreak(c)) {
                    text = probe;
                    break;
                }
                if (probe == 0)
                    return false;
                empty = probe;
                step *= 2;
            }
            while (empty - text > 1) {
                uint64_t middle = text + (empty - text) / 2;
                c = ByteAt(middle);
                if (c < 0)
                    return false;
                if (IsBreak(c))
                    empty = middle;
                else
                    text = middle;
            }
            x = text + 1;
        }
    }
    for (uint64_t length = 0; x > 0 && length <= kLongestLine; --x, ++length) {
        int c = ByteAt(x - 1);
        if (c < 0)
            return false;
        if (IsBreak(c))
            break;
    }
    *start = x;
    return x == 0 || IsBreak(ByteAt(x - 1));
}

// Reads and parses the line that starts at start: 40 hex digits, a colon, the count in
// decimal digits, perhaps spaces or tabs after it.
bool List::ReadLine(uint64_t start, Line* line)
{
    // The line's text: in place in the block read when it ends there, as nearly every line
    // of the list does; otherwise gathered from the blocks it spans.
    const char* text = nullptr;
    size_t length = 0;
    uint64_t x = start;
    int c = ByteAt(x);
    if (c == -2)
        return false;
    if (c >= 0 && !IsBreak(c)) {
        size_t at = (size_t)(x % kRead), end = at;
        while (end < block_.size() && !IsBreak(block_[end]))
            ++end;
        if (end < block_.size() || x + (end - at) == size_) {
            text = (const char*)block_.data() + at;
            length = end - at;
            x += length;
        }
    }
    if (text == nullptr) {
        text_.clear();
        for (;;) {
            c = ByteAt(x);
            if (c == -2)
                return false;
            if (c < 0 || IsBreak(c))
                break;
            // The rest of the line as far as the block read holds it, in one piece.
            size_t at = (size_t)(x % kRead), end = at;
            while (end < block_.size() && !IsBreak(block_[end]))
                ++end;
            if (text_.size() + (end - at) > kLongestLine)
                return Fail("holds a line longer than " + std::to_string(kLongestLine) + " bytes at offset " +
                            std::to_string(start) + ": not a list of SHA-1 hashes and counts");
            text_.append((const char*)block_.data() + at, end - at);
            x += end - at;
        }
        text = text_.data();
        length = text_.size();
    }
    line->start = start;
    line->end = x;
    const char* colonAt = (const char*)std::memchr(text, ':', length);
    size_t colon = colonAt == nullptr ? std::string::npos : (size_t)(colonAt - text);
    bool hex = colonAt != nullptr && std::all_of(text, colonAt, [](char h) { return HexValue(h) >= 0; });
    size_t digits = colonAt == nullptr ? 0 : colon + 1;
    while (digits < length && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    size_t rest = digits;
    while (rest < length && (text[rest] == ' ' || text[rest] == '\t'))
        ++rest;
    if (hex && colon == 32)
        return Fail("holds NTLM hashes (line at offset " + std::to_string(start) +
                    "): download the SHA-1 list of Pwned Passwords, ordered by hash");
    if (!hex || colon != 40 || digits == colon + 1 || rest != length)
        return Fail("the line at offset " + std::to_string(start) + " is not HASH:COUNT (\"" +
                    Shown(std::string(text, std::min<size_t>(length, 61))) + "\"): not a Pwned Passwords list of SHA-1 hashes");
    for (size_t i = 0; i < 20; ++i)
        line->hash[i] = (unsigned char)(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
    size_t first = colon + 1;
    while (first + 1 < digits && text[first] == '0')
        ++first; // leading zeros
    line->count.assign(text + first, digits - first);
    return true;
}

namespace {

// The first 8 bytes of a hash as a number, for the estimate of where it lies.
uint64_t Key(const crypto::Sha1Digest& hash)
{
    uint64_t key = 0;
    for (int i = 0; i < 8; ++i)
        key = key << 8 | hash[i];
    return key;
}

// Where target lies in [low, high) when the hashes between below and above (the lines that
// bound the range; none: the ends of the hash space) are spread evenly, less a line, so
// that the line found there is the one sought or one just below it.
uint64_t Estimate(uint64_t low, uint64_t high, const crypto::Sha1Digest* below, const crypto::Sha1Digest* above,
                  const crypto::Sha1Digest& target)
{
    const uint64_t kLine = 48;
    uint64_t from = below != nullptr ? Key(*below) : 0, to = above != nullptr ? Key(*above) : UINT64_MAX;
    uint64_t key = Key(target);
    if (to <= from || key <= from)
        return low;
    if (key >= to)
        return high - std::min<uint64_t>(high - low, kLine);
    long double share = (long double)(key - from) / (long double)(to - from);
    uint64_t at = low + (uint64_t)(share * (long double)(high - low));
    return at - std::min<uint64_t>(at - low, kLine);
}

} // namespace

bool List::OutOfOrder(const Line& first, const Line& second)
{
    return Fail("is not sorted by hash: the line at offset " + std::to_string(first.start) + " (" + Hex(first.hash) +
                ") comes before the line at offset " + std::to_string(second.start) + " (" + Hex(second.hash) +
                "). Download the list ordered by hash, not the one ordered by prevalence");
}

// One hash, by binary search over [the end of the last line below the previous hash, the
// closest line above this one that an earlier search read, or the end of the file): each
// probe skips to the next line start and compares. Every line read
// must lie between the lines that bound the range, or the file is not sorted.
bool List::Find(const crypto::Sha1Digest& target, Answer* answer)
{
    uint64_t low = lowEnd_, high = size_;
    Line below = low_, above;
    bool haveBelow = haveLow_, haveAbove = false;
    auto inOrder = [&](const Line& line) {
        if (haveBelow && line.hash < below.hash)
            return OutOfOrder(below, line);
        if (haveAbove && above.hash < line.hash)
            return OutOfOrder(line, above);
        return true;
    };
    auto found = [&](const Line& line) {
        answer->state = Answer::kFound;
        answer->count = line.count;
        lowEnd_ = line.end;
        low_ = line;
        haveLow_ = true;
        return true;
    };
    // The closest line above this hash that an earlier search read bounds the range.
    while (!above_.empty() && above_.back().hash < target)
        above_.pop_back();
    if (!above_.empty()) {
        if (above_.back().hash == target)
            return found(above_.back());
        above = above_.back();
        haveAbove = true;
        high = above.start;
    }
    // Each probe goes where the hash sought would lie if the hashes between the lines that
    // bound the range were spread evenly, as SHA-1 hashes are: in the list it lands within
    // a few lines of it, the next probes closer still, in the block it read. So that a list
    // whose hashes are not spread evenly costs at most about twice a binary search, the
    // probes beyond as many as a binary search of the range would make halve the range.
    // Probes within the last block read come from memory, down to a few lines. A line that
    // starts below a probe can end beyond the range's top: low then passes high, and the
    // range is empty.
    int estimates = 2;
    for (uint64_t span = high - low; span > kScan; span /= 2)
        ++estimates;
    while (low < high && high - low > kScan) {
        uint64_t span = high - low;
        bool halve = estimates-- <= 0;
        uint64_t middle = halve ? low + span / 2
                                : Estimate(low, high, haveBelow ? &below.hash : nullptr, haveAbove ? &above.hash : nullptr,
                                           target);
        uint64_t start;
        if (!NextLineStart(middle, high, &start))
            return false;
        if (start == kNone) {
            high = middle; // no line starts in [middle, high)
        } else {
            Line line;
            if (!ReadLine(start, &line) || !inOrder(line))
                return false;
            if (line.hash == target)
                return found(line);
            if (line.hash < target) {
                low = line.end;
                below = line;
                haveBelow = true;
            } else {
                high = start;
                above = line;
                haveAbove = true;
                above_.push_back(line); // each closer than the one before
            }
        }
    }
    if (low > high)
        low = high;
    // The last few lines, one by one: all of them, so that lines out of order there
    // are seen even beyond the one sought.
    Line last, hit;
    bool haveLast = false, haveHit = false;
    for (uint64_t next = low;;) {
        uint64_t start;
        if (!NextLineStart(next, high, &start))
            return false;
        if (start == kNone)
            break;
        Line line;
        if (!ReadLine(start, &line) || !inOrder(line))
            return false;
        if (haveLast && line.hash < last.hash)
            return OutOfOrder(last, line);
        last = line;
        haveLast = true;
        if (line.hash == target && !haveHit) {
            hit = line;
            haveHit = true;
        }
        if (line.hash < target) {
            low = line.end;
            below = line;
            haveBelow = true;
        }
        next = line.end;
    }
    if (haveHit)
        return found(hit);
    answer->state = Answer::kMissing;
    lowEnd_ = low;
    low_ = below;
    haveLow_ = haveBelow;
    return true;
}

bool List::Lookup(const std::vector<crypto::Sha1Digest>& digests, std::vector<Answer>* answers, std::string* error)
{
    answers->assign(digests.size(), Answer());
    error_.clear();
    damage_.clear();
    lowEnd_ = 0;
    haveLow_ = false;
    above_.clear();
    if (size_ == 0) {
        *error = path_ + ": the file is empty: not a Pwned Passwords list";
        return false;
    }
    // The first line bounds every search from below, and must not lie above the last line:
    // a file of sorted pieces in the wrong order (range files joined out of order) is then
    // refused, instead of answering "missing" for what the other pieces hold. A file that
    // does not start or end with a line (a sparse or damaged one) is left to the searches.
    Line first, last;
    if (ReadLine(0, &first)) {
        low_ = first;
        haveLow_ = true;
        uint64_t lastStart;
        if (LastLineStart(&lastStart) && ReadLine(lastStart, &last) && last.hash < first.hash) {
            OutOfOrder(first, last);
            *error = error_;
            return false;
        }
    }
    error_.clear();
    // In ascending order of hash, each search starting where the one before ended.
    std::vector<size_t> order(digests.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return digests[a] < digests[b]; });
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && digests[order[i]] == digests[order[i - 1]]) {
            (*answers)[order[i]] = (*answers)[order[i - 1]];
            continue;
        }
        if (!Find(digests[order[i]], &(*answers)[order[i]])) {
            *error = error_;
            return false;
        }
    }
    if (!damage_.empty()) {
        for (Answer& a : *answers) {
            if (a.state == Answer::kMissing)
                a.state = Answer::kUnknown;
        }
    }
    return true;
}

} // namespace pwned
