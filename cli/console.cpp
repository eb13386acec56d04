#include "console.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace tool {

namespace {

bool consoleFailed = false; // a wide write to the console of standard output failed

#ifdef _WIN32
// The console behind stream, or NULL when it is a file or a pipe.
HANDLE ConsoleOf(std::FILE* stream)
{
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : NULL;
}
#endif

} // namespace

void WriteText(std::FILE* stream, const std::string& utf8)
{
#ifdef _WIN32
    HANDLE console = ConsoleOf(stream);
    if (console != NULL && !utf8.empty()) {
        std::fflush(stream); // what went before comes first
        int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
        std::wstring wide((size_t)length, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], length);
        DWORD written = 0;
        if ((!WriteConsoleW(console, wide.data(), (DWORD)wide.size(), &written, NULL) || written != wide.size()) &&
            stream == stdout)
            consoleFailed = true;
        return;
    }
#endif
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

bool StandardOutputFailed()
{
    return std::fflush(stdout) != 0 || std::ferror(stdout) || consoleFailed;
}

} // namespace tool
