// Password Kestal: the entry point. The main window is the program.
#include <windows.h>
#include <commctrl.h>

#include "ids.h"
#include "main_window.h"
#include "pages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Window.module = GetModuleHandleA(NULL);
    // COM, which only the folder picker needs, is started by the first "Browse", not here:
    // loading it and the shell costs more than all the rest of start-up.
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(Window.module, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    EndFolderPicker();
    ExitProcess((UINT)result);
}
