#include "charset.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace charset {

// Windows-1252's bytes 0x80 to 0x9F; 0xA0 to 0xFF are U+00A0 to U+00FF. The five bytes it
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 code points of the same
// value.
static const char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The code point of byte in codePage as the system converts it, or 0 when it does not.
static char32_t SystemCodePoint(int codePage, unsigned char byte)
{
#ifdef _WIN32
    char in = (char)byte;
    wchar_t out[2];
    int n = MultiByteToWideChar((UINT)codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    return n == 1 ? (char32_t)out[0] : 0;
#else
    std::string name = "WINDOWS-" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-32LE", name.c_str());
    if (converter == (iconv_t)-1)
        return 0;
    char in = (char)byte;
    unsigned char out[8];
    char* inPointer = &in;
    char* outPointer = (char*)out;
    size_t inLeft = 1, outLeft = sizeof(out);
    size_t done = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (done == (size_t)-1 || outLeft != 4)
        return 0;
    return (char32_t)out[0] | (char32_t)out[1] << 8 | (char32_t)out[2] << 16 | (char32_t)out[3] << 24;
#endif
}

bool CodePage::Load(int codePage)
{
    if (codePage < 1250 || codePage > 1258)
        return false;
    number_ = codePage;
    for (int b = 0; b < 128; ++b)
        table_[b] = (char32_t)b;
    for (int b = 128; b < 256; ++b) {
        if (codePage == 1252) {
            table_[b] = b < 0xA0 ? kWindows1252High[b - 0x80] : (char32_t)b;
        } else {
            char32_t c = SystemCodePoint(codePage, (unsigned char)b);
            if (c == 0 && b == 128 && SystemCodePoint(codePage, 'A') != 'A')
                return false; // the system knows nothing of this code page
            table_[b] = c != 0 ? c : (char32_t)b;
        }
    }
    return true;
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
    out.reserve(bytes.size());
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
