// The dialog procedures of the three pages that the main window shows in its tabs.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ConfigPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EntryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The first BrowseForFolder loads the shell and starts COM on the calling thread.
// EndFolderPicker ends COM on this thread when a "Browse" started it, and does nothing
// otherwise. Called once the main window is gone.
void EndFolderPicker();

// Opens the shell's folder picker with caption in its title bar and instruction above the
// tree. Writes the chosen folder (up to MAX_PATH bytes) into destination and returns 1, or
// returns 0 and leaves destination alone.
int BrowseForFolder(HWND owner, char* destination, const char* caption, const char* instruction);

// Opens the list's selected row (the focused one when none is selected) on the entry page.
void OpenSelectedRow();
