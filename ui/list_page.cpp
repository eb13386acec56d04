// The list page: every record as a row; a double-click picks a record for the entry page.
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

// Makes the focused row's record current. After deletes without a refresh the list can
// hold more rows than the table has slots; such a row picks nothing.
static void OnDoubleClick()
{
    int row = (int)SendMessageA(ListView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    if (row < 0 || row >= kSlotCount)
        return;
    RecordStore.current = (uint32_t)row;
    ShowCurrentRecord(Window.entryPage);
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
        if (((NMHDR*)lParam)->code == (UINT)NM_DBLCLK)
            OnDoubleClick();
        return TRUE;
    }
    return FALSE;
}
