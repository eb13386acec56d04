// The list page: every record as a row; a double-click or Enter opens a row on the entry page.
#include <windows.h>
#include <commctrl.h>

#include "ids.h"
#include "main_window.h"
#include "pages.h"
#include "record_store.h"
#include "views.h"

// Rebuilds the list; the entry page then shows the last record, which is current.
static void OnRefresh()
{
    FillList();
    ShowCurrentRecord(Window.entryPage);
}

// Makes row's record current and shows it on the entry page, brought to the front. A row
// that names no record in use (none, or one left over from before a change) opens nothing.
static void OpenRow(int row)
{
    if (row < 0 || (uint32_t)row >= SettingsBlock.count)
        return;
    RecordStore.current = (uint32_t)row;
    ShowCurrentRecord(Window.entryPage);
    ShowEntryPage();
}

void OpenSelectedRow()
{
    int row = (int)SendMessageA(ListView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (row < 0)
        row = (int)SendMessageA(ListView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    OpenRow(row);
}

INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetUpList(page);
        return TRUE;
    case WM_ACTIVATE:
        if (SettingsBlock.count > 0 && LOWORD(wParam) == WA_ACTIVE)
            FillList();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LIST_REFRESH)
            OnRefresh();
        return TRUE;
    case WM_NOTIFY:
        // The row under the pointer; a double-click beside the rows opens nothing.
        if (((NMHDR*)lParam)->code == (UINT)NM_DBLCLK)
            OpenRow(((NMITEMACTIVATE*)lParam)->iItem);
        return TRUE;
    }
    return FALSE;
}
