#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "files.h"
#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

class MainWindowTest : public WindowTest {
protected:
    // An unsaved add, as the entry page makes it.
    void AddUnsaved(const char* website)
    {
        Add(website);
        ModifiedFlag = 1;
    }
};

} // namespace

TEST_F(MainWindowTest, FirstStartWithoutSettingsShowsNothing)
{
    Start();
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(0, ListRowCount());
    EXPECT_EQ("", StatusLineText(main));
    EXPECT_EQ(program, std::string(SettingsBlock.folder));
    EXPECT_EQ(program, Text(Window.configPage, 2003)) << "the folder in use is shown";
    EXPECT_TRUE(IsWindowVisible(Window.configPage));
    EXPECT_FALSE(IsWindowVisible(Window.entryPage));
    EXPECT_FALSE(IsWindowVisible(Window.listPage));
    EXPECT_EQ((LONG_PTR)Window.configPage, GetWindowLongPtrA(main, GWLP_USERDATA));
    EXPECT_EQ(0, ModifiedFlag);
}

TEST_F(MainWindowTest, TabsInOrderEachNamingItsPage)
{
    Start();
    HWND tabs = GetDlgItem(main, 1002);
    ASSERT_EQ(3, (int)SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    const char* texts[] = {" Configuration ", " Password Entry ", " Password List"};
    HWND pages[] = {Window.configPage, Window.entryPage, Window.listPage};
    for (int i = 0; i < 3; ++i) {
        char buffer[64] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = buffer;
        item.cchTextMax = sizeof(buffer);
        SendMessageA(tabs, TCM_GETITEMA, i, (LPARAM)&item);
        EXPECT_STREQ(texts[i], buffer);
        EXPECT_EQ((LPARAM)pages[i], item.lParam);
        EXPECT_EQ(main, GetParent(pages[i]));
    }
}

TEST_F(MainWindowTest, SwitchingTabsHidesThePreviousPage)
{
    Start();
    SelectTab(1);
    EXPECT_TRUE(IsWindowVisible(Window.entryPage));
    EXPECT_FALSE(IsWindowVisible(Window.configPage));
    EXPECT_EQ((LONG_PTR)Window.entryPage, GetWindowLongPtrA(main, GWLP_USERDATA));
    SelectTab(2);
    EXPECT_TRUE(IsWindowVisible(Window.listPage));
    EXPECT_FALSE(IsWindowVisible(Window.entryPage));
    SelectTab(0);
    EXPECT_TRUE(IsWindowVisible(Window.configPage));
    EXPECT_FALSE(IsWindowVisible(Window.listPage));
}

TEST_F(MainWindowTest, StartWithThreeRecordsFillsBothPages)
{
    StartWith({"alpha", "beta", "gamma"});
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ("System record loaded", StatusLineText(main));
    // The entry page shows record 0, and record 0 is current.
    EXPECT_EQ("3", Text(Window.entryPage, 3019));
    EXPECT_EQ("0", Text(Window.entryPage, 3022));
    EXPECT_EQ("alpha", Text(Window.entryPage, 3001));
    EXPECT_EQ("alpha.example", Text(Window.entryPage, 3002));
    EXPECT_EQ("user-alpha", Text(Window.entryPage, 3006));
    EXPECT_EQ("pw-alpha", Text(Window.entryPage, 3009));
    EXPECT_EQ("remark", Text(Window.entryPage, 3010));
    EXPECT_EQ(0u, RecordStore.current);
    ASSERT_EQ(3, ListRowCount());
    const char* names[] = {"alpha", "beta", "gamma"};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(names[row], ListCell(row, 0));
        EXPECT_EQ(std::string(names[row]) + ".example", ListCell(row, 1));
        EXPECT_EQ(std::string("user-") + names[row], ListCell(row, 2));
        EXPECT_EQ(std::string("pw-") + names[row], ListCell(row, 3));
    }
    // The database came from the folder the settings name.
    EXPECT_EQ(data.Path(), std::string(SettingsBlock.folder));
    EXPECT_EQ(0, ModifiedFlag);
}

// The database file decides which records exist; the settings' count only reports them,
// and the status line says when the two disagree.
TEST_F(MainWindowTest, StartUpShowsEveryRecordTheFileHoldsWhateverTheCount)
{
    const struct {
        uint32_t counted;
        int records; // in the file; -1 for no file
        bool settings; // false: no settings file, the database file in the program folder
        const char* status;
    } cases[] = {
        {2, 5, true, "All 5 records of the database file loaded; the settings counted 2"},
        {0, 1, true, "All 1 records of the database file loaded; the settings counted 0"},
        {3, 2, true, "Database file holds only 2 records"},
        {2, 2, true, "System record loaded"},
        {0, 0, true, ""},
        {0, -1, true, ""},
        {1, -1, true, "Database file not found: no records loaded"},
        {0, 3, false, "All 3 records of the database file loaded; the settings counted 0"},
        {0, 0, false, ""},
    };
    const char* names[] = {"a", "b", "c", "d", "e"};
    for (const auto& c : cases) {
        RemovePath(data.File("Kestal.dat"));
        RemovePath(program + "Kestal.dat");
        RemovePath(SettingsPath());
        std::string folder = c.settings ? data.Path() : program;
        if (c.settings)
            WriteSettingsFile(program, c.counted, data.Path());
        if (c.records >= 0)
            WriteDatabaseFile(folder, std::vector<std::string>(names, names + c.records));
        Restart();
        SCOPED_TRACE(std::to_string(c.counted) + " counted, " + std::to_string(c.records) + " in the file" +
                     (c.settings ? "" : ", no settings file"));
        EXPECT_TRUE(boxes.Take().empty());
        EXPECT_EQ(c.status, StatusLineText(main));
        EXPECT_EQ(folder, std::string(SettingsBlock.folder));
        size_t held = c.records < 0 ? 0 : (size_t)c.records;
        EXPECT_EQ(held, SettingsBlock.count);
        EXPECT_EQ(std::vector<std::string>(names, names + held), Rows());
        // Without a file the page stays as at a first start, its count field empty.
        EXPECT_EQ(c.records < 0 ? "" : std::to_string(held), Text(Window.entryPage, 3019));
        EXPECT_EQ(held == 0 ? "" : "a", Text(Window.entryPage, 3001));
        EXPECT_EQ(0, ModifiedFlag);
    }
    RemovePath(program + "Kestal.dat");
}

TEST_F(MainWindowTest, StartWithAnImpossibleCountLoadsNothing)
{
    WriteSettingsFile(program, 5000, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b"});
    Start();
    EXPECT_EQ("Error loading system record", OnlyBoxText());
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(program, std::string(SettingsBlock.folder));
    EXPECT_STREQ("", RecordStore.slots[0].website);
    EXPECT_EQ(0, ListRowCount());
    EXPECT_EQ("", StatusLineText(main));
}

TEST_F(MainWindowTest, StartWithAnUnreadableSettingsFileReportsIt)
{
    MakeFolder(SettingsPath()); // a folder where the file should be: open gives 5
    Start();
    EXPECT_EQ("Error loading system record", OnlyBoxText());
}

TEST_F(MainWindowTest, SaveDatabaseCommandWritesBothFilesExactly)
{
    StartWith({"a", "b"});
    AddUnsaved("c");
    Command(10002);
    EXPECT_EQ("Database saved", OnlyBoxText());
    EXPECT_EQ(TableImage(3), ReadBytes(data.File("Kestal.dat")));
    EXPECT_EQ(SettingsImage(), ReadBytes(data.File("KSys.dat")));
    std::vector<unsigned char> settings = ReadBytes(data.File("KSys.dat"));
    ASSERT_EQ(320u, settings.size());
    EXPECT_EQ(3u, settings[0]);
    EXPECT_EQ(1, ModifiedFlag); // the save command leaves the flag alone
    EXPECT_TRUE(IsOpen());
}

TEST_F(MainWindowTest, SaveDatabaseCommandWhenOnlyTheSettingsFail)
{
    StartWith({"a", "b"});
    std::vector<unsigned char> oldDatabase = ReadBytes(data.File("Kestal.dat"));
    MakeFolder(data.File("KSys.dat"));
    AddUnsaved("c");
    Command(10002);
    EXPECT_EQ("Error saving system record", OnlyBoxText());
    EXPECT_EQ(TableImage(3), ReadBytes(data.File("Kestal.dat")));
    EXPECT_NE(oldDatabase, ReadBytes(data.File("Kestal.dat")));
}

TEST_F(MainWindowTest, LoadDatabaseCommandReadsEveryRecordOfTheFile)
{
    StartWith({"a", "b"});
    WriteDatabaseFile(data.Path(), {"x", "y", "z"});
    Command(10003);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ(3u, SettingsBlock.count);
    // The page and the list show what was read: Delete acts on the record shown.
    EXPECT_EQ((std::vector<std::string>{"x", "y", "z"}), Rows());
    EXPECT_EQ("x", Text(Window.entryPage, 3001));
    EXPECT_EQ("3", Text(Window.entryPage, 3019));

    // Fewer records than in memory: nothing of the records before shows through.
    WriteDatabaseFile(data.Path(), {"p"});
    Command(10003);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(std::vector<std::string>{"p"}, Rows());
    EXPECT_STREQ("", RecordStore.slots[1].website);
    EXPECT_EQ("p", Text(Window.entryPage, 3001));
}

TEST_F(MainWindowTest, LoadDatabaseCommandMessagesByResult)
{
    Start();
    std::strcpy(SettingsBlock.folder, data.Path().c_str());
    Command(10003); // no file: nothing to say
    EXPECT_TRUE(boxes.Take().empty());
    WriteDatabaseFile(data.Path(), {"a"});
    Command(10003); // a count of 0 in memory does not stop the read
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_STREQ("a", RecordStore.slots[0].website);
    EXPECT_EQ(1u, SettingsBlock.count);
    RemovePath(data.File("Kestal.dat"));
    MakeFolder(data.File("Kestal.dat"));
    Command(10003);
    EXPECT_EQ("Load Error: Unable to load database", OnlyBoxText());
    EXPECT_EQ(1u, SettingsBlock.count) << "a failed load keeps the records";
}

TEST_F(MainWindowTest, LoadAndSaveSettingsCommandsAreSilent)
{
    Start();
    WriteSettingsFile(program, 2, data.Path(), "pw");
    Command(10005);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(0u, SettingsBlock.count) << "the records in memory keep their count";
    EXPECT_EQ(data.Path(), std::string(SettingsBlock.folder));
    EXPECT_STREQ("pw", SettingsBlock.password);
    EXPECT_EQ(data.Path(), Text(Window.configPage, 2003)) << "the folder in use is shown";
    EXPECT_EQ(0, ListRowCount()); // nothing redrawn

    SettingsBlock.count = 0;
    Command(10006);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(SettingsImage(), ReadBytes(data.File("KSys.dat")));
}

TEST_F(MainWindowTest, OkWithoutChangesClosesWithoutWriting)
{
    StartWith({"a"});
    RemovePath(data.File("Kestal.dat"));
    Command(IDOK);
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(Exists(data.File("Kestal.dat")));
    EXPECT_FALSE(Exists(data.File("KSys.dat")));
}

TEST_F(MainWindowTest, OkWithChangesSavesBothThenCloses)
{
    StartWith({"a"});
    AddUnsaved("b");
    Command(IDOK);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ("System record saved", StatusLineText(main));
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(0, ModifiedFlag);
    EXPECT_EQ(TableImage(2), ReadBytes(data.File("Kestal.dat")));
    EXPECT_EQ(SettingsImage(), ReadBytes(data.File("KSys.dat")));
}

TEST_F(MainWindowTest, OkWhoseSettingsSaveFailsStaysOpenAndKeepsTheChanges)
{
    StartWith({"a"});
    MakeFolder(data.File("KSys.dat"));
    AddUnsaved("b");
    Command(IDOK);
    EXPECT_EQ("Error saving system record", OnlyBoxText());
    EXPECT_EQ("Error saving system record", StatusLineText(main));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(1, ModifiedFlag);
    // Once the obstacle is gone the same command saves and closes.
    RemovePath(data.File("KSys.dat"));
    Command(IDOK);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
}

TEST_F(MainWindowTest, QuitSavesWhenModifiedThenCloses)
{
    StartWith({"a"});
    AddUnsaved("b");
    Click(main, 1001);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(TableImage(2), ReadBytes(data.File("Kestal.dat")));
}

TEST_F(MainWindowTest, QuitWithoutChangesJustCloses)
{
    Start();
    Click(main, 1001);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
    EXPECT_FALSE(Exists(program + "KSys.dat"));
}

TEST_F(MainWindowTest, QuitWhoseSaveFailsStaysOpen)
{
    StartWith({"a"});
    AddUnsaved("b");
    std::strcpy(SettingsBlock.folder, data.File("missing").c_str());
    Click(main, 1001);
    EXPECT_EQ("Write Error: Opening file for write operation", OnlyBoxText());
    EXPECT_TRUE(IsOpen());
}

TEST_F(MainWindowTest, MenuItemsReachTheCommands)
{
    StartWith({"a"});
    WriteDatabaseFile(data.Path(), {"from-disk"});
    Command(1010); // Load Database
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_STREQ("from-disk", RecordStore.slots[0].website);

    WriteSettingsFile(data.Path(), 0, data.Path(), "pw");
    Command(1011); // Load System Record: the password, not the count
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_STREQ("pw", SettingsBlock.password);
    EXPECT_EQ(1u, SettingsBlock.count);

    AddUnsaved("x");
    Command(1012); // Save Database
    EXPECT_EQ("Database saved", OnlyBoxText());
    EXPECT_EQ(TableImage(2), ReadBytes(data.File("Kestal.dat")));

    SettingsBlock.count = 0;
    Command(1013); // Save System Record: the count of the file, not of memory
    EXPECT_TRUE(boxes.Take().empty());
    std::vector<unsigned char> settings = ReadBytes(data.File("KSys.dat"));
    ASSERT_EQ(320u, settings.size());
    EXPECT_EQ(2u, settings[0]);
    EXPECT_EQ(0u, SettingsBlock.count);

    Command(1900); // About
    std::string about = OnlyBoxText();
    EXPECT_NE(std::string::npos, about.find("Password Kestal"));
    EXPECT_NE(std::string::npos, about.find("Version"));
    EXPECT_TRUE(IsOpen());

    SettingsBlock.count = 2;
    Command(1014); // Exit: saves the unsaved add, then closes
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
}

TEST_F(MainWindowTest, CommandsOneAndTwoNeedNotificationZero)
{
    Start();
    AddUnsaved("a");
    Command(MAKEWPARAM(IDOK, 1));
    Command(MAKEWPARAM(IDCANCEL, 1));
    Command(MAKEWPARAM(10101, 1));
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(boxes.Take().empty());
    Command(10101);
    EXPECT_NE(std::string::npos, OnlyBoxText().find("Version"));
}

TEST_F(MainWindowTest, ListViewIsSetUpWithFourFlatColumns)
{
    Start();
    const char* titles[] = {"Website", "URL", "Username", "Password"};
    int widths[] = {200, 200, 150, 150};
    for (int i = 0; i < 4; ++i) {
        char buffer[64] = "";
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = buffer;
        column.cchTextMax = sizeof(buffer);
        ASSERT_TRUE(SendMessageA(ListView, LVM_GETCOLUMNA, i, (LPARAM)&column));
        EXPECT_STREQ(titles[i], buffer);
        EXPECT_EQ(widths[i], column.cx);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    HWND header = (HWND)SendMessageA(ListView, LVM_GETHEADER, 0, 0);
    EXPECT_EQ(0, GetWindowLongA(header, GWL_STYLE) & HDS_BUTTONS);
    EXPECT_EQ(0x33, (int)SendMessageA(ListView, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), (COLORREF)SendMessageA(ListView, LVM_GETTEXTCOLOR, 0, 0));
    EXPECT_EQ(RGB(255, 255, 255), (COLORREF)SendMessageA(ListView, LVM_GETBKCOLOR, 0, 0));
    EXPECT_EQ((COLORREF)0xA6F7F0, (COLORREF)SendMessageA(ListView, LVM_GETTEXTBKCOLOR, 0, 0));
}
