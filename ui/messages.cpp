#include "messages.h"

#include <commctrl.h>

#include "main_window.h"

static const char kTitle[] = "Password Kestal";

void ShowMessage(HWND owner, const char* text)
{
    MessageBoxA(owner, text, kTitle, MB_OK);
}

int AskYesNo(HWND owner, const char* text)
{
    return MessageBoxA(owner, text, kTitle, MB_YESNO) == IDYES;
}

int AskYesNoDefaultNo(HWND owner, const char* text)
{
    return MessageBoxA(owner, text, kTitle, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

int AskYesNoCancel(HWND owner, const char* text)
{
    return MessageBoxA(owner, text, kTitle, MB_YESNOCANCEL);
}

void SetStatus(const char* text)
{
    SendMessageA(Window.statusLine, SB_SETTEXTA, 0, (LPARAM)text);
}
