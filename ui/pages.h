// The dialog procedures of the three pages that the main window shows in its tabs.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ConfigPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EntryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Loads a library of the system from the system folder only, never a copy someone put
// beside the program.
HMODULE LoadSystemLibrary(const char* name);

// The first BrowseForFolder loads the shell and starts COM on the calling thread.
// EndFolderPicker ends COM on this thread when a "Browse" started it, and does nothing
// otherwise. Called once the main window is gone.
void EndFolderPicker();

// Opens the shell's folder picker with caption in its title bar, instruction above the
// tree, and startFolder selected (none when NULL or empty). Writes the chosen folder (up to
// MAX_PATH bytes) into destination and returns 1, or returns 0 (cancelled) or -1 (the
// picker's libraries could not be loaded) and leaves destination alone.
int BrowseForFolder(HWND owner, char* destination, const char* caption, const char* instruction,
                    const char* startFolder);

// Shows the database folder in use, the settings block's, in the configuration page's
// "Database Path" field.
void ShowDatabaseFolder(HWND configPage);

// Opens the list's selected row (the focused one when none is selected) on the entry page.
void OpenSelectedRow();

// The entry page remembers what the program last put into its five fields (a record shown,
// an Add, a Delete, start-up, a load); called each time the program fills them.
void RememberShownEntry(HWND page);
// 1 when the entry page's fields hold text typed or pasted since the program last filled
// them, other than what it put there and not all empty: an entry that was never added.
int EntryTyped();
