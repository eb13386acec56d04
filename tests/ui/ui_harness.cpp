#include "ui_harness.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <gtest/gtest.h>

#include "files.h"
#include "main_window.h"
#include "pages.h"
#include "views.h"

BoxAnswerer* BoxAnswerer::current;

static HWND FindChildOfClass(HWND parent, const char* wanted)
{
    char className[32];
    for (HWND child = GetWindow(parent, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetClassNameA(child, className, sizeof(className)) && lstrcmpiA(className, wanted) == 0)
            return child;
    }
    return NULL;
}

std::string LeafName(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

enum { kPickTimer = 0x4B45, kAnswerTimer = 0x4B46 };

// The name of the item selected in the picker's folder tree ("" when none is).
static std::string SelectedName(HWND picker)
{
    HWND tree = FindChildOfClass(picker, "SysTreeView32");
    char name[MAX_PATH] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    item.pszText = name;
    item.cchTextMax = sizeof(name);
    if (item.hItem != NULL)
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item);
    return name;
}

// Selects, below the item selected now, the folder of path whose name is the selected
// item's, then the folders below it one name at a time, as a user opens them in the tree.
// Returns true when the whole path is selected.
static bool OpenDownByNames(HWND picker, const std::string& path)
{
    HWND tree = FindChildOfClass(picker, "SysTreeView32");
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    std::string selected = SelectedName(picker);
    std::vector<std::string> parts;
    std::string rest = path;
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    while (!rest.empty() && lstrcmpiA(LeafName(rest).c_str(), selected.c_str()) != 0) {
        parts.insert(parts.begin(), LeafName(rest));
        size_t slash = rest.find_last_of('\\');
        rest = slash == std::string::npos ? "" : rest.substr(0, slash);
    }
    if (rest.empty() || item == NULL)
        return false;
    for (const std::string& part : parts) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
        HTREEITEM child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item);
        for (; child != NULL; child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child)) {
            char name[MAX_PATH] = "";
            TVITEMA data = {};
            data.mask = TVIF_TEXT;
            data.hItem = child;
            data.pszText = name;
            data.cchTextMax = sizeof(name);
            SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
            if (lstrcmpiA(name, part.c_str()) == 0)
                break;
        }
        if (child == NULL)
            return false;
        item = child;
    }
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    return true;
}

// Points the picker at the folder and confirms. Under Wine a selection sent to a picker
// whose tree was already opened (by the program's own selection of its starting folder,
// or by an earlier try) is sometimes not found, although the folder's item is in the tree:
// Wine matches the tree's items by the whole item identifier, file times included. Then
// the nearest folder above it that the selection finds is selected, and the rest of the
// way is opened by the names the tree shows, as a user clicks through it.
static void CALLBACK PickTick(HWND picker, UINT, UINT_PTR, DWORD)
{
    BoxAnswerer* self = BoxAnswerer::current;
    const std::string& target = self->pickTarget_;
    SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, (LPARAM)target.c_str());
    bool selected = LeafName(target) == SelectedName(picker);
    for (std::string above = target; !selected && self->pickTries_ >= 3 && !above.empty();) {
        while (!above.empty() && above.back() == '\\')
            above.pop_back();
        size_t slash = above.find_last_of('\\');
        above = slash == std::string::npos ? "" : above.substr(0, slash);
        SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, (LPARAM)above.c_str());
        if (!above.empty() && LeafName(above) == SelectedName(picker))
            selected = OpenDownByNames(picker, target) && LeafName(target) == SelectedName(picker);
        if (!above.empty() && LeafName(above) == SelectedName(picker))
            break;
    }
    if (selected || ++self->pickTries_ > 100) {
        KillTimer(picker, kPickTimer);
        PostMessageA(picker, WM_COMMAND, MAKEWPARAM(selected ? IDOK : IDCANCEL, BN_CLICKED), 0);
    }
}

static void AnswerPicker(BoxAnswerer* self, HWND picker)
{
    PickerSeen seen;
    char buffer[512];
    GetWindowTextA(picker, buffer, sizeof(buffer));
    seen.caption = buffer;
    seen.selected = SelectedName(picker);
    char className[32];
    for (HWND child = GetWindow(picker, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetClassNameA(child, className, sizeof(className)) && lstrcmpiA(className, "Static") == 0 &&
            GetWindowTextA(child, buffer, sizeof(buffer)) > 0)
            seen.texts.push_back(buffer);
    }
    self->pickers_.push_back(seen);
    std::string folder;
    if (!self->folders_.empty()) {
        folder = self->folders_.front();
        self->folders_.pop_front();
    }
    if (folder.empty()) {
        PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    self->pickTarget_ = folder;
    self->pickTries_ = 0;
    SetTimer(picker, kPickTimer, 20, PickTick);
}

// Checks that a box shows its whole text and its whole title, in the fonts of the prefix the
// tests run in: the text within its static control, the title between the frame and the
// close box.
static void ExpectBoxShownWhole(HWND box)
{
    char text[1024] = "";
    HWND label = GetDlgItem(box, 0xFFFF);
    GetWindowTextA(label, text, sizeof(text));
    RECT area = {};
    GetClientRect(label, &area);
    RECT need = area;
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(label, WM_GETFONT, 0, 0));
    DrawTextA(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    EXPECT_LE(need.right - need.left, area.right - area.left) << "box text cut: " << text;
    EXPECT_LE(need.bottom - need.top, area.bottom - area.top) << "box text cut: " << text;

    char caption[256] = "";
    GetWindowTextA(box, caption, sizeof(caption));
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT font = CreateFontIndirectA(&metrics.lfCaptionFont);
    dc = GetDC(box);
    old = SelectObject(dc, font);
    SIZE title = {};
    GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &title);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    DeleteObject(font);
    RECT frame = {};
    GetWindowRect(box, &frame);
    int room = frame.right - frame.left - 2 * GetSystemMetrics(SM_CXDLGFRAME) - GetSystemMetrics(SM_CXSIZE) - 4;
    EXPECT_LE(title.cx, room) << "box title cut: " << caption << " (box: " << text << ")";
}

// Checks the box as shown, records which button Enter would press (the focused one, made
// default by the box) and clicks the queued answer.
static void CALLBACK AnswerBox(HWND box, UINT, UINT_PTR, DWORD)
{
    BoxAnswerer* self = BoxAnswerer::current;
    KillTimer(box, kAnswerTimer);
    ExpectBoxShownWhole(box);
    HWND focus = GetFocus();
    if (focus != NULL && GetParent(focus) == box && !self->seen_.empty())
        self->seen_.back().defaultButton = GetDlgCtrlID(focus);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(self->pendingAnswer_, BN_CLICKED), 0);
}

static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    BoxAnswerer* self = BoxAnswerer::current;
    HWND window = (HWND)wParam;
    char className[32] = "";
    bool dialog = code == HCBT_ACTIVATE && self != NULL && GetClassNameA(window, className, sizeof(className)) &&
                  std::strcmp(className, "#32770") == 0;
    if (dialog && FindChildOfClass(window, "SysTreeView32") != NULL) {
        AnswerPicker(self, window);
    } else if (dialog && GetDlgItem(window, 0xFFFF) != NULL) {
        BoxSeen box;
        char buffer[1024];
        GetWindowTextA(window, buffer, sizeof(buffer));
        box.caption = buffer;
        GetDlgItemTextA(window, 0xFFFF, buffer, sizeof(buffer));
        box.text = buffer;
        box.owner = GetWindow(window, GW_OWNER);
        for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
            HWND button = GetDlgItem(window, id);
            // The box itself is not shown yet at activation: read the button's own style.
            if (button != NULL && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE))
                box.buttons.push_back(id);
        }
        // Under Wine the icon control is always there; a box without an icon holds none.
        for (HWND child = GetWindow(window, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
            if (GetClassNameA(child, className, sizeof(className)) && lstrcmpiA(className, "Static") == 0 &&
                SendMessageA(child, STM_GETICON, 0, 0) != 0)
                box.hasIcon = true;
        }
        int answer = IDOK;
        if (!self->answers_.empty()) {
            answer = self->answers_.front();
            self->answers_.pop_front();
        }
        self->seen_.push_back(box);
        self->pendingAnswer_ = answer;
        // Answered from a timer once the box is up, its default button then chosen.
        SetTimer(window, kAnswerTimer, 1, AnswerBox);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

BoxAnswerer::BoxAnswerer()
{
    current = this;
    hook_ = SetWindowsHookExA(WH_CBT, CbtHook, NULL, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer()
{
    UnhookWindowsHookEx(hook_);
    current = NULL;
}

std::vector<PickerSeen> BoxAnswerer::TakePickers()
{
    std::vector<PickerSeen> seen;
    seen.swap(pickers_);
    return seen;
}

std::vector<BoxSeen> BoxAnswerer::Take()
{
    std::vector<BoxSeen> seen;
    seen.swap(seen_);
    return seen;
}

std::string ProgramFolderOfTests()
{
    char folder[kFolderSize];
    ProgramFolder(folder);
    return folder;
}

void WriteSettingsFile(const std::string& folder, uint32_t count, const std::string& dbFolder,
                       const char* password)
{
    Settings s = {};
    s.count = count;
    std::strncpy(s.folder, dbFolder.c_str(), sizeof(s.folder) - 1);
    std::strncpy(s.password, password, sizeof(s.password) - 1);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&s);
    WriteBytes(folder + "KSys.dat", std::vector<unsigned char>(p, p + kSettingsFileSize));
}

void WriteDatabaseFile(const std::string& folder, const std::vector<std::string>& websites)
{
    std::vector<unsigned char> bytes(websites.size() * kRecordSize, 0);
    for (size_t i = 0; i < websites.size(); ++i) {
        Record r = {};
        std::strncpy(r.website, websites[i].c_str(), sizeof(r.website) - 1);
        std::string url = websites[i] + ".example";
        std::strncpy(r.url, url.c_str(), sizeof(r.url) - 1);
        std::strcpy(r.userName, ("user-" + websites[i]).c_str());
        std::strcpy(r.password, ("pw-" + websites[i]).c_str());
        std::strcpy(r.remarks, "remark");
        std::memcpy(&bytes[i * kRecordSize], &r, kRecordSize);
    }
    WriteBytes(folder + "Kestal.dat", bytes);
}

std::string Text(HWND window, int id)
{
    char buffer[512] = "";
    GetDlgItemTextA(window, id, buffer, sizeof(buffer));
    return buffer;
}

std::string StatusLineText(HWND main)
{
    char buffer[512] = "";
    SendDlgItemMessageA(main, 1102, SB_GETTEXTA, 0, (LPARAM)buffer);
    return buffer;
}

int ListRowCount()
{
    return (int)SendMessageA(ListView, LVM_GETITEMCOUNT, 0, 0);
}

std::string ListCell(int row, int column)
{
    char buffer[256] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(ListView, LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return buffer;
}

void WindowTest::SetUp()
{
    // As the entry point does: the common controls; COM waits for the first "Browse".
    InitCommonControls();
    ResetStore();
    Window = WindowState();
    ListView = NULL;
    Window.module = GetModuleHandleA(NULL);
    program = ProgramFolderOfTests();
    RemovePath(program + "KSys.dat");
    RemovePath(program + "Kestal.dat");
}

void WindowTest::TearDown()
{
    if (main != NULL)
        DestroyWindow(main);
    RemovePath(program + "KSys.dat");
    RemovePath(program + "Kestal.dat");
    std::vector<BoxSeen> left = boxes.Take();
    for (const BoxSeen& box : left)
        ADD_FAILURE() << "box not checked: " << box.text;
    EXPECT_TRUE(boxes.TakePickers().empty()) << "folder picker not checked";
    EndFolderPicker(); // as the entry point does once the window is gone
}

HWND WindowTest::Start()
{
    main = CreateDialogParamA(Window.module, MAKEINTRESOURCEA(101), NULL, MainWindowProc, 0);
    EXPECT_NE((HWND)NULL, main);
    return main;
}

void WindowTest::StartWithTheDatabaseHeld()
{
    std::string path = data.File("Kestal.dat");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Start();
    CloseHandle(held);
}

void WindowTest::Command(WPARAM wParam, LPARAM lParam)
{
    SendMessageA(main, WM_COMMAND, wParam, lParam);
}

void WindowTest::Click(HWND page, int id)
{
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

void WindowTest::SelectTab(int index)
{
    HWND tabs = GetDlgItem(main, 1002);
    SendMessageA(tabs, TCM_SETCURSEL, index, 0);
    NMHDR header = {};
    header.hwndFrom = tabs;
    header.idFrom = 1002;
    header.code = TCN_SELCHANGE;
    SendMessageA(main, WM_NOTIFY, 1002, (LPARAM)&header);
}

std::vector<std::string> WindowTest::QuestionThen(const char* text, const std::vector<int>& buttons,
                                                  int defaultButton)
{
    std::vector<BoxSeen> seen = boxes.Take();
    std::vector<std::string> after;
    EXPECT_FALSE(seen.empty()) << "no question: " << text;
    if (seen.empty())
        return after;
    EXPECT_EQ(text, seen[0].text);
    EXPECT_EQ("Password Kestal", seen[0].caption);
    EXPECT_EQ(buttons, seen[0].buttons);
    EXPECT_EQ(defaultButton, seen[0].defaultButton);
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(main, seen[0].owner);
    for (size_t i = 1; i < seen.size(); ++i)
        after.push_back(seen[i].text);
    return after;
}

std::vector<std::string> WindowTest::Delete(int answer)
{
    boxes.Queue(answer);
    Click(Window.entryPage, 3013);
    return QuestionThen("Delete the record shown?", {IDYES, IDNO}, IDNO);
}

std::string WindowTest::OnlyBoxText()
{
    std::vector<BoxSeen> seen = boxes.Take();
    EXPECT_EQ(1u, seen.size());
    if (seen.size() != 1)
        return "";
    const BoxSeen& box = seen[0];
    EXPECT_EQ("Password Kestal", box.caption);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_FALSE(box.hasIcon);
    // Boxes raised by a page are owned by its top-level window, the main window.
    EXPECT_EQ(main, box.owner);
    return box.text;
}

void WindowTest::Restart()
{
    if (main != NULL)
        DestroyWindow(main);
    ResetStore();
    Window = WindowState();
    Window.module = GetModuleHandleA(NULL);
    ListView = NULL;
    Start();
}

std::vector<std::string> WindowTest::Rows()
{
    std::vector<std::string> rows;
    for (int i = 0; i < ListRowCount(); ++i)
        rows.push_back(ListCell(i, 0));
    return rows;
}

uint32_t WindowTest::CountIn(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadBytes(path);
    EXPECT_EQ(320u, bytes.size()) << path;
    if (bytes.size() < 4)
        return 0xFFFFFFFFu;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

std::string WindowTest::FolderIn(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadBytes(path);
    if (bytes.size() < 260)
        return "";
    return std::string((const char*)&bytes[4], strnlen((const char*)&bytes[4], 256));
}

void WindowTest::StartWith(const std::vector<std::string>& websites)
{
    WriteSettingsFile(program, (uint32_t)websites.size(), data.Path());
    WriteDatabaseFile(data.Path(), websites);
    Start();
}

void WindowTest::AddTyped(const char* website)
{
    HWND page = Window.entryPage;
    SetDlgItemTextA(page, 3001, website);
    SetDlgItemTextA(page, 3002, (std::string(website) + ".example").c_str());
    SetDlgItemTextA(page, 3006, "me");
    SetDlgItemTextA(page, 3009, "pw");
    Click(page, 3012);
}

std::vector<std::string> WindowTest::Close(UINT how, int answer)
{
    boxes.Queue(answer);
    if (how == WM_CLOSE)
        SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
    else
        Command(IDCANCEL); // Escape
    return QuestionThen("Save the changes to the records before closing?", {IDCANCEL, IDYES, IDNO},
                        IDYES); // ids ascending
}
