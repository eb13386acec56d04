// The offline list of breached passwords ("Pwned Passwords", the download ordered by hash):
// one line per password, the upper-case hex of its SHA-1, a colon and how many times it was
// seen in breaches, lines ending in CRLF or LF, sorted by hash. The real list is 30-40 GB, so
// it is never read whole: each hash is found by a search over the file's byte offsets
// (64-bit on every build) that places each probe where the hash would lie if the hashes
// were spread evenly, as SHA-1 hashes are, a block or two per hash, and never costs more
// than about twice a binary search. The file is only read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crypto.h"

namespace pwned {

struct Answer {
    enum State { kMissing, kFound, kUnknown };
    State state = kMissing;
    std::string count; // when found: the count the line gives, in decimal digits
};

class List {
public:
    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List();

    // Opens the file for reading; false, with *error saying why, when it cannot be.
    bool Open(const std::string& path, std::string* error);

    // Looks up each digest; (*answers)[i] answers digests[i]. False, with *error saying why,
    // when the file cannot be read or is not a list sorted by hash (as far as the lines
    // the search reads show): then no answer may be trusted. A file holding NUL bytes (a
    // download that never finished, a damaged copy) still gives the hashes it is found to
    // hold, but every hash it did not show is kUnknown rather than kMissing, since it may
    // have been in the part that is missing; Damage() then says where.
    bool Lookup(const std::vector<crypto::Sha1Digest>& digests, std::vector<Answer>* answers, std::string* error);

    // Where the search met NUL bytes or a run of empty space longer than a block; empty
    // when it met none.
    const std::string& Damage() const { return damage_; }
    // How many blocks were read from the file, for the tests of the search's cost.
    uint64_t Reads() const { return reads_; }

private:
    struct Line {
        uint64_t start = 0, end = 0; // offsets of its first byte and of the byte after its last
        crypto::Sha1Digest hash = {};
        std::string count;
    };
    bool Fill(uint64_t block);
    int ByteAt(uint64_t offset); // -1 past the end or on a read error
    bool NextLineStart(uint64_t from, uint64_t limit, uint64_t* start);
    bool LastLineStart(uint64_t* start);
    bool SkipBlank(uint64_t from, uint64_t limit, uint64_t* start);
    bool ReadLine(uint64_t start, Line* line);
    bool Find(const crypto::Sha1Digest& target, Answer* answer);
    bool Fail(const std::string& why);
    bool OutOfOrder(const Line& first, const Line& second);

#ifdef _WIN32
    void* handle_ = nullptr; // HANDLE
#else
    int fd_ = -1;
#endif
    std::string path_, error_, damage_;
    std::string text_; // the line being read
    uint64_t size_ = 0;
    uint64_t reads_ = 0;
    // The last block read, with one system call: mapping the file was measured slower on
    // this project's (virtual) build machine, where a page fault costs more than a read.
    std::vector<unsigned char> block_;
    uint64_t blockIndex_ = UINT64_MAX;
    // The search of the next hash starts where the last one ended, after this line.
    uint64_t lowEnd_ = 0;
    bool haveLow_ = false;
    Line low_;
    // The lines above the hashes sought so far that the searches read, the closest last.
    std::vector<Line> above_;
};

// The upper-case hex of a digest, as the list writes it.
std::string Hex(const crypto::Sha1Digest& digest);

} // namespace pwned
