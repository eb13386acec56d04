// The honest floors for start-up: the main window's template run as a modal dialog that
// creates the three pages from their templates, as the program does, and shows the first,
// with procedures that do nothing else: no files, no list columns, no tabs.
// Built with KESTAL_BARE_FILL (kestal_bare_list), it also does the least start-up with records
// must do: read the settings file beside the program, read the whole database file of the
// folder it names into a 512 KiB scratch and copy it into the table, and fill the list page's
// list view with its four columns and one row per record, drawing off until the end.
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include "ids.h"

#ifdef KESTAL_BARE_FILL
#include "record_store.h"

static Record scratch[kSlotCount];
static Record table[kSlotCount];
static Settings settings;

// Reads up to size bytes of path; the count read.
static DWORD ReadRaw(const char* path, void* into, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD got = 0;
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    if (!ReadFile(file, into, size, &got, NULL))
        got = 0;
    CloseHandle(file);
    return got;
}

static void ReadAndFill(HWND listPage)
{
    char path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    strcpy(path + length, "KSys.dat");
    ReadRaw(path, &settings, kSettingsFileSize);
    settings.folder[kFolderSize - 1] = 0;
    strcpy(path, settings.folder);
    strcat(path, "Kestal.dat");
    DWORD got = ReadRaw(path, scratch, sizeof(scratch));
    memcpy(table, scratch, got);
    int rows = (int)((got + kRecordSize - 1) / kRecordSize);

    HWND list = GetDlgItem(listPage, IDC_LIST_VIEW);
    static const char* const titles[4] = {"Website", "URL", "Username", "Password"};
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    for (int i = 0; i < 4; ++i) {
        column.cx = 150;
        column.pszText = (char*)titles[i];
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    LVITEMA item = {};
    for (int i = 0; i < rows; ++i) {
        Record* r = &table[i];
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.lParam = i;
        item.iSubItem = 0;
        item.pszText = r->website;
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        item.mask = LVIF_TEXT;
        char* texts[3] = {r->url, r->userName, r->password};
        for (int c = 0; c < 3; ++c) {
            item.iSubItem = c + 1;
            item.pszText = texts[c];
            SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&item);
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);
}
#endif

static INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

static INT_PTR CALLBACK BareProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        HINSTANCE module = GetModuleHandleA(NULL);
        HWND listPage = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_LIST), window, PageProc, 0);
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_ENTRY), window, PageProc, 0);
        HWND first = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_CONFIG), window, PageProc, 0);
        SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
#ifdef KESTAL_BARE_FILL
        ReadAndFill(listPage);
#else
        (void)listPage;
#endif
    } else if (message == WM_CLOSE) {
        EndDialog(window, 0);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL, BareProc, 0);
    ExitProcess((UINT)result);
}
