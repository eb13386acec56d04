#include "files.h"

#include <string.h>

#include "fingerprint.h"
#include "os_files.h"
#include "text.h"

char PathBuffer[kPathSize];
int (*FileFaultHook)(int callNumber);

static const char kSettingsName[] = "KSys.dat";
static const char kDatabaseName[] = "Kestal.dat";
static const char kTempSuffix[] = ".tmp";

// How often a read or a replace that meets a sharing violation is tried, and how long
// apart. Virus scanners and backup tools hold files briefly; a file held for longer still
// fails.
enum { kReplaceTries = 4, kReadTries = 4, kRetryPauseMs = 25 };

KnownFile KnownDatabase;
uint32_t DatabaseBytesRead;

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

static int IsSharingViolation(int error)
{
    return error == kErrorSharingViolation || error == kErrorLockViolation;
}

// Opens path for reading, trying again while another program holds it without sharing.
static int OpenForRead(const char* path, OsFile* file)
{
    int error = 0;
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        if (attempt > 0)
            OsPause(kRetryPauseMs);
        error = OsOpenForRead(path, file);
        if (!IsSharingViolation(error))
            break;
    }
    return error;
}

// Reads up to length bytes of path into buffer. *got receives how many arrived and *whole
// whether that was all the file held. A file shorter than length is not an error: the bytes
// past its end keep their values.
static int ReadFileBytes(const char* path, void* buffer, uint32_t length, uint32_t* got, int* whole)
{
    *got = 0;
    *whole = 0;
    int error = 0;
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        if (attempt > 0)
            OsPause(kRetryPauseMs);
        OsFile file;
        error = OsOpenForRead(path, &file);
        if (error == 0) {
            error = OsRead(file, buffer, length, got);
            char probe;
            uint32_t more = 0;
            if (error == 0 && OsRead(file, &probe, 1, &more) == 0)
                *whole = more == 0;
            OsClose(file);
        }
        // Held without sharing, or a locked range: another program has it for a moment.
        if (!IsSharingViolation(error))
            break;
    }
    return error;
}

int ReadWholeFile(const char* path, void* buffer, uint32_t length)
{
    uint32_t got;
    int whole;
    return ReadFileBytes(path, buffer, length, &got, &whole);
}

static void Remember(const char* path, const void* bytes, uint32_t size)
{
    CopyText(path, KnownDatabase.path, sizeof(KnownDatabase.path));
    KnownDatabase.size = size;
    KnownDatabase.hash = FingerprintOf(bytes, size);
    KnownDatabase.known = 1;
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
            if (error != kErrorAccessDenied && !IsSharingViolation(error))
                break;
            OsPause(kRetryPauseMs);
        }
    }
    if (result != 0)
        OsDelete(temp);
    return result;
}

// Builds the path of one of the two files from the folder in the settings block. Returns
// 0, 3 (path not found) for an empty folder, which would otherwise name a file at the root
// of the current drive, or 206 when the path does not fit.
static int BuildPath(const char* name)
{
    memset(PathBuffer, 0, sizeof(PathBuffer));
    if (SettingsBlock.folder[0] == 0)
        return kErrorPathNotFound;
    if (JoinPath(SettingsBlock.folder, name, PathBuffer, sizeof(PathBuffer)) != 0)
        return kErrorFilenameTooLong;
    return 0;
}

int LoadSettings()
{
    int error = BuildPath(kSettingsName);
    if (error != 0)
        return error;
    // Read into a copy: a short file replaces only the bytes it holds, and a file that does
    // not describe a usable database changes nothing at all.
    Settings scratch = SettingsBlock;
    error = ReadWholeFile(PathBuffer, &scratch, kSettingsFileSize);
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

int SaveSettingsKeepingFileCount()
{
    if (BuildPath(kDatabaseName) != 0)
        return -1;
    uint64_t size = 0;
    int error = OsFileSize(PathBuffer, &size);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound)
        size = 0;
    else if (error != 0)
        return -1; // the count it holds cannot be told: write nothing rather than guess
    uint64_t records = (size + kRecordSize - 1) / kRecordSize;
    Settings written = SettingsBlock;
    written.count = records > kSlotCount ? (uint32_t)kSlotCount : (uint32_t)records;
    if (BuildPath(kSettingsName) != 0)
        return -1;
    return WriteWholeFile(PathBuffer, &written, kSettingsFileSize);
}

int SaveSettingsBesideProgram()
{
    char program[kFolderSize];
    if (ProgramFolder(program) != 0)
        return -1;
    if (SettingsBlock.folder[0] == 0 || SameFolder(program, SettingsBlock.folder))
        return 1;
    char path[kPathSize];
    if (JoinPath(program, kSettingsName, path, sizeof(path)) != 0)
        return -1;
    return WriteWholeFile(path, &SettingsBlock, kSettingsFileSize);
}

// Where a database read lands before it replaces the table: a read that fails half-way
// leaves the records in memory as they were.
static Record loadScratch[kSlotCount];

int DatabaseHoldsMore;

// Zeroes the first bytes of the scratch table: passwords read stay only in the record table.
// memset is called through a volatile pointer so that the compiler cannot drop it as a dead
// store, while it still runs at memset's speed (a byte loop through a volatile pointer made
// a load of 1024 records ten times slower).
static void* (*volatile wipeBytes)(void*, int, size_t) = memset;

static void WipeScratch(uint32_t bytes)
{
    wipeBytes(loadScratch, 0, bytes < sizeof(loadScratch) ? bytes : sizeof(loadScratch));
}

// Reads every record Kestal.dat holds, whatever count the settings name: the file is the
// truth about which records exist, the count only reports them. A read that fails before any
// byte arrives (the file held, missing, or its path too long) leaves the remembered file as it
// was; one that fails later makes it unknown. Either way the table and the count are left
// as they were. A read that reaches the file's end remembers what it held; a file of more
// than 1024 records gives its first 1024 and stays unknown, so a save asks before it
// replaces what was not read.
int LoadDatabase()
{
    DatabaseBytesRead = 0;
    DatabaseHoldsMore = 0;
    int error = BuildPath(kDatabaseName);
    if (error != 0)
        return error;
    uint32_t got;
    int whole;
    error = ReadFileBytes(PathBuffer, loadScratch, sizeof(loadScratch), &got, &whole);
    DatabaseBytesRead = got;
    if (error != 0 && got == 0)
        return error;
    KnownDatabase.known = 0;
    if (error != 0) {
        WipeScratch(got);
        return error;
    }
    uint32_t records = (got + kRecordSize - 1) / kRecordSize;
    memcpy(RecordStore.slots, loadScratch, got);
    WipeScratch(got);
    // The missing bytes of a partial last record, and every slot past the new count, are
    // empty: nothing of the records held before shows through.
    memset((char*)RecordStore.slots + got, 0, sizeof(RecordStore.slots) - got);
    SettingsBlock.count = records;
    if (records == 0)
        RecordStore.current = 0;
    else if (RecordStore.current >= records)
        RecordStore.current = records - 1;
    if (whole)
        Remember(PathBuffer, RecordStore.slots, got);
    else if (got == sizeof(loadScratch))
        DatabaseHoldsMore = 1;
    return 0;
}

int SaveDatabase()
{
    if (BuildPath(kDatabaseName) != 0)
        return -1;
    if (SettingsBlock.count > kSlotCount)
        return -1;
    uint32_t length = SettingsBlock.count * (uint32_t)kRecordSize;
    int result = WriteWholeFile(PathBuffer, RecordStore.slots, length);
    if (result == 0)
        Remember(PathBuffer, RecordStore.slots, length);
    return result;
}

int DatabaseChangedOnDisk()
{
    if (BuildPath(kDatabaseName) != 0)
        return 0; // no file can be there: the save itself fails and says so
    OsFile file;
    int error = OpenForRead(PathBuffer, &file);
    // Missing: nothing to lose. Access denied (a folder in its place, or no right to it): no
    // save can replace it either, and the save itself says so.
    if (error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorAccessDenied)
        return 0;
    if (error != 0)
        return 1; // held by another program: nobody can tell what it holds
    Fingerprint fingerprint;
    StartFingerprint(&fingerprint);
    uint32_t size = 0;
    unsigned char chunk[4096];
    for (;;) {
        uint32_t got = 0;
        error = OsRead(file, chunk, sizeof(chunk), &got);
        if (error != 0 || got == 0)
            break;
        AddToFingerprint(&fingerprint, chunk, got);
        size += got;
        if (size > KnownDatabase.size)
            break; // larger than the file remembered: no need to read the rest
    }
    OsClose(file);
    if (error != 0)
        return 1;
    if (size == 0)
        return 0;
    return !KnownDatabase.known || strcmp(KnownDatabase.path, PathBuffer) != 0 ||
           size != KnownDatabase.size || FinishFingerprint(&fingerprint) != KnownDatabase.hash;
}
