#include "charset.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "code_pages.h"

namespace charset {

bool CodePage::Load(int codePage)
{
    if (codePage < 1250 || codePage > 1258)
        return false;
    number_ = codePage;
    for (int b = 0; b < 128; ++b)
        table_[b] = (char32_t)b;
    for (int b = 128; b < 256; ++b)
        table_[b] = kCodePageHigh[codePage - 1250][b - 128];
    return true;
}

int CodePageOfName(const std::string& name)
{
    std::string lower;
    for (char c : name)
        lower += (char)std::tolower((unsigned char)c);
    for (const char* prefix : {"windows-", "cp", ""}) {
        size_t n = std::strlen(prefix);
        if (lower.compare(0, n, prefix) != 0 || lower.size() != n + 4)
            continue;
        int number = std::atoi(lower.c_str() + n);
        if (number >= 1250 && number <= 1258 && std::isdigit((unsigned char)lower[n]))
            return number;
    }
    return 0;
}

size_t FirstInvalidUtf8(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        size_t start = at;
        char32_t c;
        if (!NextUtf8(text, &at, &c))
            return start;
    }
    return std::string::npos;
}

void AppendUtf8(char32_t c, std::string* out)
{
    if (c < 0x80) {
        out->push_back((char)c);
    } else if (c < 0x800) {
        out->push_back((char)(0xC0 | (c >> 6)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back((char)(0xE0 | (c >> 12)));
        out->push_back((char)(0x80 | ((c >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | (c >> 18)));
        out->push_back((char)(0x80 | ((c >> 12) & 0x3F)));
        out->push_back((char)(0x80 | ((c >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    }
}

bool NextUtf8(const std::string& s, size_t* at, char32_t* codePoint)
{
    unsigned char lead = (unsigned char)s[*at];
    int extra;
    char32_t c, least;
    if (lead < 0x80) {
        *codePoint = lead;
        ++*at;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (*at + extra >= s.size())
        return false; // cut short
    for (int i = 1; i <= extra; ++i) {
        unsigned char next = (unsigned char)s[*at + i];
        if ((next & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    *codePoint = c;
    *at += extra + 1;
    return true;
}

std::string CodePage::ToUtf8(const std::string& bytes) const
{
    std::string out;
    out.reserve(3 * bytes.size()); // room for any code page's letters: no reallocation leaves a copy
    for (unsigned char b : bytes)
        AppendUtf8(table_[b], &out);
    return out;
}

bool CodePage::FromUtf8(const std::string& utf8, std::string* bytes) const
{
    bytes->clear();
    for (size_t at = 0; at < utf8.size();) {
        char32_t c;
        if (!NextUtf8(utf8, &at, &c))
            return false;
        int found = -1;
        if (c < 0x80) {
            found = (int)c;
        } else {
            for (int b = 128; b < 256 && found < 0; ++b) {
                if (table_[b] == c)
                    found = b;
            }
        }
        if (found < 0)
            return false;
        bytes->push_back((char)found);
    }
    return true;
}

} // namespace charset
