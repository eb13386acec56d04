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
#include "folder_name.h"
#include "os_files.h"
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

namespace {

// The folder the settings name, as a path this system's file routines open; empty, with
// *why, when it is none they can reach.
std::string LocalFolder(const std::string& named, const charset::CodePage& cp, std::string* why)
{
    if (named.empty()) {
        *why = "no folder";
        return "";
    }
#ifdef _WIN32
    (void)cp;
    (void)why;
    return named; // the program opens these bytes as they are, in the system's ANSI code page
#else
    std::string path;
    if (named[0] == '/' || named[0] == '\\') {
        path = named; // written by a native build of the store: a path of this system already
    } else if (named.size() >= 3 && (named[0] == 'Z' || named[0] == 'z') && named[1] == ':' &&
               (named[2] == '\\' || named[2] == '/')) {
        path = cp.ToUtf8(named.substr(2)); // Wine's Z: drive is "/"
    } else {
        *why = "a folder that only Windows or Wine reaches";
        return "";
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
#endif
}

// Whether the settings of the folder given name that folder itself: in the bytes the
// program compares, or, natively, as the same folder on disk by another path.
bool NamesGivenFolder(const Place& p, const std::string& local, const charset::CodePage& cp)
{
    std::string ours, why;
    if (SettingsFolderOf(p.given, cp, &ours, &why) && ::SameFolder(p.named.c_str(), ours.c_str()))
        return true;
#ifdef _WIN32
    (void)local;
    return false;
#else
    std::error_code error;
    return fs::equivalent(local, p.given, error);
#endif
}

// What the store's file routines say of Kestal.dat in folder: 0 with its size, 2 no such
// file, 3 no such folder, ...
int DatabaseIn(const std::string& folder, uint64_t* size)
{
    *size = 0;
    return OsFileSize(FileIn(folder, kDatabaseName).c_str(), size);
}

} // namespace

std::string Shown(const std::string& folder)
{
    std::string shown = folder;
    // Without the trailing separator, unless it is all there is ("/", "C:\").
    while (shown.size() > 1 && (shown.back() == '/' || shown.back() == '\\') && shown[shown.size() - 2] != ':')
        shown.pop_back();
    return shown;
}

Place Locate(const Options& o, const charset::CodePage& cp, Purpose purpose)
{
    Place p;
    p.given = o.folder;
    p.givenShown = Shown(SystemToUtf8(o.folder));
    p.folder = o.folder;
    ResetStore();
    if (UseFolder(o.folder))
        p.settings = LoadSettings();
    p.givenDatabase = DatabaseIn(o.folder, &p.size);
    if (p.settings == 0) {
        p.block = SettingsBlock;
        p.named = FieldText(SettingsBlock.folder, sizeof(SettingsBlock.folder));
        std::string why, local = LocalFolder(p.named, cp, &why);
#ifdef _WIN32
        p.namedShown = Shown(cp.ToUtf8(p.named));
#else
        p.namedShown = Shown(local.empty() ? cp.ToUtf8(p.named) : local);
#endif
        uint64_t size = 0;
        int there = local.empty() ? 0 : DatabaseIn(local, &size);
        if (local.empty()) {
            p.unreachable = why;
        } else if (NamesGivenFolder(p, local, cp)) {
            // the usual case: the records are here
        } else if (there == kErrorPathNotFound) {
            p.unreachable = "which does not exist";
        } else if (there == kErrorFilenameTooLong || local.size() >= kFolderSize) {
            p.unreachable = "whose path is too long here";
        } else if (purpose == kMendSettings && there != 0 && p.givenDatabase == 0) {
            // recover: the named folder holds no records, this one does; the settings are to name it
        } else {
            p.folder = local;
            p.elsewhere = true;
        }
    }
    p.database = p.elsewhere ? DatabaseIn(p.folder, &p.size) : p.givenDatabase;
    if (p.elsewhere)
        Warn("the settings in " + p.givenShown + " name " + p.namedShown + ": using " + p.namedShown);
    ResetStore();
    return p;
}

int LoadRecords(const Place& place)
{
    ResetStore();
    SettingsBlock = place.block;
    if (!UseFolder(place.folder))
        return kErrorFilenameTooLong;
    int code = LoadDatabase();
    if (code == kErrorFileNotFound)
        SettingsBlock.count = 0; // no file: no records, as the program shows none
    return code;
}

std::string FolderShown(const Place& place)
{
    return place.elsewhere ? place.namedShown : place.givenShown;
}

std::string UnreachableProblem(const Place& place)
{
    return place.givenShown + ": the settings name " +
           (place.named.empty() ? "no database folder" : place.namedShown + ", " + place.unreachable) +
           "; the program finds no records there" +
           (place.givenDatabase == 0 ? ". " + Suggested("recover", place.given) +
                                           " makes them name this folder, whose Kestal.dat the program then reads"
                                     : "");
}

std::string ReadProblem()
{
    if (DatabaseHoldsMore)
        return "Kestal.dat holds more than 1024 records: the first 1024 are used, as the program shows them";
    uint32_t partial = DatabaseBytesRead % kRecordSize;
    if (partial != 0)
        return "Kestal.dat ends in a partial record of " + std::to_string(partial) + " bytes: record " +
               std::to_string(DatabaseBytesRead / kRecordSize) + " is used with its missing " +
               std::to_string(kRecordSize - partial) + " bytes empty, as the program shows it";
    return "";
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
    Place place = Locate(o, *cp);
    if (place.settings != 0) {
        *status = Fail(o.folder + ": " + SettingsProblem(place.settings));
        return false;
    }
    if (!place.unreachable.empty()) {
        *status = Fail(UnreachableProblem(place));
        return false;
    }
    int read = LoadRecords(place);
    if (read == kErrorFileNotFound && place.block.count > 0) {
        *status = Fail(FolderShown(place) + ": no Kestal.dat, though the settings count " +
                       std::to_string(place.block.count) + " records; the program shows none (see: " +
                       Suggested("check", o.folder) + ")");
        return false;
    }
    if (read != 0 && read != kErrorFileNotFound) {
        *status = Fail(FolderShown(place) + ": Kestal.dat cannot be read (error " + std::to_string(read) + ")");
        return false;
    }
    *status = 0;
    std::string problem = ReadProblem();
    if (!problem.empty()) {
        Warn(FolderShown(place) + ": " + problem + " (see: " + Suggested("check", o.folder) + ")");
        *status = 1;
    }
    return true;
}

} // namespace tool
