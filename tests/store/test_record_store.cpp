#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

class RecordStoreTest : public StoreTest {};

std::string Website(uint32_t slot)
{
    return RecordStore.slots[slot].website;
}

} // namespace

TEST_F(RecordStoreTest, AppendToEmptyStoreUsesSlotZeroAndReportsTheWebsite)
{
    SetWorking("Example", "example.com", "me", "secret", "note");
    AppendRecord();
    EXPECT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(0u, RecordStore.current);
    const Record& r = RecordStore.slots[0];
    EXPECT_STREQ("Example", r.website);
    EXPECT_STREQ("example.com", r.url);
    EXPECT_STREQ("me", r.userName);
    EXPECT_STREQ("secret", r.password);
    EXPECT_STREQ("note", r.remarks);
    EXPECT_STREQ("Website: 'Example' has been inserted into database", StatusText);
}

TEST_F(RecordStoreTest, AppendZeroFillsTheSlotBehindEachField)
{
    std::memset(&RecordStore.slots[0], 0x55, sizeof(Record));
    SetWorking("ab", "url", "n", "pw", "");
    AppendRecord();
    const char* slot = reinterpret_cast<const char*>(&RecordStore.slots[0]);
    struct Field {
        int offset, size;
        const char* text;
    } fields[] = {{0, 128, "ab"}, {128, 128, "url"}, {256, 64, "n"}, {320, 64, "pw"},
                  {384, 128, ""}};
    for (const Field& f : fields) {
        std::string expected(f.text);
        expected.resize(f.size, '\0');
        EXPECT_EQ(expected, std::string(slot + f.offset, f.size)) << "field at " << f.offset;
    }
}

TEST_F(RecordStoreTest, AppendWithEmptyWebsite)
{
    Add("");
    EXPECT_STREQ("Website: '' has been inserted into database", StatusText);
}

TEST_F(RecordStoreTest, LongestWebsiteStillFitsTheMessage)
{
    std::string website(127, 'w');
    SetWorking(website.c_str());
    AppendRecord();
    EXPECT_EQ("Website: '" + website + "' has been inserted into database",
              std::string(StatusText));
}

TEST_F(RecordStoreTest, RecordsStayAtTheirFullOffsetUpToTheLastSlot)
{
    for (int i = 0; i < kSlotCount; ++i)
        Add(std::to_string(i).c_str());
    EXPECT_EQ(1024u, SettingsBlock.count);
    EXPECT_EQ(1023u, RecordStore.current);
    const char* table = reinterpret_cast<const char*>(RecordStore.slots);
    EXPECT_STREQ("0", table);
    EXPECT_STREQ("200", table + 200 * 512);
    EXPECT_STREQ("1023", table + 1023 * 512);
    // A full table refuses another record rather than writing past its end.
    Add("extra");
    EXPECT_EQ(1024u, SettingsBlock.count);
    EXPECT_STREQ("1023", table + 1023 * 512);
}

TEST_F(RecordStoreTest, DeleteInTheMiddleShiftsTheFollowingRecords)
{
    for (const char* w : {"A", "B", "C", "D", "E"})
        Add(w);
    RecordStore.current = 2;
    DeleteCurrentRecord();
    EXPECT_EQ(4u, SettingsBlock.count);
    EXPECT_EQ(2u, RecordStore.current);
    EXPECT_EQ("A", Website(0));
    EXPECT_EQ("B", Website(1));
    EXPECT_EQ("D", Website(2));
    EXPECT_EQ("E", Website(3));
    EXPECT_STREQ("D", WorkingRecord.website);
    // The slot that fell out of use holds nothing of the deleted record any more.
    const unsigned char* freed = (const unsigned char*)&RecordStore.slots[4];
    EXPECT_EQ(std::vector<unsigned char>(kRecordSize, 0), std::vector<unsigned char>(freed, freed + kRecordSize));
}

TEST_F(RecordStoreTest, DeleteAtTheEnds)
{
    for (const char* w : {"A", "B", "C", "D", "E"})
        Add(w);
    RecordStore.current = 4;
    DeleteCurrentRecord();
    EXPECT_EQ(4u, SettingsBlock.count);
    EXPECT_EQ(3u, RecordStore.current);
    EXPECT_STREQ("D", WorkingRecord.website);

    RecordStore.current = 0;
    DeleteCurrentRecord();
    EXPECT_EQ("B", Website(0));
    EXPECT_EQ(0u, RecordStore.current);
}

TEST_F(RecordStoreTest, DeletingTheOnlyRecordLeavesCurrentAtZero)
{
    Add("only");
    DeleteCurrentRecord();
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(0u, RecordStore.current);
    // Slot 0 is cleared: the working record shows nothing of the deleted record.
    EXPECT_STREQ("", WorkingRecord.website);
    EXPECT_STREQ("", WorkingRecord.password);
    // Deleting from an empty store does nothing.
    DeleteCurrentRecord();
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(0u, RecordStore.current);
}

TEST_F(RecordStoreTest, DeleteWithCurrentBeyondTheCountRemovesNothing)
{
    for (const char* w : {"A", "B", "C"})
        Add(w);
    // As after reloading a settings file with a smaller count.
    SettingsBlock.count = 2;
    RecordStore.current = 2;
    DeleteCurrentRecord();
    EXPECT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ(2u, RecordStore.current);
    EXPECT_EQ("A", Website(0));
    EXPECT_EQ("B", Website(1));
}

TEST_F(RecordStoreTest, FindDuplicateFirstMatchByWebsiteOrUrlFoldingCase)
{
    Add("alpha", "a.example");
    Add("beta", "b.example");
    Add("gamma", "B.EXAMPLE");
    EXPECT_EQ(0u, FindDuplicate("ALPHA", "zzz"));
    EXPECT_EQ(1u, FindDuplicate("zzz", "b.Example"));
    EXPECT_EQ(1u, FindDuplicate("Gamma", "b.example")); // URL of slot 1 comes first
    EXPECT_EQ(2u, FindDuplicate("gamma", "nothing"));
    EXPECT_EQ(kNoRecord, FindDuplicate("delta", "d.example"));
    // An empty website is no match for another empty website: only the URL counts then.
    Add("", "e.example");
    EXPECT_EQ(kNoRecord, FindDuplicate("", "new"));
    EXPECT_EQ(3u, FindDuplicate("", "E.example"));
}

TEST_F(RecordStoreTest, FindDuplicateLooksOnlyAtRecordsInUse)
{
    Add("A");
    Add("B");
    SettingsBlock.count = 1;
    EXPECT_EQ(kNoRecord, FindDuplicate("B", "x"));
    SettingsBlock.count = 0;
    EXPECT_EQ(kNoRecord, FindDuplicate("A", "x"));
}

TEST_F(RecordStoreTest, LoadWorkingRecordCutsFieldsWithoutTerminator)
{
    std::memset(&RecordStore.slots[3], 'z', sizeof(Record));
    RecordStore.current = 3;
    LoadWorkingRecord();
    EXPECT_EQ(std::string(127, 'z'), WorkingRecord.website);
    EXPECT_EQ(std::string(127, 'z'), WorkingRecord.url);
    EXPECT_EQ(std::string(63, 'z'), WorkingRecord.userName);
    EXPECT_EQ(std::string(63, 'z'), WorkingRecord.password);
    EXPECT_EQ(std::string(127, 'z'), WorkingRecord.remarks);
    // An unterminated stored field still meets the duplicate search safely.
    SettingsBlock.count = 4;
    EXPECT_EQ(kNoRecord, FindDuplicate("zzz", "zzz"));
}
