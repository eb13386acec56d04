// How the windows talk to the user: message boxes and the main window's status line.
#pragma once

#include <windows.h>

// An OK-only box titled "Password Kestal", owned by owner, with no icon.
void ShowMessage(HWND owner, const char* text);
// A Yes/No box titled "Password Kestal"; non-zero when the answer is Yes.
int AskYesNo(HWND owner, const char* text);
// The same with No as the default button, for questions where Yes risks records.
int AskYesNoDefaultNo(HWND owner, const char* text);
// A Yes/No/Cancel box with Yes as the default; returns IDYES, IDNO or IDCANCEL.
int AskYesNoCancel(HWND owner, const char* text);
// Writes text into the first part of the status line.
void SetStatus(const char* text);
