// Text routines: every piece of text the program keeps is a NUL-terminated single-byte
// string in a fixed-size buffer, and it is compared, copied and joined only through these.
#pragma once

#include <stddef.h>
#include <string.h>

// 0 when the two strings are equal, 1 when they differ. With foldCase non-zero each byte is
// masked with 0x5F before the comparison, so ASCII letters match regardless of case (and a
// few other pairs match too, such as '[' and '{'); the end of a string is always recognised
// on its unmasked byte. The second string must be terminated; the first is never read past
// the position where the second ends.
int CompareText(const char* first, const char* second, int foldCase);

// Copies source and its terminator into destination, keeping at most size - 1 characters.
// Reads at most size - 1 bytes of source, so a source field of the same size needs no
// terminator of its own. size must be at least 1.
// Inline, like AppendText: with a literal source the compiler turns the copy into a few
// stores, which is what keeps adding a record close to the cost of copying it.
inline void CopyText(const char* source, char* destination, size_t size)
{
    size_t length = strnlen(source, size - 1); // stops at the terminator
    memcpy(destination, source, length);
    destination[length] = 0;
}

// Copies the characters of source, without its terminator, to position and returns the
// position just after the last character written, so that a message can be built piece by
// piece. Never writes at or beyond end - 1, leaving room for the caller's terminator.
inline char* AppendText(const char* source, char* position, const char* end)
{
    if (position + 1 >= end)
        return position;
    size_t length = strnlen(source, (size_t)(end - position - 1));
    memcpy(position, source, length);
    return position + length;
}

// Writes folder, a backslash unless folder already ends with one, and name into destination.
// Returns 0 when the joined path fits in size bytes. Otherwise returns 1 and leaves
// destination holding an empty string, so that no half path is ever used.
int JoinPath(const char* folder, const char* name, char* destination, size_t size);

// 1 when the two folder names name the same folder as Windows compares them: ASCII letters
// in either case, '/' and '\' alike, with or without a trailing separator. Other bytes must
// match exactly. 0 otherwise.
int SameFolder(const char* first, const char* second);
