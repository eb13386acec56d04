// The window as it was laid out: every label of the pages shows its whole text in its own
// font (the list page's title aside, which its list view covers on any system). Measured on
// the live controls, so it holds for the fonts of the prefix the tests run in.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

const int kListTitle = 1008; // " Password List ": a 19-unit box under the list view

// The size text needs in window's own font.
SIZE TextSize(HWND window, const std::string& text)
{
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(window, WM_GETFONT, 0, 0));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size;
}

class LookTest : public WindowTest {};

// The system DPI the test runs at.
int SystemDpi()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    return dpi;
}

} // namespace

TEST_F(LookTest, EveryLabelOfThePagesShowsItsWholeText)
{
    Start();
    int labels = 0;
    for (HWND page : {Window.configPage, Window.entryPage, Window.listPage}) {
        for (HWND child = GetWindow(page, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[32] = "";
            GetClassNameA(child, className, sizeof(className));
            if (lstrcmpiA(className, "Static") != 0 || GetDlgCtrlID(child) == kListTitle)
                continue;
            std::string text = Text(page, GetDlgCtrlID(child));
            RECT box = {};
            GetClientRect(child, &box);
            SIZE need = TextSize(child, text);
            EXPECT_LE(need.cx, box.right) << "\"" << text << "\" is cut at the right";
            EXPECT_LE(need.cy, box.bottom) << "\"" << text << "\" is cut at the bottom";
            ++labels;
        }
    }
    EXPECT_EQ(10, labels); // 3 on the configuration page, 7 on the entry page
}

// The columns were laid out at 96 DPI, where a dialog unit of the list page is 1.5 pixels
// wide: 200, 200, 150 and 150 pixels of a list 374 units wide. At any DPI each column keeps
// that share of the list, as wide as before against the text.
TEST_F(LookTest, TheListColumnsKeepTheirShareOfTheList)
{
    Start();
    RECT list = {0, 0, 374, 148}; // the list view's size in the template
    MapDialogRect(Window.listPage, &list);
    const int widthsAt96[] = {200, 200, 150, 150};
    for (int i = 0; i < 4; ++i) {
        int width = (int)SendMessageA(ListView, LVM_GETCOLUMNWIDTH, i, 0);
        double share = (double)width / list.right;
        double shareAt96 = widthsAt96[i] / (374 * 1.5);
        EXPECT_NEAR(shareAt96, share, shareAt96 * 0.1)
            << "column " << i << ": " << width << " of " << list.right << " pixels at " << SystemDpi() << " DPI";
    }
}
