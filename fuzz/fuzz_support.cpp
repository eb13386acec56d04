#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "files.h"
#include "record_store.h"

const char* FuzzFolder()
{
    static char folder[kFolderSize];
    if (folder[0] == 0) {
        // Under TMPDIR when it is set, so that a runner can remove every folder a run made.
        const char* base = getenv("TMPDIR");
        char posix[256];
        snprintf(posix, sizeof(posix), "%s/kestal-fuzz-XXXXXX", base != NULL && base[0] != 0 ? base : "/tmp");
        if (mkdtemp(posix) == NULL)
            abort();
        snprintf(folder, sizeof(folder), "%s/", posix);
        for (char* p = folder; *p != 0; ++p) {
            if (*p == '/')
                *p = '\\';
        }
    }
    return folder;
}

void WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
{
    char path[512];
    snprintf(path, sizeof(path), "%s%s", FuzzFolder(), name);
    for (char* p = path; *p != 0; ++p) {
        if (*p == '\\')
            *p = '/';
    }
    FILE* file = fopen(path, "wb");
    if (file == NULL)
        abort();
    if (size > 0 && fwrite(data, 1, size, file) != size)
        abort();
    fclose(file);
}

void ResetForFuzz()
{
    memset(&RecordStore, 0, sizeof(RecordStore));
    memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    memset(StatusText, 0, sizeof(StatusText));
    memset(PathBuffer, 0, sizeof(PathBuffer));
    memset(&KnownDatabase, 0, sizeof(KnownDatabase));
    ModifiedFlag = 0;
    strcpy(SettingsBlock.folder, FuzzFolder());
}

void CheckStoreInvariants()
{
    FUZZ_CHECK(SettingsBlock.count <= kSlotCount);
    FUZZ_CHECK(RecordStore.current < kSlotCount);
    FUZZ_CHECK(memchr(SettingsBlock.folder, 0, kFolderSize) != NULL);
    FUZZ_CHECK(memchr(PathBuffer, 0, kPathSize) != NULL);
}

void CheckWorkingRecord()
{
    FUZZ_CHECK(memchr(WorkingRecord.website, 0, kWebsiteSize) != NULL);
    FUZZ_CHECK(memchr(WorkingRecord.url, 0, kUrlSize) != NULL);
    FUZZ_CHECK(memchr(WorkingRecord.userName, 0, kUserNameSize) != NULL);
    FUZZ_CHECK(memchr(WorkingRecord.password, 0, kPasswordSize) != NULL);
    FUZZ_CHECK(memchr(WorkingRecord.remarks, 0, kRemarksSize) != NULL);
}
