// The pages' text fields: created scrolling, limited to what the record keeps, and read
// back only when the ANSI code page can hold every character.
#pragma once

#include <windows.h>

// Creates a child page from dialog template templateId, like CreateDialogParamA, with
// ES_AUTOHSCROLL added to the edit controls listed in fields (ended by 0), so that they take
// more text than fits their width. An edit control reads that style only when it is
// created: the style goes into a copy of the template, and the template linked into the
// program stays as it is.
HWND CreatePageWithScrollingFields(HINSTANCE module, int templateId, HWND parent, DLGPROC procedure,
                                   const int* fields);

// Limits field id of page to limit characters.
void LimitField(HWND page, int id, int limit);

// Makes field id of page read-only and takes it out of the Tab order: it shows a value the
// user cannot change there.
void MakeDisplayOnly(HWND page, int id);
// Puts control id of page into the Tab order.
void AddTabStop(HWND page, int id);

// The status text when typing or a paste goes past a field's limit (EN_MAXTEXT).
extern const char kFieldFull[];

// Reads field id of page as text of the ANSI code page into destination (size bytes), at
// most size - 2 characters as before. Returns 1, with destination empty, when a character
// has no byte of its own there: it is never stored as '?' or as a look-alike.
int ReadAnsiField(HWND page, int id, char* destination, int size);
