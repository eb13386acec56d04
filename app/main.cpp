// Password Kestal: the entry point. The main window is the program.
#include <windows.h>
#include <commctrl.h>

#include "ids.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Window.module = GetModuleHandleA(NULL);
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(Window.module, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    ExitProcess((UINT)result);
}
