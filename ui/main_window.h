// The main window: three pages in a tab control, the status line, and the commands that
// load, save and close.
#pragma once

#include <windows.h>

struct WindowState {
    HINSTANCE module; // creates every dialog
    HWND configPage;  // template 102, shown at start-up
    HWND entryPage;   // template 103
    HWND listPage;    // template 104
    HWND statusLine;  // control 1102
};

extern WindowState Window;

// The main window's dialog procedure (template 101). The page shown is kept in the
// window's user data.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Selects the entry page's tab and shows that page, as a click on the tab does.
void ShowEntryPage();

// 1 when closing now would lose changes to the records not yet saved.
int RecordsUnsaved();

// The reason the program gave the system for holding up the end of the Windows session,
// or NULL when it holds nothing up.
const WCHAR* ShutdownBlockReason();
// After a change that may end what held the session up (a save, an entry added or shown):
// takes the reason back, or names the one that remains.
void ReviewShutdownBlock();
