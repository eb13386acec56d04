// The program's everyday commands never lose, hide or misplace a record: a delete is saved
// and never hidden by the settings, settings saved on their own keep the count the file
// holds, the settings beside the program follow the records to their folder, start-up
// shows only records the file holds, and closing or reloading asks before dropping
// unsaved changes. Each case checks the files' bytes, and most start the program again.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

using Texts = std::vector<std::string>;

const char kLoadQuestion[] = "Loading the database replaces the records not yet saved. Load it?";

class NothingLostTest : public WindowTest {
protected:
    std::string Database() const { return data.File("Kestal.dat"); }
};

} // namespace

TEST_F(NothingLostTest, ADeleteIsSavedAtExitAndNeverHiddenByASettingsSave)
{
    StartWith({"a", "b", "c"});
    EXPECT_EQ(Texts{}, Delete(IDYES)); // record 0, shown after start-up
    EXPECT_EQ((Texts{"b", "c"}), Rows());

    // File > Save System Record writes the count of the file, which still holds 3.
    Command(1013);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(3u, CountIn(SettingsPath()));
    EXPECT_EQ(2u, SettingsBlock.count);
    Restart();
    EXPECT_EQ((Texts{"a", "b", "c"}), Rows()) << "every record of the file is shown again";

    // Delete, then File > Exit saves the smaller table and its count.
    EXPECT_EQ(Texts{}, Delete(IDYES));
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_FALSE(IsOpen());
    std::vector<unsigned char> saved = ReadBytes(Database());
    ASSERT_EQ(2u * 512, saved.size());
    EXPECT_STREQ("b", (const char*)&saved[0]);
    EXPECT_STREQ("c", (const char*)&saved[512]);
    EXPECT_EQ(2u, CountIn(SettingsPath()));
    Restart();
    EXPECT_EQ((Texts{"b", "c"}), Rows());
}

TEST_F(NothingLostTest, SaveConfigurationAfterAHeldStartUpKeepsTheRecordsOnDisk)
{
    WriteSettingsFile(program, 2, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b"});
    StartWithTheDatabaseHeld();
    EXPECT_EQ("Load Error: Unable to load database", OnlyBoxText());
    EXPECT_EQ(0u, SettingsBlock.count);

    Click(Window.configPage, 2010); // Save Configuration
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(2u, CountIn(SettingsPath()));
    Restart();
    EXPECT_EQ((Texts{"a", "b"}), Rows());
}

TEST_F(NothingLostTest, RecordsSavedInABrowsedFolderAreFoundAtTheNextStart)
{
    StartWith({"a"});
    TempFolder other;
    std::string chosen = other.Path();
    chosen.pop_back(); // the picker gives folders without a trailing backslash
    boxes.QueueFolder(chosen);
    Click(Window.configPage, 2004);
    ASSERT_EQ(1u, boxes.TakePickers().size());
    AddTyped("new");
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ(TableImage(2), ReadBytes(other.File("Kestal.dat")));
    // The settings beside the program are the folder's own, byte for byte.
    EXPECT_EQ(ReadBytes(other.File("KSys.dat")), ReadBytes(SettingsPath()));
    EXPECT_EQ(chosen, FolderIn(SettingsPath()));

    Restart();
    EXPECT_EQ((Texts{"a", "new"}), Rows());
    EXPECT_EQ("System record loaded", StatusLineText(main));

    // File > Save Database does the same; a save of the settings alone does not.
    std::vector<unsigned char> beside = ReadBytes(SettingsPath());
    Command(1013);
    EXPECT_EQ(beside, ReadBytes(SettingsPath()));
    AddTyped("third");
    Command(10002);
    EXPECT_EQ("Database saved", OnlyBoxText());
    EXPECT_EQ(3u, CountIn(SettingsPath()));
}

TEST_F(NothingLostTest, AProgramFolderThatCannotTakeTheSettingsDoesNotUndoTheSave)
{
    StartWith({"a"});
    TempFolder other;
    boxes.QueueFolder(other.Path());
    Click(Window.configPage, 2004);
    ASSERT_EQ(1u, boxes.TakePickers().size());
    RemovePath(SettingsPath());
    MakeFolder(SettingsPath()); // as a read-only program folder would, the write fails
    AddTyped("new");
    Command(1014);
    // The window closes, and its status line with it: the warning comes in a box too.
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("System record saved", seen[0].text);
    EXPECT_EQ("The settings could not be saved beside Kestal.exe", seen[1].text);
    EXPECT_EQ("The settings could not be saved beside Kestal.exe", StatusLineText(main));
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(TableImage(2), ReadBytes(other.File("Kestal.dat")));
    EXPECT_EQ(2u, CountIn(other.File("KSys.dat")));
}

TEST_F(NothingLostTest, StartUpShowsOnlyTheRecordsTheFileHolds)
{
    // No database file, then no database folder: nothing blank is shown.
    for (std::string folder : {data.Path(), data.File("gone\\")}) {
        WriteSettingsFile(program, 3, folder);
        Restart();
        EXPECT_TRUE(boxes.Take().empty());
        EXPECT_EQ(0u, SettingsBlock.count);
        EXPECT_EQ(0, ListRowCount());
        EXPECT_EQ("Database file not found: no records loaded", StatusLineText(main));
    }
    // An addition then saves that one record only.
    WriteSettingsFile(program, 3, data.Path());
    Restart();
    AddTyped("only");
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ(512u, ReadBytes(Database()).size());

    // A file shorter than the count: one record and 100 bytes of a second, of 3 counted.
    WriteDatabaseFile(data.Path(), {"a", "b"});
    std::vector<unsigned char> bytes = ReadBytes(Database());
    bytes.resize(512 + 100);
    WriteBytes(Database(), bytes);
    WriteSettingsFile(program, 3, data.Path());
    Restart();
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ((Texts{"a", "b"}), Rows());
    EXPECT_EQ("Database file holds only 2 records", StatusLineText(main));
    EXPECT_STREQ("b", RecordStore.slots[1].website); // in the 100 bytes the file holds
    EXPECT_STREQ("", RecordStore.slots[1].url) << "the bytes the file lacks are zero";
    // Nothing changed: closing asks nothing and writes nothing.
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(bytes, ReadBytes(Database()));
}

TEST_F(NothingLostTest, TheCloseBoxAndEscapeAskBeforeDroppingChanges)
{
    for (UINT how : {(UINT)WM_CLOSE, (UINT)IDCANCEL}) {
        WriteSettingsFile(program, 1, data.Path());
        WriteDatabaseFile(data.Path(), {"a"});
        Restart();
        std::vector<unsigned char> before = ReadBytes(Database());
        // Without changes: closed at once, nothing asked.
        if (how == WM_CLOSE)
            SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            Command(IDCANCEL);
        EXPECT_TRUE(boxes.Take().empty()) << how;
        EXPECT_FALSE(IsOpen()) << how;

        Restart();
        AddTyped("b");
        ASSERT_EQ(1, ModifiedFlag);
        EXPECT_EQ(Texts{}, Close(how, IDCANCEL));
        EXPECT_TRUE(IsOpen()) << how;
        EXPECT_EQ(1, ModifiedFlag);
        EXPECT_EQ(before, ReadBytes(Database()));

        // Yes with a save that fails keeps the window open and the change unsaved.
        MakeFolder(data.File("KSys.dat.tmp"));
        EXPECT_EQ(Texts{"Error saving system record"}, Close(how, IDYES));
        RemovePath(data.File("KSys.dat.tmp"));
        EXPECT_TRUE(IsOpen()) << how;
        EXPECT_EQ(1, ModifiedFlag);

        EXPECT_EQ(Texts{"System record saved"}, Close(how, IDYES));
        EXPECT_FALSE(IsOpen()) << how;
        EXPECT_EQ(TableImage(2), ReadBytes(Database()));

        Restart();
        AddTyped("c");
        EXPECT_EQ(Texts{}, Close(how, IDNO));
        EXPECT_FALSE(IsOpen()) << how;
        EXPECT_EQ(TableImage(2), ReadBytes(Database())) << "No saves nothing";
        DestroyWindow(main);
        main = NULL;
    }
}

TEST_F(NothingLostTest, LoadDatabaseAsksBeforeReplacingUnsavedRecords)
{
    StartWith({"a"});
    WriteDatabaseFile(data.Path(), {"from-disk"});
    AddTyped("b");
    boxes.Queue(IDNO);
    Command(1010);
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kLoadQuestion, seen[0].text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), seen[0].buttons);
    EXPECT_EQ(IDNO, seen[0].defaultButton);
    EXPECT_STREQ("a", RecordStore.slots[0].website);
    EXPECT_EQ(2u, SettingsBlock.count);

    boxes.Queue(IDYES);
    Command(10003);
    seen = boxes.Take();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(kLoadQuestion, seen[0].text);
    EXPECT_EQ("Database loaded into memory", seen[1].text);
    EXPECT_STREQ("from-disk", RecordStore.slots[0].website);
}

// After File > Load Database the page shows what was read, so Delete removes a record the
// user saw; and what was read needs no save.
TEST_F(NothingLostTest, AfterALoadDeleteActsOnTheRecordShownAndNothingIsLeftToSave)
{
    StartWith({"a", "b", "c"});
    EXPECT_EQ(Texts{}, Delete(IDYES)); // memory: b, c
    boxes.Queue(IDYES);
    Command(1010); // Load Database: all 3 records of the file, more than the 2 in memory
    std::vector<BoxSeen> seen = boxes.Take();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("Database loaded into memory", seen[1].text);
    EXPECT_EQ((Texts{"a", "b", "c"}), Rows());
    EXPECT_EQ("a", Text(Window.entryPage, 3001));
    EXPECT_EQ(0, ModifiedFlag);
    Command(1014); // Exit: nothing to save, nothing asked
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
    Restart();
    EXPECT_EQ((Texts{"a", "b", "c"}), Rows());

    // Another folder's records loaded over these: the page shows them, Delete takes the one
    // shown.
    TempFolder other;
    WriteDatabaseFile(other.Path(), {"p", "q", "r"});
    boxes.QueueFolder(other.Path());
    Click(Window.configPage, 2004);
    ASSERT_EQ(1u, boxes.TakePickers().size());
    Command(1010);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ("p", Text(Window.entryPage, 3001));
    EXPECT_EQ(Texts{}, Delete(IDYES));
    EXPECT_EQ((Texts{"q", "r"}), Rows());
}

TEST_F(NothingLostTest, AFailedLoadOfAHeldFileRaisesNoFalseAlarmAtTheNextSave)
{
    StartWith({"a", "b"});
    HANDLE held = CreateFileA(Database().c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Command(1010);
    CloseHandle(held);
    EXPECT_EQ("Load Error: Unable to load database", OnlyBoxText());
    Command(1012); // File > Save Database: nothing changed on disk, so nothing to ask
    EXPECT_EQ("Database saved", OnlyBoxText());
    EXPECT_EQ(TableImage(2), ReadBytes(Database()));
}

TEST_F(NothingLostTest, DisplayOnlyFieldsTakeNoTyping)
{
    StartWith({"a", "b", "c"});
    HWND page = Window.entryPage;
    for (int id : {3022, 3019}) {
        HWND field = GetDlgItem(page, id);
        SendMessageA(field, WM_CHAR, '3', 1);
        SendMessageA(field, WM_PASTE, 0, 0);
    }
    std::string path = Text(Window.configPage, 2003);
    SendMessageA(GetDlgItem(Window.configPage, 2003), WM_CHAR, 'x', 1);
    EXPECT_EQ("0", Text(page, 3022));
    EXPECT_EQ("3", Text(page, 3019));
    EXPECT_EQ(path, Text(Window.configPage, 2003));
    EXPECT_EQ(Texts{}, Delete(IDYES));
    EXPECT_EQ((Texts{"b", "c"}), Rows()) << "Delete removes the record shown, 0";
}
