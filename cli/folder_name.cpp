#include "folder_name.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "folder.h"
#include "record_store.h"
#include "text.h"

namespace tool {

std::string SystemToUtf8(const std::string& text)
{
#ifdef _WIN32
    if (text.empty())
        return text;
    int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring w((size_t)wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &w[0], wide);
    int narrow = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, NULL, 0, NULL, NULL);
    std::string utf8((size_t)narrow, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], narrow, NULL, NULL);
    return utf8;
#else
    return text;
#endif
}

bool SettingsFolderOf(const std::string& folder, const charset::CodePage& cp, std::string* bytes, std::string* why)
{
    std::string utf8 = SystemToUtf8(WindowsForm(folder));
    std::string name = "Windows-" + std::to_string(cp.Number());
    if (!cp.FromUtf8(utf8, bytes)) {
        *why = utf8 + " holds characters that " + name +
               " cannot hold, and the program reads its folder in that code page; use a folder whose name it "
               "can hold, or --codepage for the code page the program runs with";
        return false;
    }
    // The program joins the folder and "Kestal.dat" in a path of kPathSize bytes: a longer
    // folder fits the settings but is one the program cannot open.
    char path[kPathSize];
    if (bytes->size() >= kFolderSize || JoinPath(bytes->c_str(), "Kestal.dat", path, sizeof(path)) != 0) {
        *why = utf8 + " is " + std::to_string(bytes->size()) + " bytes in " + name +
               "; the program opens folders of at most " + std::to_string(kPathSize - 1 - 10) + " bytes";
        return false;
    }
    return true;
}

} // namespace tool
