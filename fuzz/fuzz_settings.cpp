// A hostile settings file goes through the start-up path: the settings are read, and when
// they name records the database is read from the folder they name, the records are copied
// into the working record, an add's confirmation is built and paths are joined from the
// loaded folder.
#include <string.h>

#include "files.h"
#include "fuzz_support.h"
#include "record_store.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetForFuzz();
    WriteFuzzFile("KSys.dat", data, size);
    Settings before = SettingsBlock;

    int result = LoadSettings();
    CheckStoreInvariants();
    if (result != 0) {
        // A refused file changes nothing at all.
        FUZZ_CHECK(memcmp(&before, &SettingsBlock, sizeof(Settings)) == 0);
        return 0;
    }
    // The file's bytes replace the block's, up to 320 of them; the folder's last byte is
    // always a terminator and the password's last four bytes are never read.
    size_t head = size < 4 + kFolderSize - 1 ? size : 4 + kFolderSize - 1;
    FUZZ_CHECK(memcmp(&SettingsBlock, data, head) == 0);
    if (size >= kSettingsFileSize)
        FUZZ_CHECK(memcmp(SettingsBlock.password, data + 260, 60) == 0);
    FUZZ_CHECK(memcmp(SettingsBlock.password + 60, before.password + 60, 4) == 0);

    // Never writes: the loaded folder may name any place. The database there is read only
    // when it fits the path buffer.
    if (SettingsBlock.count != 0)
        LoadDatabase();
    CheckStoreInvariants();
    for (uint32_t i = 0; i < SettingsBlock.count; i += 97) {
        RecordStore.current = i;
        LoadWorkingRecord();
        CheckWorkingRecord();
    }
    char path[kPathSize];
    if (JoinPath(SettingsBlock.folder, "Kestal.dat", path, sizeof(path)) == 0)
        FUZZ_CHECK(strlen(path) < sizeof(path));
    if (SettingsBlock.count < kSlotCount) {
        AppendRecord();
        FUZZ_CHECK(memchr(StatusText, 0, sizeof(StatusText)) != NULL);
    }
    CheckStoreInvariants();
    return 0;
}
