// The floor for start-up: the main window's template run as a modal dialog by a procedure
// that does nothing, so no pages, no files, no list.
#include <windows.h>
#include <commctrl.h>

#include "ids.h"

static INT_PTR CALLBACK BareProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        EndDialog(window, 0);
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL, BareProc, 0);
    ExitProcess((UINT)result);
}
