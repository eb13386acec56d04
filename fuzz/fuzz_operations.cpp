// The bytes are a script of store operations. A model of the table, kept with plain
// standard-library code, follows every step, and after each one the store must match it:
//   - the count never exceeds 1024 and current always names a slot;
//   - slots 0 to count - 1 hold exactly what the model says (contiguous, in order, and
//     changed only by the operation just run);
//   - the working record and the status text stay terminated inside their buffers;
//   - a duplicate search answers the first record whose website or URL matches.
// AddressSanitizer catches any read or write outside a buffer.
#include <string.h>

#include <string>
#include <vector>

#include "files.h"
#include "fuzz_support.h"
#include "record_store.h"

namespace {

struct Script {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool More() const { return at < size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    // A short text, possibly holding any byte but NUL.
    std::string Text()
    {
        size_t length = Byte() % 140;
        std::string text;
        for (size_t i = 0; i < length && More(); ++i) {
            uint8_t c = Byte();
            text += (char)(c == 0 ? 'a' : c);
        }
        return text;
    }
};

// The model mirrors the whole table, so slots that a settings load brings back into use
// are known too.
struct Model {
    std::vector<Record> slots = std::vector<Record>(kSlotCount);
    uint32_t count = 0;
    uint32_t current = 0;
    std::vector<Record> onDisk;      // what Kestal.dat holds, when it exists
    bool databaseExists = false;
};

// Case-folded equality as the search uses it, written independently of the store's code.
bool FoldedEqual(const char* stored, size_t size, const std::string& typed)
{
    std::string s(stored, strnlen(stored, size));
    if (s.size() != typed.size())
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (((unsigned char)s[i] & 0x5F) != ((unsigned char)typed[i] & 0x5F))
            return false;
    }
    return true;
}

void SetField(char* field, size_t size, const std::string& text)
{
    memset(field, 0, size);
    memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

void Check(const Model& model)
{
    CheckStoreInvariants();
    FUZZ_CHECK(SettingsBlock.count == model.count);
    FUZZ_CHECK(RecordStore.current == model.current);
    FUZZ_CHECK(memcmp(RecordStore.slots, model.slots.data(), (size_t)model.count * kRecordSize) == 0);
    CheckWorkingRecord();
    FUZZ_CHECK(memchr(StatusText, 0, sizeof(StatusText)) != NULL);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetForFuzz();
    WriteFuzzFile("Kestal.dat", NULL, 0);
    Model model;
    model.databaseExists = true; // written empty above
    Script script{data, size};
    int steps = 0;
    while (script.More() && steps++ < 200) {
        switch (script.Byte() % 8) {
        case 0: { // add a record
            std::string fields[5];
            for (std::string& f : fields)
                f = script.Text();
            SetField(WorkingRecord.website, kWebsiteSize, fields[0]);
            SetField(WorkingRecord.url, kUrlSize, fields[1]);
            SetField(WorkingRecord.userName, kUserNameSize, fields[2]);
            SetField(WorkingRecord.password, kPasswordSize, fields[3]);
            SetField(WorkingRecord.remarks, kRemarksSize, fields[4]);
            Record expected = WorkingRecord;
            AppendRecord();
            if (model.count < kSlotCount) {
                model.slots[model.count] = expected;
                model.current = model.count;
                ++model.count;
                std::string message = "Website: '" + std::string(expected.website) +
                                      "' has been inserted into database";
                FUZZ_CHECK(message == StatusText);
            }
            break;
        }
        case 1: // delete the current record
            DeleteCurrentRecord();
            if (model.count != 0 && model.current < model.count) {
                for (uint32_t i = model.current; i + 1 < model.count; ++i)
                    model.slots[i] = model.slots[i + 1];
                --model.count;
                model.slots[model.count] = {};
                if (model.current >= model.count)
                    model.current = model.count == 0 ? 0 : model.count - 1;
            }
            break;
        case 2: { // search for a duplicate
            std::string website = script.Text().substr(0, kWebsiteSize - 1);
            std::string url = script.Text().substr(0, kUrlSize - 1);
            uint32_t expected = kNoRecord;
            for (uint32_t i = 0; i < model.count && expected == kNoRecord; ++i) {
                if ((!website.empty() && FoldedEqual(model.slots[i].website, kWebsiteSize, website)) ||
                    FoldedEqual(model.slots[i].url, kUrlSize, url))
                    expected = i;
            }
            FUZZ_CHECK(FindDuplicate(website.c_str(), url.c_str()) == expected);
            break;
        }
        case 3: { // pick a record, as a double-click or the navigation does
            uint32_t row = (uint32_t)(script.Byte() | (script.Byte() << 8));
            if (row < kSlotCount) {
                RecordStore.current = row;
                model.current = row;
            }
            break;
        }
        case 4: { // load a settings file with some count
            uint32_t count = (uint32_t)(script.Byte() | (script.Byte() << 8)) % 1200;
            Settings file = SettingsBlock;
            file.count = count;
            WriteFuzzFile("KSys.dat", (const uint8_t*)&file, kSettingsFileSize);
            int result = LoadSettings();
            FUZZ_CHECK((result == 0) == (count <= kSlotCount));
            if (result == 0)
                model.count = count;
            break;
        }
        case 5: { // load the database: every record the file holds becomes the table
            int result = LoadDatabase();
            FUZZ_CHECK((result == 0) == model.databaseExists);
            if (result == 0) {
                model.count = (uint32_t)model.onDisk.size();
                for (size_t i = 0; i < model.slots.size(); ++i)
                    model.slots[i] = i < model.onDisk.size() ? model.onDisk[i] : Record{};
                if (model.count == 0)
                    model.current = 0;
                else if (model.current >= model.count)
                    model.current = model.count - 1;
            }
            break;
        }
        case 6: // save both files
            FUZZ_CHECK(SaveDatabase() == 0);
            FUZZ_CHECK(SaveSettings() == 0);
            model.onDisk.assign(model.slots.begin(), model.slots.begin() + model.count);
            model.databaseExists = true;
            break;
        case 7: // show the current record
            LoadWorkingRecord();
            FUZZ_CHECK(strncmp(WorkingRecord.website, model.slots[model.current].website,
                               kWebsiteSize - 1) == 0);
            break;
        }
        Check(model);
    }
    return 0;
}
