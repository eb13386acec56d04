// A hostile database file: the first two bytes choose the count in force before the load
// (which the load must ignore), the rest is the file. Every record read is copied into the working record, searched for and
// confirmed as an add would confirm it.
#include <string.h>

#include "files.h"
#include "fuzz_support.h"
#include "record_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    ResetForFuzz();
    // The count in force before the load must not matter: the file decides.
    SettingsBlock.count = (uint32_t)(data[0] | (data[1] << 8)) % (kSlotCount + 1);
    WriteFuzzFile("Kestal.dat", data + 2, size - 2);
    memset(RecordStore.slots, 0xA5, sizeof(RecordStore.slots));

    FUZZ_CHECK(LoadDatabase() == 0);
    CheckStoreInvariants();
    size_t fileBytes = size - 2;
    size_t read = fileBytes < sizeof(RecordStore.slots) ? fileBytes : sizeof(RecordStore.slots);
    uint32_t count = (uint32_t)((read + kRecordSize - 1) / kRecordSize);
    FUZZ_CHECK(SettingsBlock.count == count);
    FUZZ_CHECK(DatabaseHoldsMore == (fileBytes > sizeof(RecordStore.slots)));
    const unsigned char* table = (const unsigned char*)RecordStore.slots;
    FUZZ_CHECK(memcmp(table, data + 2, read) == 0);
    // Nothing of what the table held before shows through past the file's bytes.
    for (size_t i = read; i < sizeof(RecordStore.slots); ++i)
        FUZZ_CHECK(table[i] == 0);

    // Every record is copied; a search over the whole table for each would make one input
    // take seconds, so only a few records are searched for.
    for (uint32_t i = 0; i < count; ++i) {
        RecordStore.current = i;
        LoadWorkingRecord();
        CheckWorkingRecord();
        if (i % 256 == 0 || i + 1 == count) {
            uint32_t match = FindDuplicate(WorkingRecord.website, WorkingRecord.url);
            FUZZ_CHECK(match == kNoRecord || match < count);
        }
    }
    if (count < kSlotCount) {
        AppendRecord();
        FUZZ_CHECK(memchr(StatusText, 0, sizeof(StatusText)) != NULL);
        FUZZ_CHECK(RecordStore.current == count && SettingsBlock.count == count + 1);
    }
    CheckStoreInvariants();
    return 0;
}
