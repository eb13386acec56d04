#include "fields.h"

#include <string.h>

const char kFieldFull[] = "This field holds no more characters";

// The copy of a template being patched. Each page's template is a little over 1 KiB.
static BYTE TemplateCopy[8192];

// Walking an extended dialog template (DLGTEMPLATEEX, then one DLGITEMTEMPLATEEX per
// control, each on a 4-byte boundary). Every step checks the end of the copy; a template
// that does not parse is used as it is.
struct TemplateWalk {
    size_t at;   // offset of the next field
    size_t size; // bytes of the template
    bool ok;
};

static void Skip(TemplateWalk* w, size_t bytes)
{
    if (w->at + bytes > w->size)
        w->ok = false;
    else
        w->at += bytes;
}

static WORD WordAt(const TemplateWalk* w)
{
    WORD value = 0;
    if (w->ok && w->at + 2 <= w->size)
        memcpy(&value, TemplateCopy + w->at, 2);
    return value;
}

static void SkipString(TemplateWalk* w)
{
    while (w->ok && WordAt(w) != 0)
        Skip(w, 2);
    Skip(w, 2);
}

// A text that may be an ordinal: 0 for none, 0xFFFF and a number, or a terminated string.
static void SkipStringOrOrdinal(TemplateWalk* w)
{
    WORD first = WordAt(w);
    if (first == 0xFFFF) {
        Skip(w, 4);
        return;
    }
    SkipString(w);
}

static void AlignToDword(TemplateWalk* w)
{
    Skip(w, (4 - w->at % 4) % 4);
}

static bool Listed(const int* fields, DWORD id)
{
    for (; *fields != 0; ++fields) {
        if ((DWORD)*fields == id)
            return true;
    }
    return false;
}

// Adds ES_AUTOHSCROLL to the listed controls of the template in TemplateCopy.
static bool AddScrolling(size_t size, const int* fields)
{
    TemplateWalk w = {0, size, true};
    WORD version = WordAt(&w);
    Skip(&w, 2);
    if (version != 1 || WordAt(&w) != 0xFFFF)
        return false; // not an extended template
    Skip(&w, 2 + 4 + 4);
    DWORD style = 0;
    if (w.ok && w.at + 4 <= size)
        memcpy(&style, TemplateCopy + w.at, 4);
    Skip(&w, 4);
    WORD items = WordAt(&w);
    Skip(&w, 2 + 4 * 2);
    SkipStringOrOrdinal(&w); // menu
    SkipStringOrOrdinal(&w); // class
    SkipString(&w);          // caption
    if (style & DS_SETFONT) {
        Skip(&w, 2 + 2 + 1 + 1);
        SkipString(&w); // typeface
    }
    for (WORD i = 0; i < items && w.ok; ++i) {
        AlignToDword(&w);
        size_t styleAt = w.at + 8; // after the help id and the extended style
        Skip(&w, 4 + 4 + 4 + 4 * 2);
        DWORD id = 0;
        if (w.ok && w.at + 4 <= size)
            memcpy(&id, TemplateCopy + w.at, 4);
        Skip(&w, 4);
        if (w.ok && Listed(fields, id)) {
            DWORD controlStyle;
            memcpy(&controlStyle, TemplateCopy + styleAt, 4);
            controlStyle |= ES_AUTOHSCROLL;
            memcpy(TemplateCopy + styleAt, &controlStyle, 4);
        }
        SkipStringOrOrdinal(&w); // class
        SkipStringOrOrdinal(&w); // text
        WORD extra = WordAt(&w);
        Skip(&w, 2 + extra);
    }
    return w.ok;
}

HWND CreatePageWithScrollingFields(HINSTANCE module, int templateId, HWND parent, DLGPROC procedure,
                                   const int* fields)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(templateId), (LPCSTR)RT_DIALOG);
    HGLOBAL loaded = found != NULL ? LoadResource(module, found) : NULL;
    const void* bytes = loaded != NULL ? LockResource(loaded) : NULL;
    DWORD size = found != NULL ? SizeofResource(module, found) : 0;
    if (bytes != NULL && size <= sizeof(TemplateCopy)) {
        memcpy(TemplateCopy, bytes, size);
        if (AddScrolling(size, fields))
            return CreateDialogIndirectParamA(module, (const DLGTEMPLATE*)TemplateCopy, parent, procedure, 0);
    }
    return CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), parent, procedure, 0);
}

void LimitField(HWND page, int id, int limit)
{
    SendDlgItemMessageA(page, id, EM_SETLIMITTEXT, (WPARAM)limit, 0);
}

static void SetTabStop(HWND control, bool on)
{
    LONG style = GetWindowLongA(control, GWL_STYLE);
    SetWindowLongA(control, GWL_STYLE, on ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
}

void MakeDisplayOnly(HWND page, int id)
{
    SendDlgItemMessageA(page, id, EM_SETREADONLY, TRUE, 0);
    SetTabStop(GetDlgItem(page, id), false);
}

void AddTabStop(HWND page, int id)
{
    SetTabStop(GetDlgItem(page, id), true);
}

int ReadAnsiField(HWND page, int id, char* destination, int size)
{
    WCHAR wide[256];
    int limit = size - 1 < (int)(sizeof(wide) / sizeof(wide[0])) ? size - 1 : (int)(sizeof(wide) / sizeof(wide[0]));
    GetDlgItemTextW(page, id, wide, limit);
    // Under a UTF-8 code page every character has bytes, and the used-default flag must
    // not be asked for.
    bool utf8 = GetACP() == CP_UTF8;
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, destination, size,
                                      NULL, utf8 ? NULL : &usedDefault);
    if (written == 0 || usedDefault) {
        destination[0] = 0;
        return 1;
    }
    return 0;
}
