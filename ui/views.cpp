#include "views.h"

#include <windows.h>
#include <commctrl.h>

#include "ids.h"
#include "pages.h"
#include "record_store.h"

HWND ListView;          // the list page's list view
static LVITEMA RowItem; // reused for every row; only the fields set below are used

void ShowCurrentRecord(HWND page)
{
    SetDlgItemInt(page, IDC_ENTRY_COUNT, SettingsBlock.count, FALSE);
    SetDlgItemInt(page, IDC_ENTRY_INDEX, RecordStore.current, FALSE);
    LoadWorkingRecord();
    SetDlgItemTextA(page, IDC_ENTRY_WEBSITE, WorkingRecord.website);
    SetDlgItemTextA(page, IDC_ENTRY_URL, WorkingRecord.url);
    SetDlgItemTextA(page, IDC_ENTRY_USER, WorkingRecord.userName);
    SetDlgItemTextA(page, IDC_ENTRY_PASSWORD, WorkingRecord.password);
    SetDlgItemTextA(page, IDC_ENTRY_REMARKS, WorkingRecord.remarks);
    RememberShownEntry(page);
}

void SetUpList(HWND listPage)
{
    ListView = GetDlgItem(listPage, IDC_LIST_VIEW);

    static const struct {
        const char* title;
        int width;
    } columns[] = {{"Website", 200}, {"URL", 200}, {"Username", 150}, {"Password", 150}};
    // The widths are pixels at 96 DPI. The program is DPI aware, so Windows no longer
    // stretches it: the columns grow with the system DPI as the dialogs grow with their font.
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    for (int i = 0; i < 4; ++i) {
        if (i == 1) {
            column.mask |= LVCF_FMT;
            column.fmt = LVCFMT_LEFT;
        }
        column.cx = MulDiv(columns[i].width, dpi, 96);
        column.pszText = (char*)columns[i].title;
        SendMessageA(ListView, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }

    // The header is created with HDS_BUTTONS; toggling it off makes the titles flat, since
    // the rows are never sorted.
    HWND header = (HWND)SendMessageA(ListView, LVM_GETHEADER, 0, 0);
    SetWindowLongA(header, GWL_STYLE, GetWindowLongA(header, GWL_STYLE) ^ HDS_BUTTONS);

    SendMessageA(ListView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_HEADERDRAGDROP |
                     LVS_EX_FULLROWSELECT);
    SendMessageA(ListView, LVM_SETTEXTCOLOR, 0, (LPARAM)RGB(0, 0, 0));
    SendMessageA(ListView, LVM_SETBKCOLOR, 0, (LPARAM)RGB(255, 255, 255));
    SendMessageA(ListView, LVM_SETTEXTBKCOLOR, 0, (LPARAM)RGB(240, 247, 166));
}

void InsertListRow()
{
    RowItem.mask = LVIF_TEXT | LVIF_PARAM;
    RowItem.iItem = (int)RecordStore.current;
    RowItem.lParam = (LPARAM)RecordStore.current;
    RowItem.iSubItem = 0;
    RowItem.pszText = WorkingRecord.website;
    SendMessageA(ListView, LVM_INSERTITEMA, 0, (LPARAM)&RowItem);

    // The texts go to row current, not to the index the insert returned: in a list that
    // matches the store the two are the same.
    RowItem.mask = LVIF_TEXT;
    char* texts[3] = {WorkingRecord.url, WorkingRecord.userName, WorkingRecord.password};
    for (int i = 0; i < 3; ++i) {
        RowItem.iSubItem = i + 1;
        RowItem.pszText = texts[i];
        SendMessageA(ListView, LVM_SETITEMA, 0, (LPARAM)&RowItem);
    }
}

void FillList()
{
    // Drawing each of up to 1024 rows as it arrives takes a hundred times longer than
    // drawing the finished list once.
    SendMessageA(ListView, WM_SETREDRAW, FALSE, 0);
    SendMessageA(ListView, LVM_DELETEALLITEMS, 0, 0);
    uint32_t count = SettingsBlock.count < kSlotCount ? SettingsBlock.count : (uint32_t)kSlotCount;
    for (RecordStore.current = 0; RecordStore.current < count; ++RecordStore.current) {
        LoadWorkingRecord();
        InsertListRow();
    }
    // An empty store keeps current at 0, which still names a slot.
    RecordStore.current = count == 0 ? 0 : count - 1;
    SendMessageA(ListView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView, NULL, TRUE);
}

void FillListKeepingCurrent()
{
    uint32_t current = RecordStore.current;
    FillList();
    RecordStore.current = current < SettingsBlock.count ? current : 0;
}
