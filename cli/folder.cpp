#include "folder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "console.h"
#include "files.h"
#include "record_store.h"
#include "text.h"

namespace fs = std::filesystem;

namespace tool {

void Out(const std::string& text)
{
    WriteText(stdout, text);
}

void Say(const std::string& line)
{
    Out(line + "\n");
}

void Warn(const std::string& line)
{
    WriteText(stderr, "kestal-tool: " + line + "\n");
}

void Report(const std::string& line)
{
    WriteText(stderr, line + "\n");
}

int Fail(const std::string& why)
{
    Warn(why);
    return 2;
}

// Paths are joined and made absolute as text, not through std::filesystem's string(): on
// Windows that gives UTF-8, while the tool's paths are in the ANSI code page, as the file
// routines (CreateFileA) and the settings take them.
std::string FileIn(const std::string& folder, const char* name)
{
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += separator;
    return path + name;
}

std::string WindowsForm(const std::string& folder)
{
#ifdef _WIN32
    char full[4 * MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof(full), full, NULL);
    std::string path = length > 0 && length < sizeof(full) ? std::string(full, length) : folder;
#else
    std::string path = fs::absolute(fs::path(folder)).lexically_normal().string();
#endif
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty() || path.back() != '\\')
        path += '\\';
#ifdef _WIN32
    return path;
#else
    return "Z:" + path;
#endif
}

std::string ShellQuoted(const std::string& word)
{
#ifdef _WIN32
    // cmd.exe and PowerShell both take a path in double quotes, which a path cannot hold.
    if (!word.empty() && word.find_first_of(" \t&()[]{}^=;!'+,`~%$@#") == std::string::npos)
        return word;
    return "\"" + word + "\"";
#else
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                "_-./:@%+=,") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

std::string Suggested(const std::string& command, const std::string& folder)
{
    return "kestal-tool " + command + " " + ShellQuoted(folder);
}

std::string FieldText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size - 1));
}

void ResetStore()
{
    std::memset(&RecordStore, 0, sizeof(RecordStore));
    std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    std::memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    std::memset(&KnownDatabase, 0, sizeof(KnownDatabase));
    ModifiedFlag = 0;
}

bool UseFolder(const std::string& folder)
{
    std::memset(SettingsBlock.folder, 0, sizeof(SettingsBlock.folder));
    if (folder.size() >= sizeof(SettingsBlock.folder))
        return false;
    CopyText(folder.c_str(), SettingsBlock.folder, sizeof(SettingsBlock.folder));
    return true;
}

Loaded Load(const Options& o, bool withDatabase)
{
    Loaded l;
    ResetStore();
    if (!UseFolder(o.folder))
        return l;
    l.settings = LoadSettings();
    if (l.settings != 0)
        return l;
    l.namedFolder = SettingsBlock.folder;
    UseFolder(o.folder);
    if (withDatabase)
        l.database = LoadDatabase();
    return l;
}

std::string SettingsProblem(int code)
{
    if (code == -1)
        return "the folder's path is too long for the program";
    if (code == 3)
        return "no such folder"; // the path to the settings file ends before it (or is not a folder)
    if (code >= 1 && code <= 2)
        return "no settings file (KSys.dat)";
    if (code == 13)
        return "KSys.dat counts more than 1024 records; the program refuses it";
    return "KSys.dat cannot be read (error " + std::to_string(code) + ")";
}

bool LoadCodePage(const Options& o, charset::CodePage* cp)
{
    if (cp->Load(o.codePage))
        return true;
    Warn("code page " + std::to_string(o.codePage) + " is not available (1250 to 1258 are)");
    return false;
}

bool LoadForReading(const Options& o, charset::CodePage* cp, int* status)
{
    *status = 2;
    if (!LoadCodePage(o, cp))
        return false;
    Loaded l = Load(o);
    if (l.settings != 0) {
        *status = Fail(o.folder + ": " + SettingsProblem(l.settings));
        return false;
    }
    if (l.database != 0 && SettingsBlock.count > 0) {
        *status = Fail(o.folder + ": Kestal.dat cannot be read (error " + std::to_string(l.database) + ")");
        return false;
    }
    // A file cut short (a copy that stopped, a full disk) reads without an error, the missing
    // bytes as zeros: a partial record would be shown and exported as if it were whole.
    *status = 0;
    std::error_code error;
    uintmax_t size = SettingsBlock.count == 0 ? 0 : fs::file_size(FileIn(o.folder, kDatabaseName), error);
    uintmax_t whole = error ? 0 : size / kRecordSize;
    if (SettingsBlock.count > whole) {
        Warn(o.folder + ": the settings count " + std::to_string(SettingsBlock.count) +
             " records, but Kestal.dat holds " + std::to_string(whole) + " whole ones" +
             (size % kRecordSize != 0 ? " and a partial one of " + std::to_string(size % kRecordSize) + " bytes" : "") +
             "; only the whole ones are used (see: " + Suggested("check", o.folder) + ")");
        SettingsBlock.count = (uint32_t)whole; // in memory only: list and export save nothing
        *status = 1;
    }
    return true;
}

} // namespace tool
