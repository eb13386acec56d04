// Keys through the real dialog manager. The main window is shown, every key is posted to the
// window that has the focus and pumped through IsDialogMessageA, as the modal loop does, and
// tabs are switched with a real click on the tab control. A watchdog ends the process when
// the dialog manager does not come back, so a hang fails the run instead of blocking it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "main_window.h"
#include "ui_harness.h"

namespace {

const DWORD kWatchdogMs = 10000;

// Ends the process when it lives longer than kWatchdogMs: the dialog manager did not come
// back from what it was given.
class Watchdog {
public:
    explicit Watchdog(const char* what) : what_(what)
    {
        done_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
    }
    ~Watchdog()
    {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

private:
    static DWORD WINAPI Run(void* parameter)
    {
        Watchdog* self = (Watchdog*)parameter;
        if (WaitForSingleObject(self->done_, kWatchdogMs) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "\nFAILED: no answer from the dialog manager within %lu ms after %s\n",
                         (unsigned long)kWatchdogMs, self->what_);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }
    const char* what_;
    HANDLE done_;
    HANDLE thread_;
};

// Set by a timer that runs inside the menu's own loop: the thread is in menu mode. The
// timer then closes the menu.
bool MenuSeen = false;

void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR, DWORD)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    if (info.flags & GUI_INMENUMODE) {
        MenuSeen = true;
        EndMenu();
    }
}

// What the clipboard holds, read as another program would: its text, and whether it
// carries the three marks that keep a copy out of the clipboard history and the cloud
// clipboard (the last two a DWORD 0).
struct ClipboardSeen {
    int formats = 0;
    std::string text;
    bool marked = false;
};

ClipboardSeen LookAtClipboard()
{
    ClipboardSeen seen;
    bool open = false;
    for (int i = 0; i < 50 && !(open = OpenClipboard(NULL) != FALSE); ++i)
        Sleep(10);
    EXPECT_TRUE(open) << "the clipboard cannot be opened";
    if (!open)
        return seen;
    seen.formats = CountClipboardFormats();
    HANDLE text = GetClipboardData(CF_TEXT), wide = GetClipboardData(CF_UNICODETEXT);
    if (text != NULL && wide != NULL) {
        seen.text = (const char*)GlobalLock(text);
        EXPECT_EQ(std::wstring(seen.text.begin(), seen.text.end()), (const wchar_t*)GlobalLock(wide));
        GlobalUnlock(text);
        GlobalUnlock(wide);
    }
    seen.marked = IsClipboardFormatAvailable(RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"));
    for (const char* format : {"CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}) {
        HANDLE data = GetClipboardData(RegisterClipboardFormatA(format));
        seen.marked = seen.marked && data != NULL && GlobalSize(data) == sizeof(DWORD) &&
                      *(const DWORD*)GlobalLock(data) == 0;
        if (data != NULL)
            GlobalUnlock(data);
    }
    CloseClipboard();
    return seen;
}

// Selects characters first to last - 1 of an entry field (all for -1) and sends it the key
// Ctrl+C (3) or Ctrl+X (24) as the keyboard delivers it to an edit control.
void CopyFrom(int field, int first, int last, WPARAM key)
{
    SendDlgItemMessageA(Window.entryPage, field, EM_SETSEL, first, last);
    SendDlgItemMessageA(Window.entryPage, field, WM_CHAR, key, 1);
}

const char kCopied[] = "Password copied: the clipboard is cleared in 12 seconds";

class KeyboardTest : public WindowTest {
protected:
    void StartShown()
    {
        Start();
        SetForegroundWindow(main);
        Pump("start-up");
    }
    // Delivers what is queued, and what that queues in turn, the way the modal loop does:
    // until nothing is left, or until the window has been ended (the modal loop stops
    // there, and the dialog manager's answer to WM_CLOSE, a posted IDCANCEL, is never read).
    void Pump(const char* what)
    {
        Watchdog watchdog(what);
        DWORD quietSince = GetTickCount();
        while (GetTickCount() - quietSince < 50 && IsOpen()) {
            MSG msg;
            if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                Sleep(1);
                continue;
            }
            if (!IsDialogMessageA(main, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (msg.message != WM_TIMER) // a running timer is no sign of work left
                quietSince = GetTickCount();
        }
    }
    // A left click in the middle of a tab: the tab control's own click handling, which
    // never moves the focus.
    void ClickTab(int index)
    {
        HWND tabs = GetDlgItem(main, 1002);
        RECT r = {};
        SendMessageA(tabs, TCM_GETITEMRECT, index, (LPARAM)&r);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(tabs, WM_LBUTTONUP, 0, at);
        Pump("a click on a tab");
    }
    HWND Focused()
    {
        HWND focus = GetFocus();
        EXPECT_NE((HWND)NULL, focus) << "nothing has the keyboard focus";
        return focus;
    }
    void Type(const std::string& text)
    {
        for (char c : text)
            PostMessageA(Focused(), WM_CHAR, (unsigned char)c, 1);
        Pump("typed characters");
    }
    void Press(UINT key)
    {
        HWND focus = Focused();
        PostMessageA(focus, WM_KEYDOWN, key, 1);
        PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
        Pump("a key");
    }
    // Alt and a letter, as the keyboard delivers it to the focused window.
    void PressAlt(char letter)
    {
        PostMessageA(Focused(), WM_SYSCHAR, (unsigned char)letter, 0x20000001);
        Pump("Alt and a letter");
    }
    // Tabs forward until control has the focus; false when it is never reached.
    bool TabTo(HWND control)
    {
        for (int i = 0; i < 60 && GetFocus() != control; ++i)
            Press(VK_TAB);
        return GetFocus() == control;
    }
    HWND Item(HWND page, int id) { return GetDlgItem(page, id); }
    // Real key input: the keys pressed in order and released in reverse, through the
    // system's input queue, so that the thread's key state sees the modifiers.
    void Chord(std::vector<WORD> keys)
    {
        std::vector<INPUT> inputs;
        for (int up = 0; up < 2; ++up) {
            for (size_t i = 0; i < keys.size(); ++i) {
                WORD key = up ? keys[keys.size() - 1 - i] : keys[i];
                INPUT input = {};
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = key;
                input.ki.wScan = (WORD)MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
                input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) |
                                   (key == VK_PRIOR || key == VK_NEXT || key == VK_INSERT || key == VK_DELETE
                                        ? KEYEVENTF_EXTENDEDKEY : 0);
                inputs.push_back(input);
            }
        }
        EXPECT_EQ(inputs.size(), SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)));
        Pump("keys with Ctrl");
    }
    // Delivers messages as the modal loop does until the tick count reaches until.
    void PumpUntil(DWORD until)
    {
        while ((LONG)(until - GetTickCount()) > 0) {
            Watchdog watchdog("waiting");
            DWORD slice = GetTickCount() + 2000;
            MSG msg;
            while ((LONG)(until - GetTickCount()) > 0 && (LONG)(slice - GetTickCount()) > 0) {
                if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                    Sleep(5);
                    continue;
                }
                if (!IsDialogMessageA(main, &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
            }
        }
    }
    // From the Website field just reached: an entry typed field by field with Tab, then
    // "Add" reached with Tab and pressed with Enter.
    void TypeEntryAndAdd()
    {
        Type("site");
        for (const char* text : {"site.example", "me", "pw"}) {
            Press(VK_TAB);
            Type(text);
        }
        ASSERT_TRUE(TabTo(Item(Window.entryPage, 3012)));
        Press(VK_RETURN);
    }
};

} // namespace

TEST_F(KeyboardTest, StartUpInTheModalLoopFocusesTheConfigurationPage)
{
    // The real modal loop: a timer inside it looks at the window, then closes it.
    static HWND focus, pathField, shownPage;
    focus = pathField = shownPage = NULL;
    struct Look {
        static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
        {
            KillTimer(NULL, timer);
            focus = GetFocus();
            pathField = GetDlgItem(Window.configPage, 2003);
            HWND main = GetParent(Window.configPage);
            shownPage = (HWND)GetWindowLongPtrA(main, GWLP_USERDATA);
            PostMessageA(main, WM_CLOSE, 0, 0);
        }
    };
    SetTimer(NULL, 0, 300, Look::Tick);
    Watchdog watchdog("start-up in the modal loop");
    INT_PTR result = DialogBoxParamA(Window.module, MAKEINTRESOURCEA(101), NULL, MainWindowProc, 0);
    EXPECT_EQ(0, result);
    EXPECT_EQ(Window.configPage, shownPage);
    EXPECT_NE((HWND)NULL, focus);
    EXPECT_EQ(pathField, focus) << "the focus is not in the Database Path field";
}

TEST_F(KeyboardTest, TypingAfterAMouseTabSwitchLandsInTheShownPage)
{
    StartShown();
    EXPECT_EQ(Item(Window.configPage, 2003), GetFocus());
    const std::string folder = Text(Window.configPage, 2003); // the folder in use

    ClickTab(1);
    ASSERT_TRUE(IsWindowVisible(Window.entryPage));
    EXPECT_EQ(Item(Window.entryPage, 3001), GetFocus());
    Type("hi");
    EXPECT_EQ("hi", Text(Window.entryPage, 3001)); // the Website field, the first Tab stop
    EXPECT_EQ(folder, Text(Window.configPage, 2003));

    ClickTab(2);
    EXPECT_EQ(Item(Window.listPage, 4001), GetFocus());

    // The database path only shows the folder in use: typing there changes nothing.
    ClickTab(0);
    EXPECT_EQ(Item(Window.configPage, 2003), GetFocus());
    Type("ab");
    EXPECT_EQ(folder, Text(Window.configPage, 2003));
    EXPECT_EQ("hi", Text(Window.entryPage, 3001));
}

// An entry typed with the keyboard alone: the fields in the order of the page, and the
// numbers that only show where the page stands never in the way.
TEST_F(KeyboardTest, TabGoesThroughTheEntryFieldsAndSkipsTheNumbers)
{
    StartShown();
    ClickTab(1);
    HWND page = Window.entryPage;
    std::vector<HWND> order;
    for (int i = 0; i < 20 && (order.empty() || GetFocus() != order[0]); ++i) {
        order.push_back(GetFocus());
        Press(VK_TAB);
    }
    ASSERT_GE(order.size(), 5u);
    int fields[] = {3001, 3002, 3006, 3009, 3010};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Item(page, fields[i]), order[i]) << "Tab stop " << i;
    for (HWND stop : order) {
        EXPECT_NE(Item(page, 3019), stop);
        EXPECT_NE(Item(page, 3022), stop);
    }

    // Two entries without a website are two entries, not duplicates.
    for (const char* url : {"one.example", "two.example"}) {
        ASSERT_TRUE(TabTo(Item(page, 3002)));
        Type(url);
        Press(VK_TAB);
        Type("me");
        Press(VK_TAB);
        Type("pw");
        ASSERT_TRUE(TabTo(Item(page, 3012)));
        Press(VK_RETURN);
        for (int id : {3002, 3006, 3009})
            SetDlgItemTextA(page, id, "");
    }
    EXPECT_TRUE(boxes.Take().empty());
    ASSERT_EQ(2u, SettingsBlock.count);
    EXPECT_STREQ("two.example", RecordStore.slots[1].url);

    // A click into "Record #" gives it the focus, but typing there changes nothing.
    SendMessageA(main, WM_NEXTDLGCTL, (WPARAM)Item(page, 3022), TRUE);
    Pump("focus on Record #");
    ASSERT_EQ(Item(page, 3022), GetFocus());
    SendDlgItemMessageA(page, 3022, EM_SETSEL, 1, 1); // the caret after the digit
    Type("3");
    EXPECT_EQ("1", Text(page, 3022));
}

// Enter on a row of the list, the way a row is opened everywhere else, opens it on the entry
// page instead of pressing "Quit".
TEST_F(KeyboardTest, EnterOnARowOpensItOnTheEntryPage)
{
    WriteSettingsFile(program, 3, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b", "c"});
    StartShown();
    ClickTab(2);
    ASSERT_EQ(Item(Window.listPage, 4001), GetFocus());
    Press(VK_DOWN);
    Press(VK_DOWN);
    Press(VK_RETURN);
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_TRUE(IsWindowVisible(Window.entryPage));
    EXPECT_EQ(1, (int)SendDlgItemMessageA(main, 1002, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(1u, RecordStore.current);
    EXPECT_EQ("b", Text(Window.entryPage, 3001));
    EXPECT_EQ(Item(Window.entryPage, 3001), GetFocus());
}

// Escape with an unsaved entry asks; Cancel keeps the window, No closes without saving.
TEST_F(KeyboardTest, EscapeAsksBeforeDroppingAnUnsavedEntry)
{
    WriteSettingsFile(program, 0, data.Path());
    StartShown();
    ClickTab(1);
    TypeEntryAndAdd();
    ASSERT_EQ(1u, SettingsBlock.count);

    boxes.Queue(IDCANCEL);
    Press(VK_ESCAPE);
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Save the changes to the records before closing?", seen[0].text);
    EXPECT_TRUE(IsOpen());

    boxes.Queue(IDNO);
    Press(VK_ESCAPE);
    EXPECT_EQ(1u, boxes.Take().size());
    EXPECT_FALSE(IsOpen());
    EXPECT_FALSE(Exists(data.File("Kestal.dat")));
}

TEST_F(KeyboardTest, KeysAfterAMouseSwitchFromAFocusedButtonAreAnswered)
{
    StartShown();
    ASSERT_TRUE(TabTo(Item(Window.configPage, 2004))); // "Browse"
    ClickTab(1);

    MenuSeen = false;
    UINT_PTR timer = SetTimer(NULL, 0, 20, CloseOpenMenu);
    PressAlt('f');
    for (DWORD start = GetTickCount(); !MenuSeen && GetTickCount() - start < 2000;)
        Pump("waiting for the File menu");
    KillTimer(NULL, timer);
    EXPECT_TRUE(MenuSeen) << "Alt+F did not open the File menu";

    Type("q");
    Press(VK_SPACE);
    EXPECT_EQ("q ", Text(Window.entryPage, 3001));
    EXPECT_TRUE(boxes.TakePickers().empty()) << "a key reached the hidden Browse button";

    // The same from a focused button of the entry page to the list page.
    ASSERT_TRUE(TabTo(Item(Window.entryPage, 3013))); // "Delete"
    ClickTab(2);
    Type("z");
    Press(VK_SPACE);
    EXPECT_EQ(Item(Window.listPage, 4001), GetFocus());
    EXPECT_TRUE(IsOpen());
}

TEST_F(KeyboardTest, EnterOnAFocusedPageButtonDoesWhatAClickDoes)
{
    WriteSettingsFile(program, 3, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b", "c"});
    StartShown();
    ClickTab(1);
    HWND page = Window.entryPage;

    ASSERT_TRUE(TabTo(Item(page, 3017))); // "Top"
    Press(VK_RETURN);
    EXPECT_EQ(0u, RecordStore.current);
    ASSERT_TRUE(TabTo(Item(page, 3016))); // "Down"
    Press(VK_RETURN);
    EXPECT_EQ(1u, RecordStore.current);
    EXPECT_EQ("b", Text(page, 3001));
    EXPECT_TRUE(IsOpen());

    ASSERT_TRUE(TabTo(Item(page, 3001)));
    Type("new site");
    Press(VK_TAB);
    Type("new.example");
    Press(VK_TAB);
    Type("me");
    Press(VK_TAB);
    Type("pw");
    ASSERT_TRUE(TabTo(Item(page, 3012))); // "Add"
    Press(VK_RETURN);
    EXPECT_EQ(4u, SettingsBlock.count);
    EXPECT_STREQ("new.example", RecordStore.slots[3].url);
    EXPECT_EQ("4", Text(page, 3019));
    EXPECT_TRUE(IsOpen());
}

TEST_F(KeyboardTest, EnterInAnEditFieldPressesQuitAfterAPageButtonHadTheFocus)
{
    WriteSettingsFile(program, 0, data.Path());
    StartShown();
    ClickTab(1);
    HWND page = Window.entryPage;
    TypeEntryAndAdd();
    ASSERT_EQ(1u, SettingsBlock.count);

    // Back in an edit field, Enter is the default button's again: "Quit" saves and closes.
    ASSERT_TRUE(TabTo(Item(page, 3010)));
    Press(VK_RETURN);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(TableImage(1), ReadBytes(data.File("Kestal.dat")));
}

// Ctrl+Tab and Ctrl+Page Down go right, Ctrl+Shift+Tab and Ctrl+Page Up left, wrapping
// around, from any control, with the focus on the first Tab stop of the page shown.
TEST_F(KeyboardTest, CtrlTabAndCtrlPageKeysGoThroughTheTabs)
{
    StartShown();
    ClickTab(1);
    Type("typed");
    HWND pages[] = {Window.configPage, Window.entryPage, Window.listPage};
    HWND firstStops[] = {Item(pages[0], 2003), Item(pages[1], 3001), Item(pages[2], 4001)};
    const std::pair<std::vector<WORD>, int> steps[] = {
        {{VK_CONTROL, VK_NEXT}, 2},          {{VK_CONTROL, VK_TAB}, 0}, {{VK_CONTROL, VK_TAB}, 1},
        {{VK_CONTROL, VK_SHIFT, VK_TAB}, 0}, {{VK_CONTROL, VK_SHIFT, VK_TAB}, 2},
        {{VK_CONTROL, VK_PRIOR}, 1},         {{VK_CONTROL, VK_PRIOR}, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE("to tab " + std::to_string(step.second));
        Chord(step.first);
        EXPECT_EQ(step.second, (int)SendDlgItemMessageA(main, 1002, TCM_GETCURSEL, 0, 0));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(i == step.second, IsWindowVisible(pages[i]) != FALSE) << "page " << i;
        EXPECT_EQ(firstStops[step.second], GetFocus());
    }
    // From a field deep in a page too; the text typed stays as it was.
    Chord({VK_CONTROL, VK_TAB});
    Chord({VK_TAB});
    ASSERT_EQ(Item(pages[1], 3002), GetFocus());
    Chord({VK_CONTROL, VK_NEXT});
    EXPECT_EQ(firstStops[2], GetFocus());
    EXPECT_EQ("typed", Text(pages[1], 3001));
    EXPECT_TRUE(boxes.Take().empty());
}

// Ctrl+C in the password field: the selection, marked to stay out of the clipboard history
// and the cloud clipboard, gone again twelve seconds later. Ctrl+X takes it out of the field.
TEST_F(KeyboardTest, APasswordCopiedWithCtrlCLeavesTheClipboardAfterTwelveSeconds)
{
    WriteSettingsFile(program, 1, data.Path());
    WriteDatabaseFile(data.Path(), {"a"});
    StartShown();
    CopyFrom(3009, 0, 2, 24);
    ClipboardSeen seen = LookAtClipboard();
    EXPECT_EQ("pw", seen.text);
    EXPECT_TRUE(seen.marked);
    EXPECT_EQ("-a", Text(Window.entryPage, 3009));

    // Shift+Delete cuts and Ctrl+Insert copies in the edit control itself: the same marks.
    OpenClipboard(NULL);
    EmptyClipboard();
    CloseClipboard();
    SetFocus(Item(Window.entryPage, 3009));
    SendDlgItemMessageA(Window.entryPage, 3009, EM_SETSEL, 0, 1);
    Chord({VK_SHIFT, VK_DELETE});
    seen = LookAtClipboard();
    EXPECT_EQ("-", seen.text) << "Shift+Delete";
    EXPECT_TRUE(seen.marked) << "Shift+Delete";
    EXPECT_EQ("a", Text(Window.entryPage, 3009));
    OpenClipboard(NULL);
    EmptyClipboard();
    CloseClipboard();
    SendDlgItemMessageA(Window.entryPage, 3009, EM_SETSEL, 0, -1);
    Chord({VK_CONTROL, VK_INSERT});
    seen = LookAtClipboard();
    EXPECT_EQ("a", seen.text) << "Ctrl+Insert";
    EXPECT_TRUE(seen.marked) << "Ctrl+Insert";
    EXPECT_EQ("a", Text(Window.entryPage, 3009));

    ClickTab(1);
    Click(Window.entryPage, 3017); // Top: the record again
    ASSERT_TRUE(TabTo(Item(Window.entryPage, 3009))); // Tab selects the whole field
    DWORD copiedAt = GetTickCount();
    PostMessageA(Focused(), WM_CHAR, 3, 1);
    Pump("Ctrl+C");
    seen = LookAtClipboard();
    EXPECT_EQ("pw-a", seen.text);
    EXPECT_TRUE(seen.marked);
    EXPECT_EQ(kCopied, StatusLineText(main));
    PumpUntil(copiedAt + 11000);
    EXPECT_EQ("pw-a", LookAtClipboard().text) << "gone before 12 s";
    PumpUntil(copiedAt + 14000);
    EXPECT_EQ(0, LookAtClipboard().formats) << "still there after 12 s";
}

// The real modal loop: a password copied, then the window closed or the Windows session
// ended, leaves the clipboard empty (at the end of the session before the window goes,
// since the process may be ended first); a copy from another field since, unmarked, stays.
TEST_F(KeyboardTest, ACopiedPasswordLeavesTheClipboardWhenTheWindowCloses)
{
    WriteSettingsFile(program, 1, data.Path());
    WriteDatabaseFile(data.Path(), {"a"});
    static bool copyAnother, endSession;
    static ClipboardSeen whileOpen, atSessionEnd;
    struct Steps {
        static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
        {
            KillTimer(NULL, timer);
            HWND main = GetParent(Window.entryPage);
            CopyFrom(3009, 0, -1, 3);
            if (copyAnother)
                CopyFrom(3001, 0, -1, 3);
            whileOpen = LookAtClipboard();
            if (endSession) {
                EXPECT_EQ(TRUE, SendMessageA(main, WM_QUERYENDSESSION, 0, 0));
                SendMessageA(main, WM_ENDSESSION, TRUE, 0);
                atSessionEnd = LookAtClipboard();
            } else {
                PostMessageA(main, WM_CLOSE, 0, 0);
            }
        }
    };
    for (int way = 0; way < 4; ++way) {
        copyAnother = way & 1;
        endSession = way & 2;
        SCOPED_TRACE(std::string(endSession ? "session end" : "close") + (copyAnother ? ", another copy since" : ""));
        ResetStore();
        Window = WindowState();
        Window.module = GetModuleHandleA(NULL);
        SetTimer(NULL, 0, 200, Steps::Tick);
        Watchdog watchdog("closing in the modal loop");
        DialogBoxParamA(Window.module, MAKEINTRESOURCEA(101), NULL, MainWindowProc, 0);
        ClipboardSeen after = LookAtClipboard();
        EXPECT_EQ(copyAnother ? "a" : "pw-a", whileOpen.text);
        EXPECT_EQ(!copyAnother, whileOpen.marked);
        if (endSession) {
            EXPECT_EQ(copyAnother ? "a" : "", atSessionEnd.text);
        }
        EXPECT_EQ(copyAnother ? "a" : "", after.text);
        EXPECT_EQ(copyAnother, after.formats != 0);
    }
}

// An entry typed with the keyboard and ended with Enter is not closed away: the question
// first, No keeps it; added, Enter saves and closes.
TEST_F(KeyboardTest, EnterInAFieldAsksAboutAnEntryNotAdded)
{
    WriteSettingsFile(program, 0, data.Path());
    StartShown();
    ClickTab(1);
    HWND page = Window.entryPage;
    Type("site");
    for (const char* text : {"site.example", "me", "pw"}) {
        Press(VK_TAB);
        Type(text);
    }
    boxes.Queue(IDNO);
    Press(VK_RETURN);
    QuestionThen("The entry typed on the entry page was not added. Close without adding it?", {IDYES, IDNO}, IDNO);
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ("pw", Text(page, 3009));
    EXPECT_FALSE(Exists(data.File("Kestal.dat")));

    ASSERT_TRUE(TabTo(Item(page, 3012)));
    Press(VK_RETURN);
    ASSERT_EQ(1u, SettingsBlock.count);
    ASSERT_TRUE(TabTo(Item(page, 3010)));
    Press(VK_RETURN);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(TableImage(1), ReadBytes(data.File("Kestal.dat")));
}
