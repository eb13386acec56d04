#include "files.h"

#include <string.h>

#include "os_files.h"
#include "text.h"

char PathBuffer[kPathSize];
int (*FileFaultHook)(int callNumber);

static const char kSettingsName[] = "KSys.dat";
static const char kDatabaseName[] = "Kestal.dat";
static const char kTempSuffix[] = ".tmp";

// How often a replace that meets a sharing violation is tried again, and how long apart.
// Virus scanners and backup tools hold files briefly; a target held for longer still fails.
enum { kReplaceTries = 4, kReplacePauseMs = 25 };

// Numbers the system calls of one save for the fault hook.
static int saveCallNumber;

static int InjectedFault()
{
    ++saveCallNumber;
    return FileFaultHook != 0 && FileFaultHook(saveCallNumber) != 0;
}

int FolderOfPath(const char* path, char* destination)
{
    size_t cut = strlen(path);
    while (cut > 0 && path[cut - 1] != '\\')
        --cut;
    // cut is now the length of the folder with its trailing backslash.
    destination[0] = 0;
    if (cut == 0 || cut >= kFolderSize)
        return kErrorFilenameTooLong;
    memcpy(destination, path, cut);
    destination[cut] = 0;
    return 0;
}

int ProgramFolder(char* destination)
{
    // Long enough for any path Windows hands out without the long-path prefix, and more.
    char module[1024];
    if (OsModulePath(module, sizeof(module)) == 0) {
        destination[0] = 0;
        return kErrorFilenameTooLong;
    }
    return FolderOfPath(module, destination);
}

int ReadWholeFile(const char* path, void* buffer, uint32_t length)
{
    OsFile file;
    int error = OsOpenForRead(path, &file);
    if (error != 0)
        return error;
    uint32_t got = 0;
    error = OsRead(file, buffer, length, &got);
    OsClose(file);
    // A file shorter than length is not an error: the bytes past its end keep their values.
    return error;
}

int WriteWholeFile(const char* path, const void* buffer, uint32_t length)
{
    char temp[kPathSize + sizeof(kTempSuffix)];
    size_t pathLength = strlen(path);
    if (pathLength + sizeof(kTempSuffix) > sizeof(temp))
        return -1;
    memcpy(temp, path, pathLength);
    memcpy(temp + pathLength, kTempSuffix, sizeof(kTempSuffix)); // the suffix's terminator too

    saveCallNumber = 0;
    OsFile file;
    if (InjectedFault() || OsCreateForWrite(temp, &file) != 0)
        return -1;

    uint32_t written = 0;
    int writeFailed = InjectedFault() || OsWrite(file, buffer, length, &written) != 0;
    int result = 0;
    // The byte count is tested first: a full disk can report success with fewer bytes.
    if (written != length)
        result = -2;
    else if (writeFailed)
        result = -3;
    else if (InjectedFault() || OsFlush(file) != 0)
        result = -3;

    // An injected close failure still closes: a failed CloseHandle leaves no open handle
    // either, and an open one would keep the temporary from being removed.
    int closeFault = InjectedFault();
    int closeFailed = OsClose(file) != 0 || closeFault;
    if (result == 0 && closeFailed)
        result = -3;

    if (result == 0) {
        result = -3;
        for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
            int error = InjectedFault() ? kErrorAccessDenied : OsReplace(temp, path);
            if (error == 0) {
                result = 0;
                break;
            }
            if (error != kErrorAccessDenied && error != kErrorSharingViolation &&
                error != kErrorLockViolation)
                break;
            OsPause(kReplacePauseMs);
        }
    }
    if (result != 0)
        OsDelete(temp);
    return result;
}

// Builds the path of one of the two files from the folder in the settings block.
static int BuildPath(const char* name)
{
    memset(PathBuffer, 0, sizeof(PathBuffer));
    return JoinPath(SettingsBlock.folder, name, PathBuffer, sizeof(PathBuffer));
}

int LoadSettings()
{
    if (BuildPath(kSettingsName) != 0)
        return kErrorFilenameTooLong;
    // Read into a copy: a short file replaces only the bytes it holds, and a file that does
    // not describe a usable database changes nothing at all.
    Settings scratch = SettingsBlock;
    int error = ReadWholeFile(PathBuffer, &scratch, kSettingsFileSize);
    if (error != 0)
        return error;
    if (scratch.count > kSlotCount)
        return kErrorInvalidData;
    scratch.folder[kFolderSize - 1] = 0;
    SettingsBlock = scratch;
    return 0;
}

int SaveSettings()
{
    if (BuildPath(kSettingsName) != 0)
        return -1;
    return WriteWholeFile(PathBuffer, &SettingsBlock, kSettingsFileSize);
}

int LoadDatabase()
{
    if (BuildPath(kDatabaseName) != 0)
        return kErrorFilenameTooLong;
    if (SettingsBlock.count > kSlotCount)
        return kErrorInvalidData;
    return ReadWholeFile(PathBuffer, RecordStore.slots, SettingsBlock.count * (uint32_t)kRecordSize);
}

int SaveDatabase()
{
    if (BuildPath(kDatabaseName) != 0)
        return -1;
    if (SettingsBlock.count > kSlotCount)
        return -1;
    return WriteWholeFile(PathBuffer, RecordStore.slots, SettingsBlock.count * (uint32_t)kRecordSize);
}
