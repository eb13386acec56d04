// The entry page: one record at a time. Add, delete, and move through the records.
#include <windows.h>
#include <commctrl.h>

#include "clipboard.h"
#include "fields.h"
#include "ids.h"
#include "main_window.h"
#include "messages.h"
#include "pages.h"
#include "record_store.h"
#include "views.h"

// The five fields in the order of the page, and what the program last put into each: the
// text shown since then is what the user typed or pasted.
static const int kEntryFieldIds[] = {IDC_ENTRY_WEBSITE, IDC_ENTRY_URL, IDC_ENTRY_USER, IDC_ENTRY_PASSWORD,
                                     IDC_ENTRY_REMARKS};
enum { kFieldCount = 5, kShownLength = 130 }; // a field takes at most 126 characters
static WCHAR ShownEntry[kFieldCount][kShownLength];

void RememberShownEntry(HWND page)
{
    for (int i = 0; i < kFieldCount; ++i)
        GetDlgItemTextW(page, kEntryFieldIds[i], ShownEntry[i], kShownLength);
    ReviewShutdownBlock();
}

// 1 when a field holds other text than the program last put there; sets *empty to whether
// all five are empty.
static int FieldsChanged(HWND page, int* empty)
{
    int changed = 0;
    *empty = 1;
    for (int i = 0; i < kFieldCount; ++i) {
        WCHAR text[kShownLength];
        GetDlgItemTextW(page, kEntryFieldIds[i], text, kShownLength);
        if (lstrcmpW(text, ShownEntry[i]) != 0)
            changed = 1;
        if (text[0] != 0)
            *empty = 0;
    }
    return changed;
}

int EntryTyped()
{
    if (Window.entryPage == NULL)
        return 0;
    int empty;
    return FieldsChanged(Window.entryPage, &empty) && !empty;
}

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
    NoteRecordsChanged();
    SetDlgItemInt(page, IDC_ENTRY_COUNT, SettingsBlock.count, FALSE);
    SetDlgItemInt(page, IDC_ENTRY_INDEX, RecordStore.current, FALSE);
    // What the fields hold is now a record: nothing typed is left to add.
    RememberShownEntry(page);
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
    RememberShownEntry(page);
}

// The question before a delete. When the fields were typed over since the record was shown,
// the page no longer shows what Delete removes: the question names the stored record, by
// the index the page shows and its website (its URL when it has none).
static int ConfirmDelete(HWND page)
{
    int empty;
    if (!FieldsChanged(page, &empty))
        return AskYesNoDefaultNo(page, "Delete the record shown?");
    const Record& stored = RecordStore.slots[RecordStore.current];
    const char* name = stored.website[0] != 0 ? stored.website : stored.url;
    // 127 bytes of a name at most, as a record keeps them.
    char shown[kWebsiteSize];
    lstrcpynA(shown, name, sizeof(shown));
    char text[64 + kWebsiteSize];
    wsprintfA(text, "Delete record %u (\"%s\") as stored?", (unsigned)RecordStore.current, shown);
    return AskYesNoDefaultNo(page, text);
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
    if (!ConfirmDelete(page))
        return;
    DeleteCurrentRecord();
    FillListKeepingCurrent();
    if (SettingsBlock.count == 0)
        ShowNoRecord(page);
    else
        ShowCurrentRecord(page);
    SetStatus("Record deleted");
    NoteRecordsChanged();
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
        // A password copied from here leaves the clipboard again.
        GuardPasswordCopies(GetDlgItem(page, IDC_ENTRY_PASSWORD));
        RememberShownEntry(page);
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
    case WM_DESTROY:
        // The copy of the record last shown holds its password.
        SecureZeroMemory(ShownEntry, sizeof(ShownEntry));
        return FALSE;
    }
    return FALSE;
}
