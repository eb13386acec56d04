// The honest floor for start-up: the main window's template run as a modal dialog that
// creates the three pages from their templates, as the program does, and shows the first,
// with procedures that do nothing else: no files, no list columns, no tabs.
#include <windows.h>
#include <commctrl.h>

#include "ids.h"

static INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

static INT_PTR CALLBACK BareProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        HINSTANCE module = GetModuleHandleA(NULL);
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_LIST), window, PageProc, 0);
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_ENTRY), window, PageProc, 0);
        HWND first = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_CONFIG), window, PageProc, 0);
        SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    } else if (message == WM_CLOSE) {
        EndDialog(window, 0);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL, BareProc, 0);
    ExitProcess((UINT)result);
}
