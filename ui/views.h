// Record views: the current record on the entry page, and every record as a row of the
// list page's list view.
#pragma once

#include <windows.h>

extern HWND ListView; // control 4001 of the list page, from SetUpList on

// Shows the count, the current index and the current record's five fields on page.
void ShowCurrentRecord(HWND page);
// One-time set-up of the list view: four columns, flat header, grid lines, colours.
void SetUpList(HWND listPage);
// Adds a row for the working record at row position current.
void InsertListRow();
// Rebuilds the whole list from the store; afterwards the last record is current.
void FillList();
// Rebuilds the whole list and keeps the current record (record 0 when current no longer
// names a record in use), so that the page goes on showing what Delete acts on.
void FillListKeepingCurrent();
