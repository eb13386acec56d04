// The configuration page: the database folder, the password, and saving the settings.
#include <windows.h>
#include <shlobj.h>

#include "fields.h"
#include "files.h"
#include "ids.h"
#include "main_window.h"
#include "messages.h"
#include "pages.h"
#include "record_store.h"
#include "text.h"

static char ConfirmationBuffer[kPasswordSize]; // the second password entry

// The folder picker is the program's only user of the shell and of COM, and loading them
// (shell32 brings shlwapi, shcore, oleaut32 and more) costs more than the rest of start-up.
// So both are loaded, and COM started on this thread, at the first "Browse" only.
typedef LPITEMIDLIST(WINAPI* BrowseForFolderCall)(LPBROWSEINFOA info);
typedef BOOL(WINAPI* PathFromListCall)(LPCITEMIDLIST list, LPSTR path);
typedef HRESULT(WINAPI* StartComCall)(LPVOID reserved, DWORD model);
typedef void(WINAPI* EndComCall)(void);
typedef void(WINAPI* FreeComMemoryCall)(LPVOID memory);

static struct {
    BrowseForFolderCall browse;     // shell32's SHBrowseForFolderA; NULL until loaded
    PathFromListCall pathFromList;  // shell32's SHGetPathFromIDListA
    StartComCall startCom;          // ole32's CoInitializeEx
    EndComCall endCom;              // ole32's CoUninitialize
    FreeComMemoryCall freeMemory;   // ole32's CoTaskMemFree, for the picker's item list
    int comStarted;                 // 1 while this thread holds a CoInitializeEx to undo
} FolderPicker;

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Loads a library of the system from the system folder only: never a copy someone put beside
// the program (in a downloads folder, say). Windows 7 without its update KB2533623 refuses
// the flag with ERROR_INVALID_PARAMETER; the two libraries used here are then still found in
// the system folder, as known system libraries.
HMODULE LoadSystemLibrary(const char* name)
{
    HMODULE library = LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == NULL && GetLastError() == ERROR_INVALID_PARAMETER)
        library = LoadLibraryA(name);
    return library;
}

// Loads the picker's libraries once and starts COM on this thread when it is not yet
// started. Returns 0 when a library or routine is missing.
static int PrepareFolderPicker()
{
    if (FolderPicker.browse == NULL) {
        HMODULE ole = LoadSystemLibrary("ole32.dll");
        HMODULE shell = LoadSystemLibrary("shell32.dll");
        if (ole == NULL || shell == NULL)
            return 0;
        FolderPicker.startCom = (StartComCall)(void*)GetProcAddress(ole, "CoInitializeEx");
        FolderPicker.endCom = (EndComCall)(void*)GetProcAddress(ole, "CoUninitialize");
        FolderPicker.freeMemory = (FreeComMemoryCall)(void*)GetProcAddress(ole, "CoTaskMemFree");
        FolderPicker.pathFromList = (PathFromListCall)(void*)GetProcAddress(shell, "SHGetPathFromIDListA");
        BrowseForFolderCall browse = (BrowseForFolderCall)(void*)GetProcAddress(shell, "SHBrowseForFolderA");
        if (FolderPicker.startCom == NULL || FolderPicker.endCom == NULL || FolderPicker.freeMemory == NULL ||
            FolderPicker.pathFromList == NULL)
            return 0;
        FolderPicker.browse = browse; // set last: a non-NULL browse means all are there
        if (browse == NULL)
            return 0;
    }
    // The shell's picker needs COM, apartment-threaded, on the thread that opens it. S_FALSE
    // (already started here) also counts once and is undone once; a thread already in the
    // other model (RPC_E_CHANGED_MODE) is left as it is, with nothing to undo.
    if (!FolderPicker.comStarted)
        FolderPicker.comStarted = SUCCEEDED(FolderPicker.startCom(NULL, COINIT_APARTMENTTHREADED));
    return 1;
}

void EndFolderPicker()
{
    if (FolderPicker.comStarted)
        FolderPicker.endCom();
    FolderPicker.comStarted = 0;
}

// What the picker's callback needs: its title, and the folder it opens at.
struct PickerStart {
    const char* caption; // the picker's title bar
    const char* folder;  // selected when the picker opens; NULL or empty for none
};

// Sets the picker's title bar, called for every message the picker sends, and selects the
// starting folder once the picker is up.
static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM parameter, LPARAM data)
{
    (void)parameter;
    const PickerStart* start = (const PickerStart*)data;
    if (message == BFFM_INITIALIZED && start->folder != NULL && start->folder[0] != 0) {
        // The shell names folders without a trailing backslash, except a drive's root.
        char folder[MAX_PATH];
        lstrcpynA(folder, start->folder, sizeof(folder));
        int length = lstrlenA(folder);
        if (length > 3 && folder[length - 1] == '\\')
            folder[length - 1] = 0;
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, (LPARAM)folder);
    }
    return SetWindowTextA(window, start->caption);
}

int BrowseForFolder(HWND owner, char* destination, const char* caption, const char* instruction,
                    const char* startFolder)
{
    if (!PrepareFolderPicker())
        return -1;
    PickerStart start = {caption, startFolder};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = NULL;
    info.pszDisplayName = NULL;
    info.lpszTitle = instruction;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)&start;
    info.iImage = 0;
    LPITEMIDLIST list = FolderPicker.browse(&info);
    int chosen = 0;
    if (list != NULL) {
        FolderPicker.pathFromList(list, destination);
        chosen = 1;
    }
    FolderPicker.freeMemory(list);
    return chosen;
}

// A folder fits when the field holds it and both file names can still be joined to it
// within the path buffer; the database name is the longer of the two.
static int FolderFits(const char* folder)
{
    char path[kPathSize];
    return lstrlenA(folder) < kFolderSize && JoinPath(folder, "Kestal.dat", path, sizeof(path)) == 0;
}

void ShowDatabaseFolder(HWND page)
{
    SetDlgItemTextA(page, IDC_CONFIG_PATH, SettingsBlock.folder);
}

// Lets the user choose the database folder, starting from the one in use; later loads and
// saves use it. A folder other than the records' own is a change that closing saves.
static void OnBrowse(HWND page)
{
    char chosen[MAX_PATH + 1] = "";
    int picked = BrowseForFolder(page, chosen, "Select folder for database", "Select A Folder", SettingsBlock.folder);
    if (picked < 0)
        ShowMessage(page, "The folder picker could not be opened");
    if (picked > 0 && chosen[0] != 0) {
        if (FolderFits(chosen)) {
            CopyText(chosen, SettingsBlock.folder, kFolderSize);
            NoteFolderChosen();
        } else {
            ShowMessage(page, "The selected folder path is too long");
        }
    }
    if (SettingsBlock.folder[0] != 0)
        ShowDatabaseFolder(page);
}

// Takes the new password only when both entries agree and can be stored as typed.
static void OnAccept(HWND page)
{
    char password[kPasswordSize];
    if (ReadAnsiField(page, IDC_CONFIG_PASSWORD, password, kPasswordSize) != 0 ||
        ReadAnsiField(page, IDC_CONFIG_CONFIRM, ConfirmationBuffer, kPasswordSize) != 0) {
        ShowMessage(page, "The password holds characters that cannot be stored. Please re-enter it");
        return;
    }
    if (CompareText(password, ConfirmationBuffer, 0) == 0) {
        CopyText(password, SettingsBlock.password, kPasswordSize);
        ShowMessage(page, "Password accepted");
    } else {
        ShowMessage(page, "Please re-enter your password. Both are different");
    }
}

// Saves the settings on their own. The count written is what the folder's database file
// holds, not the records in memory: those reach the disk only with the database.
static void OnSaveConfiguration(HWND page)
{
    if (SaveSettingsKeepingFileCount() != 0)
        ShowMessage(page, "Error saving system record");
}

INT_PTR CALLBACK ConfigPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The settings file keeps the first 60 bytes of the password.
        LimitField(page, IDC_CONFIG_PASSWORD, kStoredPasswordLength);
        LimitField(page, IDC_CONFIG_CONFIRM, kStoredPasswordLength);
        // The folder is chosen with Browse; the field only shows it. It stays a Tab stop, so
        // the path can still be selected and copied.
        SendDlgItemMessageA(page, IDC_CONFIG_PATH, EM_SETREADONLY, TRUE, 0);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_MAXTEXT) {
            SetStatus(kFieldFull);
            return TRUE;
        }
        switch (LOWORD(wParam)) {
        case IDC_CONFIG_BROWSE:
            OnBrowse(page);
            break;
        case IDC_CONFIG_ACCEPT:
            if (lParam != 0)
                OnAccept(page);
            break;
        case IDC_CONFIG_SAVE:
            if (lParam != 0)
                OnSaveConfiguration(page);
            break;
        }
        return TRUE;
    case WM_CHAR:
        return TRUE;
    }
    return FALSE;
}
