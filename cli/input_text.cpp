#include "input_text.h"

#include <algorithm>

#include "charset.h"

namespace tool {

bool InputAsUtf8(const std::string& bytes, const std::string& encoding, std::string* utf8, std::string* why)
{
    if (!encoding.empty()) {
        charset::CodePage cp;
        if (!cp.Load(charset::CodePageOfName(encoding))) {
            *why = "unknown input encoding '" + encoding + "' (windows-1250 to windows-1258)";
            return false;
        }
        *utf8 = cp.ToUtf8(bytes);
        return true;
    }
    size_t bad = charset::FirstInvalidUtf8(bytes);
    if (bad != std::string::npos) {
        long line = 1 + std::count(bytes.begin(), bytes.begin() + (long)bad, '\n');
        *why = "line " + std::to_string(line) +
               " is not UTF-8; a file in a Windows code page is read with --input-encoding windows-1252 (or "
               "windows-1250 to windows-1258)";
        return false;
    }
    *utf8 = bytes;
    return true;
}

} // namespace tool
