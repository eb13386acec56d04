// The record store: the whole password database while the program runs. A fixed table of
// 512-byte record slots, the count of slots in use, the current record, and the one-record
// working area through which every record passes between the table and the window.
// The table's memory image is byte for byte the database file.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Field sizes of a record (and of the working record), in bytes, terminator included.
enum {
    kWebsiteSize = 128,
    kUrlSize = 128,
    kUserNameSize = 64,
    kPasswordSize = 64,
    kRemarksSize = 128,
    kRecordSize = 512,
    kSlotCount = 1024,
    kStatusTextSize = 255
};

// One database record. Plain text in every field; nothing is encoded.
struct Record {
    char website[kWebsiteSize];   // offset 0
    char url[kUrlSize];           // offset 128
    char userName[kUserNameSize]; // offset 256
    char password[kPasswordSize]; // offset 320
    char remarks[kRemarksSize];   // offset 384
};

static_assert(sizeof(Record) == kRecordSize, "a record is 512 bytes on disk");
static_assert(offsetof(Record, website) == 0, "website offset");
static_assert(offsetof(Record, url) == 128, "URL offset");
static_assert(offsetof(Record, userName) == 256, "user name offset");
static_assert(offsetof(Record, password) == 320, "password offset");
static_assert(offsetof(Record, remarks) == 384, "remarks offset");

struct RecordTable {
    Record slots[kSlotCount]; // records 0 to count - 1, in order, no gaps
    uint32_t current;         // index of the current record, shown to the user from 0
};

static_assert(sizeof(((RecordTable*)0)->slots) == kSlotCount * kRecordSize,
              "the table holds exactly 1024 slots");

// The record count lives in the settings block: it is stored in the settings file, and
// there is one count, not two.
enum {
    kFolderSize = 256,
    kSettingsFileSize = 320,
    kStoredPasswordLength = 60, // bytes of the password the settings file keeps
    kPathSize = 255
};

struct Settings {
    uint32_t count;                 // records in use, also the first 4 bytes of the file
    char folder[kFolderSize];       // database folder, ANSI, NUL-terminated
    char password[kPasswordSize];   // only the first 60 bytes go into the file
};

static_assert(offsetof(Settings, count) == 0, "count comes first in the settings file");
static_assert(offsetof(Settings, folder) == 4, "folder follows the count");
static_assert(offsetof(Settings, password) == 260, "password follows the folder");
static_assert(sizeof(Settings) == 324, "settings block is 324 bytes in memory");
static_assert(kSettingsFileSize == offsetof(Settings, password) + kStoredPasswordLength,
              "the file keeps the first 60 bytes of the password");

extern RecordTable RecordStore;      // the table, its current index
extern Record WorkingRecord;         // fields on their way between table and window
extern Settings SettingsBlock;       // count, database folder, password
extern unsigned char ModifiedFlag;   // 1 after an add that has not been saved at close
extern char StatusText[kStatusTextSize]; // confirmation built by AppendRecord

// FindDuplicate's answer when no record matches.
const uint32_t kNoRecord = 0xFFFFFFFFu;

// Copies the fields of the current slot into the working record, each cut to fit.
void LoadWorkingRecord();

// Stores the working record as a new last record, makes it current and builds StatusText.
// The caller makes sure the table is not full (count below 1024).
void AppendRecord();

// Removes the current record, clears the slot that falls out of use, and loads the new
// current one into the working record.
// Does nothing when current does not name a record in use; an emptied store leaves
// current at 0.
void DeleteCurrentRecord();

// Index of the first record whose website or URL equals the given one, folding case,
// or kNoRecord. An empty website is compared by its URL alone.
uint32_t FindDuplicate(const char* website, const char* url);
