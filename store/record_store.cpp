#include "record_store.h"

#include <string.h>

#include "text.h"

RecordTable RecordStore;
Record WorkingRecord;
Settings SettingsBlock;
unsigned char ModifiedFlag;
char StatusText[kStatusTextSize];

// Slot i begins i * 512 bytes into the table; the product is taken in 32 bits so that
// records from slot 128 on land at their full offset.
static Record* Slot(uint32_t index)
{
    unsigned char* table = (unsigned char*)RecordStore.slots;
    return (Record*)(table + (uint32_t)index * (uint32_t)kRecordSize);
}

static void CopyFields(const Record* from, Record* to)
{
    CopyText(from->website, to->website, kWebsiteSize);
    CopyText(from->url, to->url, kUrlSize);
    CopyText(from->userName, to->userName, kUserNameSize);
    CopyText(from->password, to->password, kPasswordSize);
    CopyText(from->remarks, to->remarks, kRemarksSize);
}

// Keeps at most size - 1 characters of field and zeroes every byte after them.
static void ZeroTail(char* field, size_t size)
{
    size_t length = strnlen(field, size - 1);
    memset(field + length, 0, size - length);
}

void LoadWorkingRecord()
{
    // Current always names a slot of the table; guard anyway, the window shows it any time.
    uint32_t index = RecordStore.current < kSlotCount ? RecordStore.current : 0;
    CopyFields(Slot(index), &WorkingRecord);
}

void AppendRecord()
{
    uint32_t s = SettingsBlock.count;
    if (s >= kSlotCount)
        return;
    // The whole record in one copy, then each field cut at its terminator and zero-filled
    // behind it: the slot holds nothing of what lay after the text in the working record.
    Record* slot = Slot(s);
    memcpy(slot, &WorkingRecord, sizeof(Record));
    ZeroTail(slot->website, kWebsiteSize);
    ZeroTail(slot->url, kUrlSize);
    ZeroTail(slot->userName, kUserNameSize);
    ZeroTail(slot->password, kPasswordSize);
    ZeroTail(slot->remarks, kRemarksSize);
    RecordStore.current = s;
    SettingsBlock.count = s + 1;

    // "Website: '<website>' has been inserted into database". The fixed parts are copied
    // with their sizes known, which halves the cost of an add.
    static const char kPrefix[] = "Website: '";
    static const char kSuffix[] = "' has been inserted into database";
    static_assert(sizeof(kPrefix) - 1 + (kWebsiteSize - 1) + sizeof(kSuffix) <= 252,
                  "the longest confirmation fits the zeroed part of StatusText");
    memset(StatusText, 0, 252);
    memcpy(StatusText, kPrefix, sizeof(kPrefix) - 1);
    char* p = AppendText(slot->website, StatusText + sizeof(kPrefix) - 1, StatusText + sizeof(StatusText));
    memcpy(p, kSuffix, sizeof(kSuffix));
}

void DeleteCurrentRecord()
{
    uint32_t count = SettingsBlock.count;
    uint32_t current = RecordStore.current;
    // After the settings were reloaded with a smaller count, current can name a slot that
    // is no longer in use; there is no record to remove then.
    if (count == 0 || count > kSlotCount || current >= count)
        return;

    uint32_t following = count - current - 1;
    memmove(Slot(current), Slot(current + 1), (size_t)following * kRecordSize);
    count = count - 1;
    SettingsBlock.count = count;
    // The slot that fell out of use is cleared: a deleted password must not come back on
    // the screen (Top on an emptied store shows slot 0), nor be saved again when settings
    // with a larger count are loaded afterwards.
    memset(Slot(count), 0, kRecordSize);
    if (current >= count)
        RecordStore.current = count == 0 ? 0 : count - 1;
    LoadWorkingRecord();
}

uint32_t FindDuplicate(const char* website, const char* url)
{
    uint32_t count = SettingsBlock.count < kSlotCount ? SettingsBlock.count : (uint32_t)kSlotCount;
    // Two entries that both leave the website empty are not the same site for that.
    int compareWebsite = website[0] != 0;
    for (uint32_t i = 0; i < count; ++i) {
        const Record* slot = Slot(i);
        if (compareWebsite && CompareText(slot->website, website, 1) == 0)
            return i;
        if (CompareText(slot->url, url, 1) == 0)
            return i;
    }
    return kNoRecord;
}
