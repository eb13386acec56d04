// The entry page: one record at a time. Add, delete, and move through the records.
#include <windows.h>
#include <commctrl.h>

#include "fields.h"
#include "ids.h"
#include "main_window.h"
#include "messages.h"
#include "pages.h"
#include "record_store.h"
#include "views.h"

// Reads the five fields into the working record, each at most its size - 2 characters as the
// fields are limited. Returns 1, and leaves the working record alone, when a field holds a
// character the ANSI code page cannot hold.
static int ReadTypedRecord(HWND page)
{
    Record typed = {};
    int refused = ReadAnsiField(page, IDC_ENTRY_WEBSITE, typed.website, kWebsiteSize);
    refused |= ReadAnsiField(page, IDC_ENTRY_URL, typed.url, kUrlSize);
    refused |= ReadAnsiField(page, IDC_ENTRY_USER, typed.userName, kUserNameSize);
    refused |= ReadAnsiField(page, IDC_ENTRY_PASSWORD, typed.password, kPasswordSize);
    refused |= ReadAnsiField(page, IDC_ENTRY_REMARKS, typed.remarks, kRemarksSize);
    if (!refused)
        WorkingRecord = typed;
    return refused;
}

// Adds the typed record after checking that it can be stored as typed, that it is
// complete, that there is room, and, for a website or URL already stored, that the user
// wants it twice.
static void OnAdd(HWND page)
{
    if (ReadTypedRecord(page) != 0) {
        SetStatus("The entry holds characters that cannot be stored. Please change them");
        return;
    }
    if (WorkingRecord.url[0] == 0 || WorkingRecord.userName[0] == 0 ||
        WorkingRecord.password[0] == 0) {
        SetStatus("No valid website information entered. Please enter the data");
        return;
    }
    if (SettingsBlock.count != 0) {
        if (SettingsBlock.count >= kSlotCount) {
            SetStatus("The database cannot accomodate any more website records. Memory allocation fixed");
            return;
        }
        uint32_t match = FindDuplicate(WorkingRecord.website, WorkingRecord.url);
        if (match != kNoRecord) {
            RecordStore.current = match;
            if (!AskYesNo(page, "URL record already found. Insert into database?")) {
                ShowMessage(page, "Current website information is not added into database");
                ShowCurrentRecord(page);
                return;
            }
        }
    }
    AppendRecord();
    InsertListRow();
    SetStatus(StatusText);
    ModifiedFlag = 1;
    SetDlgItemInt(page, IDC_ENTRY_COUNT, SettingsBlock.count, FALSE);
    SetDlgItemInt(page, IDC_ENTRY_INDEX, RecordStore.current, FALSE);
}

// Clears the five fields and shows 0 for both numbers: the page of an empty store.
static void ShowNoRecord(HWND page)
{
    static const int fields[] = {IDC_ENTRY_WEBSITE, IDC_ENTRY_URL, IDC_ENTRY_USER, IDC_ENTRY_PASSWORD,
                                 IDC_ENTRY_REMARKS};
    for (int id : fields)
        SetDlgItemTextA(page, id, "");
    SetDlgItemInt(page, IDC_ENTRY_COUNT, 0, FALSE);
    SetDlgItemInt(page, IDC_ENTRY_INDEX, 0, FALSE);
}

// Removes the record shown, once the user confirms. The list is rebuilt and the page shows
// the record that took its place, so a second Delete never removes a record the user did
// not see; the removal is saved at close like an addition.
static void OnDelete(HWND page)
{
    // After settings with a smaller count were loaded, the page can show a slot no longer
    // in use: there is no record to remove then.
    if (SettingsBlock.count == 0 || RecordStore.current >= SettingsBlock.count)
        return;
    if (!AskYesNoDefaultNo(page, "Delete the record shown?"))
        return;
    DeleteCurrentRecord();
    FillListKeepingCurrent();
    if (SettingsBlock.count == 0)
        ShowNoRecord(page);
    else
        ShowCurrentRecord(page);
    SetStatus("Record deleted");
    ModifiedFlag = 1;
}

static void OnUp(HWND page)
{
    if (RecordStore.current != 0) {
        RecordStore.current = RecordStore.current - 1;
        ShowCurrentRecord(page);
    }
}

static void OnDown(HWND page)
{
    if (RecordStore.current + 1 < SettingsBlock.count) {
        RecordStore.current = RecordStore.current + 1;
        ShowCurrentRecord(page);
    }
}

static void OnTop(HWND page)
{
    RecordStore.current = 0;
    ShowCurrentRecord(page);
}

// With an empty store there is no last record: slot 0 is shown.
static void OnBottom(HWND page)
{
    RecordStore.current = SettingsBlock.count == 0 ? 0 : SettingsBlock.count - 1;
    ShowCurrentRecord(page);
}

INT_PTR CALLBACK EntryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        // 126 and 62 characters: what Add has always read from these fields, one less than a
        // record keeps.
        LimitField(page, IDC_ENTRY_WEBSITE, kWebsiteSize - 2);
        LimitField(page, IDC_ENTRY_URL, kUrlSize - 2);
        LimitField(page, IDC_ENTRY_USER, kUserNameSize - 2);
        LimitField(page, IDC_ENTRY_PASSWORD, kPasswordSize - 2);
        LimitField(page, IDC_ENTRY_REMARKS, kRemarksSize - 2);
        // The record number and the count only show where the page stands: typing into them
        // would look like a way to pick a record, which it is not.
        MakeDisplayOnly(page, IDC_ENTRY_INDEX);
        MakeDisplayOnly(page, IDC_ENTRY_COUNT);
        // The website is where an entry starts: the first field Tab reaches.
        AddTabStop(page, IDC_ENTRY_WEBSITE);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_MAXTEXT) {
            SetStatus(kFieldFull);
            return TRUE;
        }
        switch (LOWORD(wParam)) {
        case IDC_ENTRY_ADD: OnAdd(page); break;
        case IDC_ENTRY_DELETE: OnDelete(page); break;
        case IDC_ENTRY_UP: OnUp(page); break;
        case IDC_ENTRY_DOWN: OnDown(page); break;
        case IDC_ENTRY_TOP: OnTop(page); break;
        case IDC_ENTRY_BOTTOM: OnBottom(page); break;
        }
        return TRUE;
    }
    return FALSE;
}
