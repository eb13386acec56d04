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
    void DoubleClick()
    {
        NMITEMACTIVATE note = {};
        note.hdr.hwndFrom = ListView;
        note.hdr.idFrom = 4001;
        note.hdr.code = NM_DBLCLK;
        note.iItem = 0; // the page reads the focused row, not this
        SendMessageA(Window.listPage, WM_NOTIFY, 4001, (LPARAM)&note);
    }
};

} // namespace

TEST_F(ListPageTest, DoubleClickPicksTheFocusedRow)
{
    Stored(3);
    Focus(1);
    DoubleClick();
    EXPECT_EQ(1u, RecordStore.current);
    EXPECT_EQ("site1", Text(Window.entryPage, 3001));
    EXPECT_EQ("3", Text(Window.entryPage, 3019));
    EXPECT_EQ("1", Text(Window.entryPage, 3022));
    // The tab does not change.
    EXPECT_TRUE(IsWindowVisible(Window.configPage));
}

TEST_F(ListPageTest, DoubleClickWithoutAFocusedRowDoesNothing)
{
    Stored(3);
    RecordStore.current = 0;
    DoubleClick();
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("", Text(Window.entryPage, 3001));
}

TEST_F(ListPageTest, DoubleClickAfterADeleteShowsTheLeftoverSlot)
{
    Stored(3);
    RecordStore.current = 0;
    Click(Window.entryPage, 3013);
    Focus(2); // a row whose index is now the count
    DoubleClick();
    EXPECT_EQ(2u, RecordStore.current);
    EXPECT_EQ("site2", Text(Window.entryPage, 3001));
    EXPECT_EQ("2", Text(Window.entryPage, 3019));
}

TEST_F(ListPageTest, DoubleClickOnARowBeyondTheTableDoesNothing)
{
    Stored(kSlotCount);
    RecordStore.current = 10;
    Click(Window.entryPage, 3013);
    SetDlgItemTextA(Window.entryPage, 3002, "url");
    SetDlgItemTextA(Window.entryPage, 3006, "n");
    SetDlgItemTextA(Window.entryPage, 3009, "p");
    SetDlgItemTextA(Window.entryPage, 3001, "fresh");
    Click(Window.entryPage, 3012);
    ASSERT_EQ(1025, ListRowCount());
    RecordStore.current = 7;
    Focus(1024);
    DoubleClick();
    EXPECT_EQ(7u, RecordStore.current);
    Focus(1023);
    DoubleClick();
    EXPECT_EQ(1023u, RecordStore.current);
}

TEST_F(ListPageTest, RefreshRebuildsAndShowsTheLastRecord)
{
    Stored(5);
    RecordStore.current = 0;
    Click(Window.entryPage, 3013); // the list keeps the deleted row until a refresh
    ASSERT_EQ(5, ListRowCount());
    Click(Window.listPage, 4002);
    ASSERT_EQ(4, ListRowCount());
    EXPECT_EQ("site1", ListCell(0, 0));
    EXPECT_EQ("site4", ListCell(3, 0));
    EXPECT_EQ(3u, RecordStore.current);
    EXPECT_EQ("site4", Text(Window.entryPage, 3001));
    EXPECT_EQ("4", Text(Window.entryPage, 3019));
    EXPECT_EQ("3", Text(Window.entryPage, 3022));
}

TEST_F(ListPageTest, RefreshOfAnEmptyStoreEmptiesTheList)
{
    Stored(1);
    Click(Window.entryPage, 3013);
    Click(Window.listPage, 4002);
    EXPECT_EQ(0, ListRowCount());
    EXPECT_EQ(0u, RecordStore.current);
    EXPECT_EQ("0", Text(Window.entryPage, 3019));
    EXPECT_EQ("0", Text(Window.entryPage, 3022));
}

TEST_F(ListPageTest, ActivationRefillsOnlyWithRecords)
{
    Stored(2);
    RecordStore.current = 0;
    Click(Window.entryPage, 3013);
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(2, ListRowCount());
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(1, ListRowCount());
    Click(Window.entryPage, 3013);
    SendMessageA(Window.listPage, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(1, ListRowCount()); // count 0: no refill
}
