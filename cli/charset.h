// The files' text is single-byte ANSI text, Windows-1252 unless told otherwise; everything
// the tool reads or writes elsewhere is UTF-8. This converts between the two.
#pragma once

#include <string>

namespace charset {

// A single-byte Windows code page, 1250 to 1258, from the tool's own tables: the same
// letters as Windows gives, on every build. Bytes a code page leaves undefined stand for
// the code point of the same value (0x81 is U+0081), as Windows-1252's five do.
class CodePage {
public:
    // Loads the table of codePage; false when it is not one of the nine.
    bool Load(int codePage);
    int Number() const { return number_; }
    // The UTF-8 text of bytes in this code page.
    std::string ToUtf8(const std::string& bytes) const;
    // The bytes of utf8 in this code page. False when utf8 is not valid UTF-8 or holds a
    // character the code page has no byte for: nothing is replaced or approximated.
    bool FromUtf8(const std::string& utf8, std::string* bytes) const;

private:
    int number_ = 0;
    char32_t table_[256] = {}; // code point of each byte
};

// The code page a name stands for: "windows-1252", "cp1252" or "1252" (any case), 1250 to
// 1258; 0 for any other name.
int CodePageOfName(const std::string& name);

// Where the first byte sequence that is not UTF-8 starts in text; npos when all of it is.
size_t FirstInvalidUtf8(const std::string& text);

// Appends the UTF-8 form of codePoint.
void AppendUtf8(char32_t codePoint, std::string* out);
// Decodes the character at utf8[*at] and moves *at past it; false for invalid UTF-8
// (overlong forms, surrogates, past U+10FFFF, cut sequences).
bool NextUtf8(const std::string& utf8, size_t* at, char32_t* codePoint);

} // namespace charset
