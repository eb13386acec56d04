// The configuration page: the database folder, the password, and saving the settings.
#include <windows.h>
#include <shlobj.h>

#include "fields.h"
#include "files.h"
#include "ids.h"
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
static HMODULE LoadSystemLibrary(const char* name)
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

// Sets the picker's title bar; called for every message the picker sends.
static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM parameter, LPARAM data)
{
    (void)message;
    (void)parameter;
    return SetWindowTextA(window, (const char*)data);
}

int BrowseForFolder(HWND owner, char* destination, const char* caption, const char* instruction)
{
    if (!PrepareFolderPicker())
        return 0;
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = NULL;
    info.pszDisplayName = NULL;
    info.lpszTitle = instruction;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)caption;
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

// Lets the user choose the database folder; later loads and saves use it.
static void OnBrowse(HWND page)
{
    char chosen[MAX_PATH + 1] = "";
    if (BrowseForFolder(page, chosen, "Select folder for database", "Select A Folder") &&
        chosen[0] != 0) {
        if (FolderFits(chosen))
            CopyText(chosen, SettingsBlock.folder, kFolderSize);
        else
            ShowMessage(page, "The selected folder path is too long");
    }
    if (SettingsBlock.folder[0] != 0)
        SetDlgItemTextA(page, IDC_CONFIG_PATH, SettingsBlock.folder);
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
