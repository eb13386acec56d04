#include <windows.h>
#include <commctrl.h>

#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

class ListPageTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Start();
    }
    void Stored(int count)
    {
        for (int i = 0; i < count; ++i)
            Add(("site" + std::to_string(i)).c_str(), ("url" + std::to_string(i)).c_str());
        FillList();
    }
    void Focus(int row)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        item.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(ListView, LVM_SETITEMSTATE, row, (LPARAM)&item);
    }
    // A double-click on row (-1: beside the rows), as the list view reports it.
    void DoubleClick(int row)
    {
        NMITEMACTIVATE note = {};
        note.hdr.hwndFrom = ListView;
        note.hdr.idFrom = 4001;
        note.hdr.code = NM_DBLCLK;
        note.iItem = row;
        SendMessageA(Window.listPage, WM_NOTIFY, 4001, (LPARAM)&note);
    }
    int SelectedTab() { return (int)SendDlgItemMessageA(main, 1002, TCM_GETCURSEL, 0, 0); }
};

} // namespace

TEST_F(ListPageTest, DoubleClickOpensTheRowOnTheEntryPage)
{
    Stored(3);
    SelectTab(2);
    DoubleClick(1);
    EXPECT_EQ(1u, RecordStore.current);
    EXPECT_EQ("site1", Text(Window.entryPage, 3001));
    EXPECT_EQ("3", Text(Window.entryPage, 3019));
    EXPECT_EQ("1", Text(Window.entryPage, 3022));
    EXPECT_EQ(1, SelectedTab());
    EXPECT_TRUE(IsWindowVisible(Window.entryPage));
    EXPECT_FALSE(IsWindowVisible(Window.listPage));
    // The focus follows the page, as after a click on the tab.
    EXPECT_EQ(GetDlgItem(Window.entryPage, 3001), GetFocus());
}

TEST_F(ListPageTest, DoubleClickBesideTheRowsOrOnARowBeyondTheCountOpensNothing)
{
    Stored(3);
    SelectTab(2);
    RecordStore.current = 0;
    DoubleClick(-1);
    // As after settings with a smaller count were loaded: row 2 names no record in use.
    SettingsBlock.count = 2;
    DoubleClick(2);
    DoubleClick(7);
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("", Text(Window.entryPage, 3001));
    EXPECT_EQ(2, SelectedTab());
    EXPECT_TRUE(IsWindowVisible(Window.listPage));
}

TEST_F(ListPageTest, RefreshRebuildsAndShowsTheLastRecord)
{
    Stored(4);
    Add("site4", "url4"); // stored, but not yet in the list
    ASSERT_EQ(4, ListRowCount());
    Click(Window.listPage, 4002);
    ASSERT_EQ(5, ListRowCount());
    EXPECT_EQ("site0", ListCell(0, 0));
    EXPECT_EQ("site4", ListCell(4, 0));
    EXPECT_EQ(4u, RecordStore.current);
    EXPECT_EQ("site4", Text(Window.entryPage, 3001));
    EXPECT_EQ("5", Text(Window.entryPage, 3019));
    EXPECT_EQ("4", Text(Window.entryPage, 3022));
}

TEST_F(ListPageTest, RefreshOfAnEmptyStoreEmptiesTheList)
{
    Stored(1);
    SettingsBlock.count = 0; // as after settings that count none were loaded
    Click(Window.listPage, 4002);
    EXPECT_EQ(0, ListRowCount());
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("0", Text(Window.entryPage, 3019));
    EXPECT_EQ("0", Text(Window.entryPage, 3022));
}

TEST_F(ListPageTest, ActivationRefillsOnlyWithRecords)
{
    Stored(2);
    Add("site2", "url2");
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(2, ListRowCount());
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(3, ListRowCount());
    SettingsBlock.count = 0;
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(3, ListRowCount()); // count 0: no refill
}
