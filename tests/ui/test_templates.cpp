// The dialog templates and the menu as they are linked into the program, read back from the
// executable's resources, and the live windows made from them.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "main_window.h"
#include "ui_harness.h"

namespace {

struct Control {
    int id;
    std::string className;
    std::string text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct Template {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, className, caption, font;
    WORD points = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX field by field, checking the signature.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* bytes) : p_(bytes), start_(bytes) {}

    Template Read()
    {
        Template t;
        EXPECT_EQ(1, Word());      // dlgVer
        EXPECT_EQ(0xFFFF, Word()); // signature: an extended template
        Dword();                   // helpID
        t.exStyle = Dword();
        t.style = Dword();
        int count = Word();
        t.x = (short)Word();
        t.y = (short)Word();
        t.cx = (short)Word();
        t.cy = (short)Word();
        t.menu = NameOrOrdinal();
        t.className = NameOrOrdinal();
        t.caption = String();
        if (t.style & DS_SETFONT) {
            t.points = Word();
            t.weight = Word();
            t.italic = *p_++;
            t.charset = *p_++;
            t.font = String();
        }
        for (int i = 0; i < count; ++i) {
            Align();
            Control c;
            Dword(); // helpID
            c.exStyle = Dword();
            c.style = Dword();
            c.x = (short)Word();
            c.y = (short)Word();
            c.cx = (short)Word();
            c.cy = (short)Word();
            c.id = (int)Dword();
            c.className = ClassName();
            c.text = NameOrOrdinal();
            p_ += Word(); // creation data
            t.controls.push_back(c);
        }
        return t;
    }

private:
    WORD Word()
    {
        WORD w;
        std::memcpy(&w, p_, 2);
        p_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD d;
        std::memcpy(&d, p_, 4);
        p_ += 4;
        return d;
    }
    void Align()
    {
        while ((p_ - start_) % 4 != 0)
            ++p_;
    }
    std::string String()
    {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word())
            s += (char)c;
        return s;
    }
    std::string NameOrOrdinal()
    {
        WORD first;
        std::memcpy(&first, p_, 2);
        if (first == 0xFFFF) {
            p_ += 2;
            return "#" + std::to_string(Word());
        }
        return String();
    }
    std::string ClassName()
    {
        std::string name = NameOrOrdinal();
        static const char* predefined[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
        for (int i = 0; i < 6; ++i) {
            if (name == "#" + std::to_string(0x80 + i))
                return predefined[i];
        }
        return name;
    }

    const BYTE* p_;
    const BYTE* start_;
};

Template LoadTemplate(int id)
{
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceExA(module, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_NE((HRSRC)NULL, found) << id;
    if (found == NULL)
        return Template();
    return TemplateReader((const BYTE*)LockResource(LoadResource(module, found))).Read();
}

void ExpectControls(const Template& t, const std::vector<Control>& expected)
{
    ASSERT_EQ(expected.size(), t.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& e = expected[i];
        const Control& c = t.controls[i];
        SCOPED_TRACE("control " + std::to_string(e.id) + " at position " + std::to_string(i));
        EXPECT_EQ(e.id, c.id);
        EXPECT_STRCASEEQ(e.className.c_str(), c.className.c_str());
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.style, c.style);
        EXPECT_EQ(e.exStyle, c.exStyle);
        EXPECT_EQ(e.x, c.x);
        EXPECT_EQ(e.y, c.y);
        EXPECT_EQ(e.cx, c.cx);
        EXPECT_EQ(e.cy, c.cy);
    }
}

void ExpectFrame(const Template& t, DWORD style, DWORD exStyle, short x, short y, short cx, short cy,
                 const char* caption, const char* font)
{
    EXPECT_EQ(style, t.style);
    EXPECT_EQ(exStyle, t.exStyle);
    EXPECT_EQ(x, t.x);
    EXPECT_EQ(y, t.y);
    EXPECT_EQ(cx, t.cx);
    EXPECT_EQ(cy, t.cy);
    EXPECT_EQ(caption, t.caption);
    EXPECT_EQ(font, t.font);
    EXPECT_EQ(8, t.points);
    EXPECT_EQ(0, t.weight);
    EXPECT_EQ(0, t.italic);
    EXPECT_EQ(1, t.charset);
    EXPECT_EQ("", t.className);
}

} // namespace

TEST(Templates, MainWindow)
{
    Template t = LoadTemplate(101);
    ExpectFrame(t, 0x10C808C0, 0, 0, 0, 500, 312, " Password Kestal ", "Tahoma");
    EXPECT_STRCASEEQ("IDM_MENU", t.menu.c_str());
    ExpectControls(t, {
        {1001, "BUTTON", "Quit", 0x50000001, 0, 77, 262, 50, 14},
        {1002, "SysTabControl32", "", 0x50018000, 0, 3, 4, 411, 249},
        {1102, "msctls_statusbar32", "", 0x50000003, 0, 0, 231, 396, 14},
    });
}

TEST(Templates, ConfigurationPage)
{
    Template t = LoadTemplate(102);
    ExpectFrame(t, 0x40000440, 0x00000008, 4, 20, 373, 177, "", "MS Sans Serif");
    EXPECT_EQ("", t.menu);
    ExpectControls(t, {
        {2002, "STATIC", "Configuration", 0x50000100, 0, 4, 3, 102, 9},
        {2001, "BUTTON", "  Database Path  ", 0x50000007, 0, 6, 20, 362, 37},
        {2003, "EDIT", "", 0x50010000, 0x200, 16, 35, 242, 13},
        {2004, "BUTTON", "Browse", 0x50010000, 0, 276, 35, 53, 13},
        {2005, "BUTTON", "  Set Password  ", 0x50000007, 0, 4, 62, 364, 55},
        {2006, "STATIC", "Password: ", 0x50000000, 0, 12, 75, 58, 11},
        {2007, "EDIT", "", 0x50014020, 0x200, 50, 72, 138, 13},
        {2009, "EDIT", "", 0x50014020, 0x200, 76, 94, 112, 13},
        {2011, "BUTTON", "Accept", 0x50010000, 0, 276, 84, 50, 13},
        {2008, "STATIC", "Confirm Password:", 0x50000000, 0, 10, 94, 60, 11},
        {2010, "BUTTON", "Save Configuration", 0x50010000, 0, 46, 136, 100, 13},
    });
}

TEST(Templates, EntryPage)
{
    Template t = LoadTemplate(103);
    ExpectFrame(t, 0x40C00440, 0, 4, 20, 384, 204, "IDD_DLG1007", "MS Sans Serif");
    ExpectControls(t, {
        {3001, "EDIT", "", 0x50000100, 0x200, 37, 25, 166, 13},
        {3002, "EDIT", "", 0x50010100, 0x200, 37, 46, 166, 13},
        {3006, "EDIT", "", 0x50010000, 0x200, 43, 68, 123, 13},
        {3009, "EDIT", "", 0x50010000, 0x200, 40, 89, 123, 13},
        {3010, "EDIT", "", 0x50010000, 0x200, 40, 111, 123, 13},
        {3012, "BUTTON", "Add", 0x50010000, 0, 240, 37, 46, 14},
        {3013, "BUTTON", "Delete", 0x50010000, 0, 310, 37, 50, 14},
        {3015, "BUTTON", "Up", 0x50010000, 0, 247, 83, 40, 14},
        {3016, "BUTTON", "Down", 0x50010000, 0, 247, 105, 40, 14},
        {3017, "BUTTON", "Top", 0x50010000, 0, 310, 83, 44, 14},
        {3018, "BUTTON", "Bottom", 0x50010000, 0, 310, 105, 44, 14},
        {-1, "STATIC", "Password count:", 0x50000100, 0, 283, 6, 53, 9},
        {3003, "STATIC", "Website:", 0x50000000, 0, 3, 28, 30, 9},
        {3004, "STATIC", "URL:", 0x50000000, 0, 3, 49, 30, 9},
        {3005, "STATIC", "User name: ", 0x50000000, 0, 3, 71, 38, 9},
        {3007, "STATIC", "Password:", 0x50000000, 0, 3, 92, 34, 9},
        {3008, "STATIC", "Remarks:", 0x50000000, 0, 3, 114, 30, 9},
        {3011, "BUTTON", "  Record Control  ", 0x50000007, 0, 230, 22, 144, 39},
        {3014, "BUTTON", "  Record Navigation Control ", 0x50000007, 0, 230, 65, 144, 62},
        {3020, "STATIC", "Record #: ", 0x50000000, 0, 3, 6, 34, 11},
        {3022, "EDIT", "", 0x50010000, 0x200, 40, 4, 32, 11},
        {3019, "EDIT", "", 0x50010000, 0x200, 340, 6, 32, 11},
    });
}

TEST(Templates, ListPage)
{
    Template t = LoadTemplate(104);
    ExpectFrame(t, 0x40C00440, 0, 4, 20, 386, 207, "IDD_DLG1009", "MS Sans Serif");
    ExpectControls(t, {
        {1008, "STATIC", " Password List ", 0x50000000, 0, 68, 10, 19, 13},
        {4001, "SysListView32", "", 0x5035000D, 0x200, 3, 15, 374, 148},
        {4002, "BUTTON", "Refresh", 0x50010000, 0, 130, 175, 52, 15},
    });
}

TEST(Templates, MenuItemsInOrder)
{
    HMENU menu = LoadMenuA(GetModuleHandleA(NULL), "IDM_MENU");
    ASSERT_NE((HMENU)NULL, menu);
    struct Item {
        const char* text;
        UINT id; // 0 for a separator
    };
    const char* bar[] = {"&File", "&Help"};
    std::vector<std::vector<Item>> popups = {
        {{"Load &Database", 1010}, {"Load &System Record", 1011}, {"", 0},
         {"Save D&atabase", 1012}, {"Save S&ystem Record", 1013}, {"", 0}, {"&Exit", 1014}},
        {{"&About", 1900}},
    };
    ASSERT_EQ(2, GetMenuItemCount(menu));
    for (int i = 0; i < 2; ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        EXPECT_STREQ(bar[i], text);
        HMENU popup = GetSubMenu(menu, i);
        ASSERT_NE((HMENU)NULL, popup);
        ASSERT_EQ((int)popups[i].size(), GetMenuItemCount(popup));
        for (int j = 0; j < (int)popups[i].size(); ++j) {
            MENUITEMINFOA info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = sizeof(text);
            text[0] = 0;
            ASSERT_TRUE(GetMenuItemInfoA(popup, j, TRUE, &info));
            if (popups[i][j].id == 0) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << j;
            } else {
                EXPECT_STREQ(popups[i][j].text, text);
                EXPECT_EQ(popups[i][j].id, info.wID);
            }
        }
    }
    DestroyMenu(menu);
}

static BOOL CALLBACK FoundOne(HMODULE, LPCSTR, LPSTR, LONG_PTR found)
{
    *(bool*)found = true;
    return FALSE;
}

TEST(Templates, NoIconAcceleratorsOrStrings)
{
    HMODULE module = GetModuleHandleA(NULL);
    for (LPCSTR type : {(LPCSTR)RT_GROUP_ICON, (LPCSTR)RT_ACCELERATOR, (LPCSTR)RT_STRING}) {
        bool any = false;
        EnumResourceNamesA(module, type, FoundOne, (LONG_PTR)&any);
        EXPECT_FALSE(any) << (uintptr_t)type;
    }
    EXPECT_NE((HRSRC)NULL, FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_VERSION));
}

class LiveTemplates : public WindowTest {};

TEST_F(LiveTemplates, PagesAreCreatedHiddenAndCarryTheirStyles)
{
    Start();
    // Wine drops the caption style of child dialogs and the topmost style of child windows,
    // so the styles are checked in the templates above; the caption text stays.
    char caption[32] = "";
    GetWindowTextA(Window.entryPage, caption, sizeof(caption));
    EXPECT_STREQ("IDD_DLG1007", caption);
    GetWindowTextA(Window.listPage, caption, sizeof(caption));
    EXPECT_STREQ("IDD_DLG1009", caption);
    // Only the configuration page is shown; the others were created hidden.
    EXPECT_FALSE(IsWindowVisible(Window.entryPage));
    EXPECT_FALSE(IsWindowVisible(Window.listPage));
    // "Quit" is the default push button.
    EXPECT_EQ((LRESULT)MAKELONG(1001, DC_HASDEFID), SendMessageA(main, DM_GETDEFID, 0, 0));
    // The configuration password fields mask what is typed; the entry page's does not.
    EXPECT_NE(0, (int)SendDlgItemMessageA(Window.configPage, 2007, EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_NE(0, (int)SendDlgItemMessageA(Window.configPage, 2009, EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_EQ(0, (int)SendDlgItemMessageA(Window.entryPage, 3009, EM_GETPASSWORDCHAR, 0, 0));
}
