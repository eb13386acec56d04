#include "text.h"

#include <string.h>

int CompareText(const char* first, const char* second, int foldCase)
{
    for (size_t i = 0;; ++i) {
        unsigned char a = (unsigned char)first[i];
        unsigned char b = (unsigned char)second[i];
        // Equal bytes are equal masked too; only a difference needs the closer look.
        if (a == b) {
            if (a == 0)
                return 0;
            continue;
        }
        if (a == 0 || b == 0)
            return 1;
        // 0x5F clears bit 5 (ASCII case) and bit 7 as well; stored databases were
        // matched this way, so duplicates keep being found the way they always were.
        if (!foldCase || ((a ^ b) & 0x5F) != 0)
            return 1;
    }
}

int JoinPath(const char* folder, const char* name, char* destination, size_t size)
{
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);

    int needsSeparator = folderLength == 0 || folder[folderLength - 1] != '\\';
    size_t total = folderLength + (needsSeparator ? 1 : 0) + nameLength;
    if (total + 1 > size) {
        if (size > 0)
            destination[0] = 0;
        return 1;
    }

    memcpy(destination, folder, folderLength);
    char* position = destination + folderLength;
    if (needsSeparator)
        *position++ = '\\';
    memcpy(position, name, nameLength + 1);
    return 0;
}

int SameFolder(const char* first, const char* second)
{
    size_t a = strlen(first);
    size_t b = strlen(second);
    if (a > 0 && (first[a - 1] == '\\' || first[a - 1] == '/'))
        --a;
    if (b > 0 && (second[b - 1] == '\\' || second[b - 1] == '/'))
        --b;
    if (a != b)
        return 0;
    for (size_t i = 0; i < a; ++i) {
        char x = first[i], y = second[i];
        if (x >= 'A' && x <= 'Z')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (char)(y - 'A' + 'a');
        if (x == '/')
            x = '\\';
        if (y == '/')
            y = '\\';
        if (x != y)
            return 0;
    }
    return 1;
}
