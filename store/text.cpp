#include "text.h"

int CompareText(const char* first, const char* second, int foldCase)
{
    for (size_t i = 0;; ++i) {
        unsigned char a = (unsigned char)first[i];
        unsigned char b = (unsigned char)second[i];
        if (a == 0)
            return b == 0 ? 0 : 1;
        if (b == 0)
            return 1;
        if (foldCase) {
            // 0x5F clears bit 5 (ASCII case) and bit 7 as well; stored databases were
            // matched this way, so duplicates keep being found the way they always were.
            a &= 0x5F;
            b &= 0x5F;
        }
        if (a != b)
            return 1;
    }
}

void CopyText(const char* source, char* destination, size_t size)
{
    size_t i = 0;
    while (i + 1 < size && source[i] != 0) {
        destination[i] = source[i];
        ++i;
    }
    destination[i] = 0;
}

char* AppendText(const char* source, char* position, const char* end)
{
    while (*source != 0 && position + 1 < end)
        *position++ = *source++;
    return position;
}

int JoinPath(const char* folder, const char* name, char* destination, size_t size)
{
    size_t folderLength = 0;
    while (folder[folderLength] != 0)
        ++folderLength;
    size_t nameLength = 0;
    while (name[nameLength] != 0)
        ++nameLength;

    int needsSeparator = folderLength == 0 || folder[folderLength - 1] != '\\';
    size_t total = folderLength + (needsSeparator ? 1 : 0) + nameLength;
    if (total + 1 > size) {
        if (size > 0)
            destination[0] = 0;
        return 1;
    }

    CopyText(folder, destination, size);
    char* position = destination + folderLength;
    if (needsSeparator)
        *position++ = '\\';
    CopyText(name, position, size - (size_t)(position - destination));
    return 0;
}
