#include "generate.h"

#include <cstring>
#include <string>
#include <vector>

#include "crypto.h"
#include "folder.h"

using namespace tool;

namespace {

const char* const kClasses[] = {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789",
                                "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"};
// Read aloud or copied from paper, these pass for one another.
const char kLookalikes[] = "Il1|O0o";
const int kLongest = 62; // what the program's password field keeps

// Random bytes, drawn from the system's generator a buffer at a time.
class RandomSource {
public:
    bool Next(unsigned char* byte)
    {
        if (used_ == sizeof(buffer_)) {
            if (!crypto::RandomBytes(buffer_, sizeof(buffer_)))
                return false;
            used_ = 0;
        }
        *byte = buffer_[used_++];
        return true;
    }
    ~RandomSource() { std::memset(buffer_, 0, sizeof(buffer_)); }

private:
    unsigned char buffer_[512];
    size_t used_ = sizeof(buffer_);
};

} // namespace

int Generate(const GenerateOptions& g)
{
    std::vector<std::string> classes;
    for (int c = 0; c < (g.symbols ? 4 : 3); ++c) {
        std::string chars;
        for (const char* p = kClasses[c]; *p; ++p) {
            if (g.lookalikes || std::strchr(kLookalikes, *p) == nullptr)
                chars += *p;
        }
        classes.push_back(chars);
    }
    if (g.length < (int)classes.size() || g.length > kLongest)
        return Fail("--length must be " + std::to_string(classes.size()) + " to " + std::to_string(kLongest) +
                    " (a character of each kind, and what the program's password field keeps)");
    if (g.count < 1)
        return Fail("--count must be 1 or more");
    std::string alphabet;
    for (const std::string& c : classes)
        alphabet += c;
    // A byte at or above the last whole multiple of the alphabet's size is drawn again, so
    // that every character is equally likely (no modulo bias).
    const unsigned m = (unsigned)alphabet.size(), limit = 256 - 256 % m;
    RandomSource random;
    std::string password;
    for (int n = 0; n < g.count; ++n) {
        // A password lacking a kind is drawn again whole, which keeps every password that
        // holds each kind equally likely.
        for (bool complete = false; !complete;) {
            password.clear();
            while ((int)password.size() < g.length) {
                unsigned char b;
                if (!random.Next(&b))
                    return Fail("the system's random generator failed");
                if (b < limit)
                    password += alphabet[b % m];
            }
            complete = true;
            for (const std::string& c : classes)
                complete = complete && password.find_first_of(c) != std::string::npos;
        }
        Say(password);
    }
    std::fill(password.begin(), password.end(), '\0');
    return 0;
}
