#include "clipboard.h"

#include <string.h>

#include "messages.h"

static WNDPROC EditProc;         // the password field's own procedure
static HWND GuardedField;        // the password field, while it lives
static int PasswordOnClipboard;  // 1 from a copy until it is cleared or found replaced
static DWORD CopiedSequence;     // the clipboard's sequence number right after that copy

enum {
    kClearTimer = 0x4B43, // the field's timer that takes the password off the clipboard
    kRetryMs = 500,       // another program had the clipboard open: try again this much later
    kFieldLength = 130    // a field holds at most 126 characters
};

// Puts size bytes of data on the open clipboard in format. 0 when it could not.
static int Put(UINT format, const void* data, SIZE_T size)
{
    // API oddity: the clipboard takes data only as a movable global memory object, which
    // belongs to the system once handed over. The one allocation the program makes.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == NULL)
        return 0;
    void* target = GlobalLock(memory);
    if (target == NULL) {
        GlobalFree(memory);
        return 0;
    }
    memcpy(target, data, size);
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory) == NULL) {
        GlobalFree(memory);
        return 0;
    }
    return 1;
}

// Puts the field's selection on the clipboard as text in both character sets, with the
// formats that keep Windows from copying it into the clipboard history and the cloud
// clipboard, and starts the timer that takes it off again. 1 when it is there.
static int CopySelection(HWND field)
{
    WCHAR text[kFieldLength];
    DWORD length = (DWORD)GetWindowTextW(field, text, kFieldLength);
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    if (end > length)
        end = length;
    if (start >= end)
        return 0; // nothing selected: the clipboard stays as it is, as for any edit field
    WCHAR selected[kFieldLength];
    DWORD count = end - start;
    memcpy(selected, text + start, count * sizeof(WCHAR));
    selected[count] = 0;
    char ansi[2 * kFieldLength]; // two bytes a character at most, in a double-byte code page
    int ansiSize = WideCharToMultiByte(CP_ACP, 0, selected, (int)count + 1, ansi, sizeof(ansi), NULL, NULL);

    if (!OpenClipboard(field)) {
        SetStatus("The password was not copied: another program has the clipboard open");
        return 0;
    }
    EmptyClipboard();
    // Any data in the first format keeps clipboard monitors away; the two others say no
    // with a DWORD 0.
    const DWORD no = 0;
    int put = Put(CF_UNICODETEXT, selected, (count + 1) * sizeof(WCHAR)) && ansiSize > 0 &&
              Put(CF_TEXT, ansi, (SIZE_T)ansiSize) &&
              Put(RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"), &no, sizeof(no)) &&
              Put(RegisterClipboardFormatA("CanIncludeInClipboardHistory"), &no, sizeof(no)) &&
              Put(RegisterClipboardFormatA("CanUploadToCloudClipboard"), &no, sizeof(no));
    if (!put)
        EmptyClipboard(); // never a password without the marks that keep it out of the history
    CloseClipboard();
    SecureZeroMemory(selected, sizeof(selected));
    SecureZeroMemory(ansi, sizeof(ansi));
    SecureZeroMemory(text, sizeof(text));
    if (!put) {
        SetStatus("The password was not copied: the clipboard did not take it");
        return 0;
    }
    PasswordOnClipboard = 1;
    CopiedSequence = GetClipboardSequenceNumber();
    SetTimer(field, kClearTimer, kPasswordClipboardMs, NULL);
    SetStatus("Password copied: the clipboard is cleared in 12 seconds");
    return 1;
}

// Empties the clipboard when it still holds the password copied last; whatever was copied
// since (the sequence number moved on) stays. 0 when the clipboard could not be opened.
static int TryClear()
{
    if (!PasswordOnClipboard)
        return 1;
    if (GetClipboardSequenceNumber() != CopiedSequence) {
        PasswordOnClipboard = 0;
        return 1;
    }
    if (!OpenClipboard(GuardedField))
        return 0;
    EmptyClipboard();
    CloseClipboard();
    PasswordOnClipboard = 0;
    return 1;
}

void ClearCopiedPassword()
{
    if (GuardedField != NULL)
        KillTimer(GuardedField, kClearTimer);
    // The window is going: a few short tries while another program has the clipboard open.
    for (int tries = 0; tries < 10 && !TryClear(); ++tries)
        Sleep(20);
}

static LRESULT CALLBACK PasswordFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COPY:
        CopySelection(field);
        return 0;
    case WM_CUT:
        if (CopySelection(field) && !(GetWindowLongA(field, GWL_STYLE) & ES_READONLY))
            SendMessageW(field, WM_CLEAR, 0, 0);
        return 0;
    case WM_KEYDOWN: {
        // The edit control copies on Ctrl+Insert and cuts on Shift+Delete itself, without
        // WM_COPY or WM_CUT; those keys take the same guarded way. Shift+Insert pastes.
        int ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
        if (wParam == VK_INSERT && ctrl && !shift) {
            CopySelection(field);
            return 0;
        }
        if (wParam == VK_DELETE && shift && !ctrl) {
            if (CopySelection(field) && !(GetWindowLongA(field, GWL_STYLE) & ES_READONLY))
                SendMessageW(field, WM_CLEAR, 0, 0);
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wParam != kClearTimer)
            break;
        if (TryClear())
            KillTimer(field, kClearTimer);
        else
            SetTimer(field, kClearTimer, kRetryMs, NULL);
        return 0;
    case WM_DESTROY:
        ClearCopiedPassword();
        GuardedField = NULL;
        SetWindowLongPtrW(field, GWLP_WNDPROC, (LONG_PTR)EditProc);
        break;
    }
    return CallWindowProcW(EditProc, field, message, wParam, lParam);
}

void GuardPasswordCopies(HWND field)
{
    GuardedField = field;
    PasswordOnClipboard = 0;
    EditProc = (WNDPROC)SetWindowLongPtrW(field, GWLP_WNDPROC, (LONG_PTR)PasswordFieldProc);
}
