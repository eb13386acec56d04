#include "main_window.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <string.h>

#include "clipboard.h"
#include "fields.h"
#include "files.h"
#include "ids.h"
#include "messages.h"
#include "os_files.h"
#include "pages.h"
#include "version.h"
#include "record_store.h"
#include "text.h"
#include "views.h"

WindowState Window;

static const char kSettingsSaved[] = "System record saved";
static const char kSettingsNotSaved[] = "Error saving system record";
static const char kLoadError[] = "Load Error: Unable to load database";

// The text a failed database write shows, by its result code.
static const char* WriteErrorText(int result)
{
    switch (result) {
    case -2: return "Write Error: number of bytes written incorrect";
    case -3: return "Write Error: Error in saving file";
    default: return "Write Error: Opening file for write operation";
    }
}

// The first control of page that Tab stops at, in the template's order, or NULL.
static HWND FirstTabStop(HWND page)
{
    for (HWND child = GetWindow(page, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
            return child;
    }
    return NULL;
}

// Shows page on top of the tab control, remembers it as the page shown, and moves the
// keyboard focus into it (to the tab control when it has no Tab stop). The tab control
// never takes the focus on a click, so without this the focus would stay on a control of
// the page just hidden: typing would go there, and the dialog manager's search for a
// mnemonic, which starts at the focus, never ends from a hidden control. WM_NEXTDLGCTL,
// unlike SetFocus, also moves the default-button state with the focus.
static void ShowPage(HWND window, HWND page)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)page);
    SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    HWND focus = FirstTabStop(page);
    if (focus == NULL)
        focus = GetDlgItem(window, IDC_MAIN_TABS);
    SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)focus, TRUE);
}

// Lets page draw the tab control's themed body behind it rather than a plain dialog colour:
// with the visual styles of Common Controls 6 the body of a tab is not the dialog grey.
// Looked up at run time, from the system folder, so that the program still starts where the
// theme library is absent.
static void DrawOnTheTabBody(HWND page)
{
    typedef HRESULT(WINAPI * EnableTextureProc)(HWND, DWORD);
    static EnableTextureProc enableTexture;
    static int looked;
    if (!looked) {
        looked = 1;
        HMODULE theme = LoadSystemLibrary("uxtheme.dll");
        if (theme != NULL)
            enableTexture = (EnableTextureProc)(void*)GetProcAddress(theme, "EnableThemeDialogTexture");
    }
    if (enableTexture != NULL)
        enableTexture(page, ETDT_ENABLETAB);
}

static void AddTab(HWND window, const char* text, HWND page)
{
    char buffer[64];
    lstrcpynA(buffer, text, sizeof(buffer));
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    item.lParam = (LPARAM)page;
    SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_INSERTITEMA, 0, (LPARAM)&item);
}

// The fields that take more text than their width shows: all five of the entry page, and
// the configuration page's two password fields.
static const int kEntryFields[] = {IDC_ENTRY_WEBSITE, IDC_ENTRY_URL, IDC_ENTRY_USER, IDC_ENTRY_PASSWORD,
                                   IDC_ENTRY_REMARKS, 0};
static const int kConfigFields[] = {IDC_CONFIG_PASSWORD, IDC_CONFIG_CONFIRM, 0};

// After a read or a save of the whole database in the folder now in use: the records in
// memory are that folder's, so a folder chosen with Browse is no longer a change to save.
static void RecordsAreInTheFolderInUse()
{
    CopyText(SettingsBlock.folder, Window.recordsFolder, kFolderSize);
    Window.folderChosen = 0;
}

int RecordsUnsaved()
{
    return ModifiedFlag || Window.folderChosen;
}

// 1 after File > Save Database wrote the records, until they change again: the records
// stay marked modified then, but nothing is lost if the Windows session ends.
static int RecordsOnDisk;

void NoteFolderChosen()
{
    Window.folderChosen = !SameFolder(SettingsBlock.folder, Window.recordsFolder);
    if (Window.folderChosen)
        RecordsOnDisk = 0;
}

void NoteRecordsChanged()
{
    ModifiedFlag = 1;
    RecordsOnDisk = 0;
}

static const char kMoreThanTheTable[] = "The database file holds more than 1024 records: the first 1024 loaded";

// Reads the database of the folder the settings name and shows it. The file decides which
// records exist, whatever count the settings name: records saved by another writer (the tool,
// or a copy of the settings that was not updated) are never hidden, and a missing file or one
// shorter than the count never adds blank records that a later save would write. The status
// line says when the count and the file disagree.
static void LoadAtStartUp(HWND window)
{
    uint32_t counted = SettingsBlock.count;
    int result = LoadDatabase();
    if (result != 0) {
        SettingsBlock.count = 0;
        memset(&RecordStore, 0, sizeof(RecordStore));
        if (result > 3) {
            // Held by another program, or unreadable: show nothing of it. The file is not
            // known, so a later save asks before it replaces it.
            ShowMessage(window, kLoadError);
        } else if (counted != 0) {
            SetStatus("Database file not found: no records loaded");
        }
        return;
    }
    ShowCurrentRecord(Window.entryPage);
    FillList();
    // The list fill leaves the last record current; the page shows record 0, and what the
    // page shows is what Delete and the arrows act on.
    RecordStore.current = 0;
    uint32_t held = SettingsBlock.count;
    char text[96];
    if (DatabaseHoldsMore) {
        SetStatus(kMoreThanTheTable);
    } else if (held > counted) {
        wsprintfA(text, "All %u records of the database file loaded; the settings counted %u", (unsigned)held,
                  (unsigned)counted);
        SetStatus(text);
    } else if (held < counted) {
        wsprintfA(text, "Database file holds only %u records", (unsigned)held);
        SetStatus(text);
    } else if (held != 0) {
        SetStatus("System record loaded");
    }
}

// The tabs from the left: configuration, entry, list.
enum { kEntryTab = 1 };

static void CatchTabKeys(HWND window);

// Creates the pages and tabs, then loads the settings from the program folder and the
// database from the folder they name, and shows that folder.
static void OnInitDialog(HWND window)
{
    HINSTANCE module = Window.module;
    // Each tab goes in at index 0, so the last one created ends up first.
    Window.listPage = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_LIST), window, ListPageProc, 0);
    AddTab(window, " Password List", Window.listPage);
    Window.entryPage = CreatePageWithScrollingFields(module, IDD_ENTRY, window, EntryPageProc, kEntryFields);
    AddTab(window, " Password Entry ", Window.entryPage);
    Window.configPage = CreatePageWithScrollingFields(module, IDD_CONFIG, window, ConfigPageProc, kConfigFields);
    AddTab(window, " Configuration ", Window.configPage);
    DrawOnTheTabBody(Window.listPage);
    DrawOnTheTabBody(Window.entryPage);
    DrawOnTheTabBody(Window.configPage);

    SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_SETCURSEL, 0, 0);
    ShowPage(window, Window.configPage);
    CatchTabKeys(window);
    Window.statusLine = GetDlgItem(window, IDC_MAIN_STATUS);

    // A program folder too long for the folder field cannot hold the files: report it as
    // a settings file that could not be read.
    int result = ProgramFolder(SettingsBlock.folder);
    if (result == 0)
        result = LoadSettings();
    if (result == 2) {
        // No settings file: the folder is the program folder, and a database file there is
        // read all the same, so that a later save never replaces records nobody was shown.
        SettingsBlock.count = 0;
        result = 0;
    }
    if (result == 0)
        LoadAtStartUp(window);
    else if (result > 3)
        ShowMessage(window, "Error loading system record");
    ShowDatabaseFolder(Window.configPage);
    RecordsAreInTheFolderInUse();
    ModifiedFlag = 0;
    RecordsOnDisk = 0;
}

// Hides the page shown and shows the one of the tab just selected.
static void OnTabChanged(HWND window)
{
    HWND shown = (HWND)GetWindowLongPtrA(window, GWLP_USERDATA);
    ShowWindow(shown, SW_HIDE);
    int index = (int)SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_GETCURSEL, 0, 0);
    TCITEMA item = {};
    item.mask = TCIF_PARAM;
    SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_GETITEMA, index, (LPARAM)&item);
    ShowPage(window, (HWND)item.lParam);
}

void ShowEntryPage()
{
    HWND window = GetParent(Window.entryPage);
    SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_SETCURSEL, kEntryTab, 0);
    OnTabChanged(window);
}

// Selects the tab step places to the right (left when negative), wrapping around at
// either end, and shows its page with the focus on its first Tab stop.
static void StepTab(HWND window, int step)
{
    int count = (int)SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_GETITEMCOUNT, 0, 0);
    if (count <= 0)
        return;
    int index = (int)SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_GETCURSEL, 0, 0);
    index = ((index + step) % count + count) % count;
    SendDlgItemMessageA(window, IDC_MAIN_TABS, TCM_SETCURSEL, index, 0);
    OnTabChanged(window);
}

static HHOOK TabKeysHook;   // the message filter below, while the main window lives
static HWND TabKeysWindow;  // the main window it works for

// Ctrl+Tab and Ctrl+Page Down select the next tab, Ctrl+Shift+Tab and Ctrl+Page Up the
// previous one, as in every tabbed dialog. The keys must be caught before the dialog
// manager sees them, which takes Ctrl+Tab for a plain Tab and hands Page Up and Down to
// the focused control: it passes every message of the dialog's loop to the message-filter
// hooks first (MSGF_DIALOGBOX). Keys of a message box or the folder picker, top-level
// windows of their own, are left alone.
static LRESULT CALLBACK TabKeysFilter(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = (const MSG*)lParam;
    if (code == MSGF_DIALOGBOX && msg != NULL && msg->message == WM_KEYDOWN && TabKeysWindow != NULL &&
        (msg->hwnd == TabKeysWindow || IsChild(TabKeysWindow, msg->hwnd)) &&
        (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000)) {
        int step = 0;
        if (msg->wParam == VK_TAB)
            step = (GetKeyState(VK_SHIFT) & 0x8000) ? -1 : 1;
        else if (msg->wParam == VK_NEXT)
            step = 1;
        else if (msg->wParam == VK_PRIOR)
            step = -1;
        if (step != 0) {
            StepTab(TabKeysWindow, step);
            return 1; // handled: the dialog manager does not see it
        }
    }
    return CallNextHookEx(TabKeysHook, code, wParam, lParam);
}

static void CatchTabKeys(HWND window)
{
    TabKeysWindow = window;
    TabKeysHook = SetWindowsHookExA(WH_MSGFILTER, TabKeysFilter, NULL, GetCurrentThreadId());
}

static void StopCatchingTabKeys()
{
    if (TabKeysHook != NULL)
        UnhookWindowsHookEx(TabKeysHook);
    TabKeysHook = NULL;
    TabKeysWindow = NULL;
}

// Before a database save: a file in the folder that this run did not read whole or write,
// or that changed since (another program, another copy of this one), is replaced only when
// the user says so. Non-zero when the save may go ahead.
static int MayReplaceDatabase(HWND window)
{
    return !DatabaseChangedOnDisk() ||
           AskYesNoDefaultNo(window, "The database file in this folder was not loaded or has changed since. Overwrite it?");
}

static const char kNotBesideProgram[] = "The settings could not be saved beside Kestal.exe";

// After both files were saved into the database folder: when that is not the program
// folder, the settings go beside the executable too, where the next start looks for them.
// A failure there does not undo the save; the status line says it. Returns 0 then.
static int CopySettingsBesideProgram()
{
    if (SaveSettingsBesideProgram() >= 0)
        return 1;
    SetStatus(kNotBesideProgram);
    return 0;
}

// Saves both files for a close: the records, then the settings with their count, then the
// copy of the settings beside the program. With boxes (a close the user asked for) a
// database file changed since it was read is replaced only when the user says so, and the
// outcome is shown in a box. Without them (the end of the Windows session, when nobody may
// be there to answer) such a file is left alone and nothing is asked: the records stay
// unsaved in memory. Returns 1 when both files were saved.
static int SaveForClose(HWND window, int boxes)
{
    if (boxes ? !MayReplaceDatabase(window) : DatabaseChangedOnDisk())
        return 0;
    int result = SaveDatabase();
    const char* failure = NULL;
    if (result != 0)
        failure = WriteErrorText(result);
    else if (SaveSettings() != 0)
        failure = kSettingsNotSaved;
    if (failure != NULL) {
        if (boxes)
            ShowMessage(window, failure);
        SetStatus(failure);
        return 0;
    }
    if (boxes)
        ShowMessage(window, kSettingsSaved);
    SetStatus(kSettingsSaved);
    // The window closes next, and the status line with it: the next start would open the
    // old folder without a word, so the user is told in a box as well.
    if (!CopySettingsBesideProgram() && boxes)
        ShowMessage(window, kNotBesideProgram);
    ModifiedFlag = 0;
    RecordsAreInTheFolderInUse();
    ReviewShutdownBlock();
    return 1;
}

// Saves both files when there are unsaved changes, then closes. A save that fails, or
// that the user declines, keeps the window open and the changes marked unsaved, so
// nothing is lost by closing.
static void CloseSaving(HWND window)
{
    if (RecordsUnsaved() && !SaveForClose(window, 1))
        return;
    EndDialog(window, 0);
}

// Before any close: an entry typed on the entry page and never added would be gone with
// the window. Non-zero when the close may go on (nothing typed, or the user says so).
static int MayDropTypedEntry(HWND window)
{
    return !EntryTyped() ||
           AskYesNoDefaultNo(window, "The entry typed on the entry page was not added. Close without adding it?");
}

// "Quit", File > Exit, IDOK and Enter in a text field: save and close.
static void OnSaveAndClose(HWND window)
{
    if (MayDropTypedEntry(window))
        CloseSaving(window);
}

// The close box, Escape and WM_CLOSE: unsaved changes are saved, dropped or kept open as
// the user answers; without any, the window just closes.
static void OnClose(HWND window)
{
    if (!MayDropTypedEntry(window))
        return;
    if (!RecordsUnsaved()) {
        EndDialog(window, 0);
        return;
    }
    switch (AskYesNoCancel(window, "Save the changes to the records before closing?")) {
    case IDYES:
        CloseSaving(window);
        break;
    case IDNO:
        EndDialog(window, 0);
        break;
    }
}

// The end of the Windows session. The system is told why the program holds the session
// up with ShutdownBlockReasonCreate, which older Windows lacks: the two calls are looked
// up at run time.
typedef BOOL(WINAPI* BlockReasonCreateProc)(HWND, LPCWSTR);
typedef BOOL(WINAPI* BlockReasonDestroyProc)(HWND);
static const WCHAR* BlockedFor; // the reason given to the system, NULL when none

static const WCHAR kUnsavedReason[] = L"Password Kestal has unsaved records";
static const WCHAR kTypedReason[] = L"Password Kestal has an entry typed and not added";

const WCHAR* ShutdownBlockReason()
{
    return BlockedFor;
}

// Gives the system reason as the program's reason to hold the session up, or takes the
// reason back when it is NULL.
static void BlockShutdown(HWND window, const WCHAR* reason)
{
    if (reason == BlockedFor)
        return;
    HMODULE user = GetModuleHandleA("user32.dll");
    if (reason != NULL) {
        BlockReasonCreateProc create =
            user != NULL ? (BlockReasonCreateProc)(void*)GetProcAddress(user, "ShutdownBlockReasonCreate") : NULL;
        if (create != NULL)
            create(window, reason);
    } else {
        BlockReasonDestroyProc destroy =
            user != NULL ? (BlockReasonDestroyProc)(void*)GetProcAddress(user, "ShutdownBlockReasonDestroy") : NULL;
        if (destroy != NULL)
            destroy(window);
    }
    BlockedFor = reason;
}

// What would be lost if the session ended now, as the reason the system shows; NULL when
// nothing would be.
static const WCHAR* WhatWouldBeLost()
{
    if (RecordsUnsaved() && !RecordsOnDisk)
        return kUnsavedReason;
    if (EntryTyped())
        return kTypedReason;
    return NULL;
}

void ReviewShutdownBlock()
{
    if (BlockedFor != NULL && Window.entryPage != NULL)
        BlockShutdown(GetParent(Window.entryPage), WhatWouldBeLost());
}

// WM_QUERYENDSESSION: unsaved records are saved as File > Exit saves them, with no box, since
// nobody may be there to answer one. The session may end (TRUE) only when nothing would be
// lost: not when the save failed or needed the overwrite question, and not while an entry
// typed on the entry page was never added (the records are saved all the same).
static void OnQueryEndSession(HWND window)
{
    if (RecordsUnsaved())
        SaveForClose(window, 0);
    const WCHAR* lost = WhatWouldBeLost();
    BlockShutdown(window, lost);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, lost == NULL);
}

// WM_ENDSESSION: when the session really ends, the program ends with it, saving and asking
// nothing more; a password it copied leaves the clipboard first, since the process may be
// ended before its windows are destroyed.
static void OnEndSession(HWND window, WPARAM ending)
{
    if (!ending)
        return;
    ClearCopiedPassword();
    BlockShutdown(window, NULL);
    EndDialog(window, 0);
}

// Writes the database and, only when that worked, the settings with the new count.
static void OnSaveDatabase(HWND window)
{
    if (!MayReplaceDatabase(window))
        return;
    int result = SaveDatabase();
    if (result != 0) {
        ShowMessage(window, WriteErrorText(result));
    } else if (SaveSettings() != 0) {
        ShowMessage(window, kSettingsNotSaved);
    } else {
        ShowMessage(window, "Database saved");
        CopySettingsBesideProgram();
        RecordsAreInTheFolderInUse();
        RecordsOnDisk = 1;
        ReviewShutdownBlock();
    }
}

// Reads every record the database file of the folder in use holds. Records not yet saved
// would be replaced, so the user is asked first; a folder just chosen with Browse is not
// asked about, since loading its records is what choosing it is for. After a load the page
// and the list show what was read: Delete acts on the record shown, and that must be the
// record in memory. What was read is what the file holds, so nothing is left unsaved.
static void OnLoadDatabase(HWND window)
{
    if (ModifiedFlag &&
        !AskYesNoDefaultNo(window, "Loading the database replaces the records not yet saved. Load it?"))
        return;
    int result = LoadDatabase();
    if (result == 0) {
        FillListKeepingCurrent();
        ShowCurrentRecord(Window.entryPage);
        ModifiedFlag = 0;
        RecordsAreInTheFolderInUse();
        // What the status line said of the records loaded before no longer holds.
        SetStatus(DatabaseHoldsMore ? kMoreThanTheTable : "");
        ReviewShutdownBlock();
        ShowMessage(window, "Database loaded into memory");
    } else if (result > 3) {
        ShowMessage(window, kLoadError);
    }
}

// Takes the database folder and the password from the settings file of the folder in use.
// The records in memory and their count stay as they are: the count of a settings file
// only reports the records of its database file, which are not the ones in memory.
static void OnLoadSettings()
{
    uint32_t count = SettingsBlock.count;
    int result = LoadSettings();
    SettingsBlock.count = count;
    if (result == 0) {
        ShowDatabaseFolder(Window.configPage);
        // A folder named this way counts as one chosen with Browse: the records are not
        // there yet, and Exit saves them into it.
        NoteFolderChosen();
    }
}

// Saves the settings on their own, with the count of the records on disk (see
// SaveSettingsKeepingFileCount).
static void OnSaveSettings(HWND window)
{
    if (SaveSettingsKeepingFileCount() != 0)
        ShowMessage(window, kSettingsNotSaved);
}

static void OnAbout(HWND window)
{
    ShowMessage(window, "Password Kestal\nVersion " KESTAL_VERSION_TEXT "\n\nA small password manager.");
}

// The page that control sits on, or NULL when it is not a control of a page.
static HWND PageOf(HWND control)
{
    HWND parent = control != NULL ? GetParent(control) : NULL;
    if (parent != NULL && (parent == Window.configPage || parent == Window.entryPage || parent == Window.listPage))
        return parent;
    return NULL;
}

static void OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    WORD id = LOWORD(wParam);
    WORD code = HIWORD(wParam);
    // Enter on a focused push button of a page sends its command here, to the top-level
    // dialog, not to the page: hand it to the page, so that the key does what a click does.
    HWND page = PageOf((HWND)lParam);
    if (page != NULL) {
        SendMessageA(page, WM_COMMAND, wParam, lParam);
        return;
    }
    if (wParam == IDC_MAIN_QUIT) {
        // Enter in the list arrives as the dialog manager's press of the default button,
        // "Quit": there it opens the row instead.
        if (GetFocus() == ListView)
            OpenSelectedRow();
        else
            OnSaveAndClose(window);
        return;
    }
    switch (id) {
    case IDCANCEL:
        if (code == 0)
            OnClose(window);
        break;
    case IDOK:
        if (code == 0)
            OnSaveAndClose(window);
        break;
    case IDM_FILE_EXIT:
        OnSaveAndClose(window);
        break;
    case IDC_CMD_ABOUT:
        if (code == 0)
            OnAbout(window);
        break;
    case IDM_HELP_ABOUT:
        OnAbout(window);
        break;
    case IDC_CMD_SAVE_DATABASE:
    case IDM_FILE_SAVE_DATABASE:
        OnSaveDatabase(window);
        break;
    case IDC_CMD_LOAD_DATABASE:
    case IDM_FILE_LOAD_DATABASE:
        OnLoadDatabase(window);
        break;
    case IDC_CMD_LOAD_SETTINGS:
    case IDM_FILE_LOAD_SETTINGS:
        OnLoadSettings();
        break;
    case IDC_CMD_SAVE_SETTINGS:
    case IDM_FILE_SAVE_SETTINGS:
        OnSaveSettings(window);
        break;
    }
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        break;
    case WM_NOTIFY:
        if (((NMHDR*)lParam)->code == (UINT)TCN_SELCHANGE)
            OnTabChanged(window);
        break;
    case WM_COMMAND:
        OnCommand(window, wParam, lParam);
        break;
    case WM_CLOSE:
        // Answered here: left to the dialog manager it would come back as IDCANCEL.
        OnClose(window);
        return TRUE;
    case WM_QUERYENDSESSION:
        OnQueryEndSession(window);
        return TRUE; // the answer is in DWLP_MSGRESULT
    case WM_ENDSESSION:
        OnEndSession(window, wParam);
        break;
    case WM_DESTROY:
        StopCatchingTabKeys();
        BlockShutdown(window, NULL);
        break;
    }
    // The dialog manager does the rest, WM_INITDIALOG's focus included.
    return FALSE;
}
