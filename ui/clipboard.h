// A password copied from the entry page leaves the clipboard again.
#pragma once

#include <windows.h>

// How long a copied password stays on the clipboard.
enum { kPasswordClipboardMs = 12000 };

// Takes over copy and cut in field (every way of copying reaches an edit control as WM_COPY
// or WM_CUT): the selection goes on the clipboard marked to stay out of the clipboard history
// and the cloud clipboard, and is taken off it again kPasswordClipboardMs later, or when the
// field is destroyed with its window, unless something else was copied since.
void GuardPasswordCopies(HWND field);

// Takes the copied password off the clipboard now, if it is still there: for the end of the
// Windows session, after which the process may not see its windows destroyed.
void ClearCopiedPassword();
