#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

const char kMissingFields[] = "No valid website information entered. Please enter the data";
const char kFull[] = "The database cannot accomodate any more website records. Memory allocation fixed";

class EntryPageTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Start();
        page = Window.entryPage;
    }
    void Type(const char* website, const char* url, const char* user, const char* password,
              const char* remarks = "")
    {
        SetDlgItemTextA(page, 3001, website);
        SetDlgItemTextA(page, 3002, url);
        SetDlgItemTextA(page, 3006, user);
        SetDlgItemTextA(page, 3009, password);
        SetDlgItemTextA(page, 3010, remarks);
    }
    void TypeAndAdd(const char* website, const char* url = "u", const char* user = "n",
                    const char* password = "p")
    {
        Type(website, url, user, password);
        Click(page, 3012);
    }
    // The store holds these websites, with list rows for them, as after a start-up.
    void Stored(const std::vector<std::string>& websites)
    {
        for (const std::string& w : websites)
            Add(w.c_str(), (w + ".example").c_str());
        FillList();
    }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        for (int i = 0; i < ListRowCount(); ++i)
            rows.push_back(ListCell(i, 0));
        return rows;
    }
    HWND page = NULL;
};

} // namespace

TEST_F(EntryPageTest, AddStoresTheTypedRecordAndShowsIt)
{
    Type("Example", "example.com", "me", "secret", "note");
    Click(page, 3012);
    EXPECT_TRUE(boxes.Take().empty());
    ASSERT_EQ(1u, SettingsBlock.count);
    EXPECT_STREQ("Example", RecordStore.slots[0].website);
    EXPECT_STREQ("example.com", RecordStore.slots[0].url);
    EXPECT_STREQ("me", RecordStore.slots[0].userName);
    EXPECT_STREQ("secret", RecordStore.slots[0].password);
    EXPECT_STREQ("note", RecordStore.slots[0].remarks);
    EXPECT_EQ("Website: 'Example' has been inserted into database", StatusLineText(main));
    EXPECT_EQ(1, ModifiedFlag);
    EXPECT_EQ("1", Text(page, 3019));
    EXPECT_EQ("0", Text(page, 3022));
    EXPECT_EQ("Example", Text(page, 3001)); // the typed text stays
    ASSERT_EQ(1, ListRowCount());
    EXPECT_EQ("example.com", ListCell(0, 1));
    EXPECT_EQ("me", ListCell(0, 2));
    EXPECT_EQ("secret", ListCell(0, 3));
}

TEST_F(EntryPageTest, UrlUserNameAndPasswordAreRequired)
{
    const char* fields[][3] = {{"", "n", "p"}, {"u", "", "p"}, {"u", "n", ""}};
    for (auto& f : fields) {
        Type("site", f[0], f[1], f[2]);
        Click(page, 3012);
        EXPECT_EQ(kMissingFields, StatusLineText(main));
        EXPECT_EQ(0u, SettingsBlock.count);
        EXPECT_EQ(0, ModifiedFlag);
    }
    // Website and remarks may be empty.
    Type("", "u", "n", "p", "");
    Click(page, 3012);
    EXPECT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ("Website: '' has been inserted into database", StatusLineText(main));
    ASSERT_EQ(1, ListRowCount());
    EXPECT_EQ("", ListCell(0, 0));
    EXPECT_EQ("u", ListCell(0, 1));
    EXPECT_TRUE(boxes.Take().empty());
}

TEST_F(EntryPageTest, LongInputIsCutToTheField)
{
    std::string longText(300, 'x');
    Type(longText.c_str(), longText.c_str(), longText.c_str(), longText.c_str(), longText.c_str());
    Click(page, 3012);
    ASSERT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(std::string(126, 'x'), RecordStore.slots[0].website);
    EXPECT_EQ(std::string(126, 'x'), RecordStore.slots[0].url);
    EXPECT_EQ(std::string(62, 'x'), RecordStore.slots[0].userName);
    EXPECT_EQ(std::string(62, 'x'), RecordStore.slots[0].password);
    EXPECT_EQ(std::string(126, 'x'), RecordStore.slots[0].remarks);
}

TEST_F(EntryPageTest, FullStoreRefusesButAMissingFieldIsReportedFirst)
{
    for (int i = 0; i < kSlotCount; ++i)
        Add(("s" + std::to_string(i)).c_str(), ("u" + std::to_string(i)).c_str());
    TypeAndAdd("new", "new-url");
    EXPECT_EQ(kFull, StatusLineText(main));
    EXPECT_EQ(1024u, SettingsBlock.count);
    EXPECT_TRUE(boxes.Take().empty());
    TypeAndAdd("new", "new-url", "");
    EXPECT_EQ(kMissingFields, StatusLineText(main));
    // The last slot can still be filled after a delete. The fields were typed over, so the
    // question names the stored record.
    RecordStore.current = 5;
    boxes.Queue(IDYES);
    Click(page, 3013);
    QuestionThen("Delete record 5 (\"s5\") as stored?", {IDYES, IDNO}, IDNO);
    TypeAndAdd("new", "new-url");
    EXPECT_EQ(1024u, SettingsBlock.count);
    EXPECT_STREQ("new", RecordStore.slots[1023].website);
}

TEST_F(EntryPageTest, DuplicateAnsweredNoShowsTheStoredRecord)
{
    Stored({"example.com"});
    boxes.Queue(IDNO);
    TypeAndAdd("EXAMPLE.com", "other-url", "someone", "pw");
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("URL record already found. Insert into database?", seen[0].text);
    EXPECT_EQ("Password Kestal", seen[0].caption);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), seen[0].buttons);
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ("Current website information is not added into database", seen[1].text);
    EXPECT_EQ(std::vector<int>{IDOK}, seen[1].buttons);
    EXPECT_FALSE(seen[1].hasIcon);
    EXPECT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("example.com", Text(page, 3001));
    EXPECT_EQ("example.com.example", Text(page, 3002));
    EXPECT_EQ(0, ModifiedFlag);
}

TEST_F(EntryPageTest, DuplicateByUrlAnsweredYesIsAdded)
{
    Stored({"a", "b"});
    boxes.Queue(IDYES);
    TypeAndAdd("new site", "B.EXAMPLE");
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("URL record already found. Insert into database?", seen[0].text);
    EXPECT_EQ(3u, SettingsBlock.count);
    EXPECT_EQ(2u, RecordStore.current);
    EXPECT_STREQ("new site", RecordStore.slots[2].website);
    EXPECT_EQ("3", Text(page, 3019));
    EXPECT_EQ("2", Text(page, 3022));
    EXPECT_EQ(1, ModifiedFlag);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "new site"}), Rows());
}

TEST_F(EntryPageTest, EmptyWebsitesAreNoDuplicatesButTheirUrlsAre)
{
    TypeAndAdd("", "first");
    TypeAndAdd("", "second");
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(2u, SettingsBlock.count);
    boxes.Queue(IDNO);
    TypeAndAdd("", "FIRST");
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("URL record already found. Insert into database?", seen[0].text);
    EXPECT_EQ(2u, SettingsBlock.count);
}

// Delete asks first, then shows the record that took the deleted one's place, with the
// list rebuilt; the removal is saved like an addition.
TEST_F(EntryPageTest, DeleteAsksThenShowsTheRecordNowCurrent)
{
    Stored({"A", "B", "C", "D"});
    RecordStore.current = 1;
    ShowCurrentRecord(page);
    EXPECT_EQ(std::vector<std::string>{}, Delete(IDNO));
    EXPECT_EQ(4u, SettingsBlock.count);
    EXPECT_EQ("B", Text(page, 3001));
    EXPECT_EQ(0, ModifiedFlag);
    EXPECT_EQ("", StatusLineText(main));

    struct {
        uint32_t shown;
        std::string nowShown;
        std::string index;
        std::vector<std::string> rows;
    } steps[] = {
        {1, "C", "1", {"A", "C", "D"}}, // the middle: the next record moves up
        {2, "C", "1", {"A", "C"}},      // the last: the one before it
        {0, "C", "0", {"C"}},           // the first
    };
    for (const auto& step : steps) {
        RecordStore.current = step.shown;
        ShowCurrentRecord(page);
        EXPECT_EQ(std::vector<std::string>{}, Delete(IDYES));
        EXPECT_EQ(step.rows, Rows());
        EXPECT_EQ(step.nowShown, Text(page, 3001));
        EXPECT_EQ(step.nowShown + ".example", Text(page, 3002));
        EXPECT_EQ(std::to_string(step.rows.size()), Text(page, 3019));
        EXPECT_EQ(step.index, Text(page, 3022));
        EXPECT_EQ(step.index, std::to_string(RecordStore.current));
        EXPECT_EQ("Record deleted", StatusLineText(main));
        EXPECT_EQ(1, ModifiedFlag);
    }

    // The only record: an empty page, both numbers 0.
    EXPECT_EQ(std::vector<std::string>{}, Delete(IDYES));
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(0, ListRowCount());
    for (int id : {3001, 3002, 3006, 3009, 3010})
        EXPECT_EQ("", Text(page, id)) << id;
    EXPECT_EQ("0", Text(page, 3019));
    EXPECT_EQ("0", Text(page, 3022));

    // An empty store, or a page showing a slot beyond a reloaded, smaller count: nothing
    // to remove, nothing to ask.
    Click(page, 3013);
    EXPECT_TRUE(boxes.Take().empty());
    Stored({"A", "B", "C"});
    RecordStore.current = 2;
    SettingsBlock.count = 2;
    Click(page, 3013);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(2u, SettingsBlock.count);
}

TEST_F(EntryPageTest, DeleteThenAddAppendsAfterTheRemainingRecords)
{
    Stored({"A", "B", "C"});
    RecordStore.current = 1;
    Delete(IDYES);
    TypeAndAdd("D", "d-url");
    EXPECT_EQ((std::vector<std::string>{"A", "C", "D"}), Rows());
    EXPECT_STREQ("C", RecordStore.slots[1].website);
    EXPECT_STREQ("D", RecordStore.slots[2].website);
}

TEST_F(EntryPageTest, NavigationStopsAtBothEndsWithoutRedrawing)
{
    Stored({"A", "B", "C"});
    RecordStore.current = 0;
    SetDlgItemTextA(page, 3001, "typed");
    Click(page, 3015); // Up at 0
    EXPECT_EQ("typed", Text(page, 3001));
    EXPECT_EQ(0u, RecordStore.current);

    Click(page, 3016); // Down
    EXPECT_EQ("B", Text(page, 3001));
    EXPECT_EQ("1", Text(page, 3022));
    EXPECT_EQ("3", Text(page, 3019));
    Click(page, 3016);
    EXPECT_EQ("C", Text(page, 3001));
    SetDlgItemTextA(page, 3001, "typed");
    Click(page, 3016); // Down at the last record
    EXPECT_EQ("typed", Text(page, 3001));
    EXPECT_EQ(2u, RecordStore.current);

    Click(page, 3015); // Up
    EXPECT_EQ("B", Text(page, 3001));
    EXPECT_EQ("1", Text(page, 3022));
}

TEST_F(EntryPageTest, TopAndBottomAlwaysRedraw)
{
    Stored({"A", "B", "C"});
    RecordStore.current = 0;
    SetDlgItemTextA(page, 3001, "typed");
    Click(page, 3017); // Top, already at 0
    EXPECT_EQ("A", Text(page, 3001));
    EXPECT_EQ("0", Text(page, 3022));
    Click(page, 3018);
    EXPECT_EQ("C", Text(page, 3001));
    EXPECT_EQ("2", Text(page, 3022));
    EXPECT_EQ("C.example", Text(page, 3002));
}

TEST_F(EntryPageTest, TopAndBottomOnAnEmptyStoreShowSlotZero)
{
    Click(page, 3018);
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("0", Text(page, 3019));
    EXPECT_EQ("0", Text(page, 3022));
    EXPECT_EQ("", Text(page, 3001));
    // After the only record is deleted nothing of it comes back.
    Stored({"gone"});
    Delete(IDYES);
    Click(page, 3017);
    EXPECT_EQ("", Text(page, 3001));
    EXPECT_EQ("", Text(page, 3009));
    Click(page, 3018);
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("", Text(page, 3001));
}
