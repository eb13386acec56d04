// The main window: three pages in a tab control, the status line, and the commands that
// load, save and close.
#pragma once

#include <windows.h>

#include "record_store.h"

struct WindowState {
    HINSTANCE module; // creates every dialog
    HWND configPage;  // template 102, shown at start-up
    HWND entryPage;   // template 103
    HWND listPage;    // template 104
    HWND statusLine;  // control 1102
    char recordsFolder[kFolderSize]; // where the records in memory were last read from or saved to
    int folderChosen; // 1 while a folder chosen with Browse has not received the records
};

extern WindowState Window;

// The main window's dialog procedure (template 101). The page shown is kept in the
// window's user data.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when closing now would lose something: records added or deleted and not yet saved, or
// a folder chosen with Browse that the records have not been saved into (the choice would
// be forgotten, and the next start would open the old folder).
int RecordsUnsaved();

// Notes the folder now in the settings block as chosen with Browse: a change not yet saved
// unless the records in memory were read from or saved to that folder.
void NoteFolderChosen();

// Notes records added or deleted: unsaved until the next save.
void NoteRecordsChanged();

// Selects the entry page's tab and shows that page, as a click on the tab does.
void ShowEntryPage();


// The reason the program gave the system for holding up the end of the Windows session,
// or NULL when it holds nothing up.
const WCHAR* ShutdownBlockReason();
// After a change that may end what held the session up (a save, an entry added or shown):
// takes the reason back, or names the one that remains.
void ReviewShutdownBlock();
