// Password Kestal: the entry point. The main window is the program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "ids.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Window.module = GetModuleHandleA(NULL);
    // The shell's folder picker ("Browse") needs COM, apartment-threaded, on the thread that
    // opens it; Wine forgives its absence, Windows does not promise to.
    HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    InitCommonControls();
    INT_PTR result = DialogBoxParamA(Window.module, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    if (SUCCEEDED(com))
        CoUninitialize();
    ExitProcess((UINT)result);
}
