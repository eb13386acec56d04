// The records are the records the database file holds; the settings' count only reports
// them. Load System Record keeps the records in memory, Load Database reads every record of
// the folder in use, and a folder chosen with Browse is a change that closing saves or asks
// about. Each case checks the files' bytes.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "main_window.h"
#include "messages.h"
#include "ui_harness.h"
#include "views.h"

namespace {

using Texts = std::vector<std::string>;

const char kOverwrite[] = "The database file in this folder was not loaded or has changed since. Overwrite it?";
const char kMoreThan1024[] = "The database file holds more than 1024 records: the first 1024 loaded";

class FileRecordsTest : public WindowTest {
protected:
    // Chooses folder with "Browse" (given as the picker gives it, without the trailing
    // backslash).
    void Browse(std::string folder)
    {
        if (folder.size() > 3 && folder.back() == '\\')
            folder.pop_back();
        boxes.QueueFolder(folder);
        Click(Window.configPage, 2004);
        ASSERT_EQ(1u, boxes.TakePickers().size());
    }
    // The websites of the records a database file holds, checking that it holds whole
    // records only.
    static Texts WebsitesIn(const std::string& path)
    {
        std::vector<unsigned char> bytes = ReadBytes(path);
        EXPECT_EQ(0u, bytes.size() % 512) << path;
        Texts websites;
        for (size_t at = 0; at + 512 <= bytes.size(); at += 512)
            websites.push_back(std::string((const char*)&bytes[at], strnlen((const char*)&bytes[at], 128)));
        return websites;
    }
    std::string Database() const { return data.File("Kestal.dat"); }
};

Texts Names(const char* prefix, int count)
{
    Texts names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}

} // namespace

// Load System Record takes the folder and the password and leaves the records as they are:
// an add or a delete before it is saved whole by Exit, with no blank record and nothing lost.
TEST_F(FileRecordsTest, LoadSystemRecordKeepsTheRecordsAfterAnAddAndADelete)
{
    WriteSettingsFile(data.Path(), 1, data.Path(), "secret");
    StartWith({"a"});
    AddTyped("b");
    Command(1011); // File > Load System Record
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_STREQ("secret", SettingsBlock.password);
    EXPECT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ((Texts{"a", "b"}), Rows());
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ((Texts{"a", "b"}), WebsitesIn(Database()));
    EXPECT_EQ(2u, CountIn(data.File("KSys.dat")));

    WriteDatabaseFile(data.Path(), {"a", "b", "c"});
    WriteSettingsFile(program, 3, data.Path());
    WriteSettingsFile(data.Path(), 3, data.Path());
    Restart();
    EXPECT_EQ(Texts{}, Delete(IDYES));
    Command(10005); // the same command by its id
    EXPECT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ((Texts{"b", "c"}), Rows());
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ((Texts{"b", "c"}), WebsitesIn(Database()));
    EXPECT_EQ(2u, CountIn(data.File("KSys.dat")));
    EXPECT_EQ(2u, CountIn(SettingsPath()));

    // Settings that name another folder: the records are not there yet, as after Browse.
    Restart();
    EXPECT_EQ(0, RecordsUnsaved());
    WriteSettingsFile(data.Path(), 2, program);
    Command(1011);
    EXPECT_EQ(program, std::string(SettingsBlock.folder));
    EXPECT_EQ(1, RecordsUnsaved());
}

// Settings that count fewer records than the file holds, or none: every record is shown,
// and the next save writes them all with the right count, without the overwrite question
// (the file was read whole).
TEST_F(FileRecordsTest, ACountBelowTheFileIsMendedByTheNextSaveWithoutAQuestion)
{
    for (uint32_t counted : {2u, 0u}) {
        WriteSettingsFile(program, counted, data.Path());
        WriteDatabaseFile(data.Path(), {"a", "b", "c", "d", "e"});
        Restart();
        EXPECT_EQ("All 5 records of the database file loaded; the settings counted " + std::to_string(counted),
                  StatusLineText(main));
        AddTyped("f");
        Command(1014);
        EXPECT_EQ("System record saved", OnlyBoxText()) << counted;
        EXPECT_EQ((Texts{"a", "b", "c", "d", "e", "f"}), WebsitesIn(Database()));
        EXPECT_EQ(6u, CountIn(data.File("KSys.dat")));
        EXPECT_EQ(6u, CountIn(SettingsPath()));
    }
}

// Browse to a folder holding more records than memory, Load Database (no question: loading
// that folder is what choosing it is for), Delete, Exit: that folder's records less the one
// deleted, and the records of the first folder untouched.
TEST_F(FileRecordsTest, LoadDatabaseInABrowsedFolderWithMoreRecordsThenDeleteAndExit)
{
    StartWith({"a", "b"});
    std::vector<unsigned char> first = ReadBytes(Database());
    TempFolder other;
    WriteDatabaseFile(other.Path(), {"p", "q", "r", "s", "t"});
    Browse(other.Path());
    Command(1010);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ((Texts{"p", "q", "r", "s", "t"}), Rows());
    EXPECT_EQ("5", Text(Window.entryPage, 3019));
    EXPECT_EQ(Texts{}, Delete(IDYES));
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ((Texts{"q", "r", "s", "t"}), WebsitesIn(other.File("Kestal.dat")));
    EXPECT_EQ(4u, CountIn(other.File("KSys.dat")));
    EXPECT_EQ(first, ReadBytes(Database()));
    Restart();
    EXPECT_EQ((Texts{"q", "r", "s", "t"}), Rows());
}

// Browse to a folder holding fewer records than memory, Load Database, add, Exit: that
// folder's records and the addition, nothing of the records loaded before.
TEST_F(FileRecordsTest, LoadDatabaseInABrowsedFolderWithFewerRecordsThenAddAndExit)
{
    StartWith(Names("m", 8));
    TempFolder other;
    WriteDatabaseFile(other.Path(), {"p"});
    Browse(other.Path());
    Command(10003);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ(Texts{"p"}, Rows());
    AddTyped("n");
    Click(main, 1001); // Quit
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ((Texts{"p", "n"}), WebsitesIn(other.File("Kestal.dat")));
    EXPECT_EQ(Names("m", 8), WebsitesIn(Database()));
}

// A file of 1030 records: the first 1024 are shown, the status line says so, and since the
// file was not read whole a save asks before it replaces it.
TEST_F(FileRecordsTest, AFileOfMoreThan1024RecordsLoadsTheFirst1024AndASaveAsks)
{
    Texts names = Names("r", 1030);
    WriteDatabaseFile(data.Path(), names);
    WriteSettingsFile(program, 1024, data.Path());
    std::vector<unsigned char> whole = ReadBytes(Database());
    Start();
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(kMoreThan1024, StatusLineText(main));
    EXPECT_EQ(1024u, SettingsBlock.count);
    ASSERT_EQ(1024, ListRowCount());
    EXPECT_EQ("r1023", ListCell(1023, 0));

    boxes.Queue(IDNO);
    Command(1012); // File > Save Database
    EXPECT_EQ(Texts{}, QuestionThen(kOverwrite, {IDYES, IDNO}, IDNO));
    EXPECT_EQ(whole, ReadBytes(Database()));

    // File > Load Database says the same, in its box and on the status line.
    SetStatus("");
    Command(1010);
    EXPECT_EQ("Database loaded into memory", OnlyBoxText());
    EXPECT_EQ(kMoreThan1024, StatusLineText(main));

    EXPECT_EQ(Texts{}, Delete(IDYES));
    boxes.Queue(IDYES);
    Command(1014);
    EXPECT_EQ(Texts{"System record saved"}, QuestionThen(kOverwrite, {IDYES, IDNO}, IDNO));
    EXPECT_EQ(Texts(names.begin() + 1, names.begin() + 1024), WebsitesIn(Database()));
}

// A folder chosen with Browse is a change at close: the close box asks, No writes nothing,
// Yes saves the records there and the next start opens it. Choosing the folder in use, or
// one the picker's answer cannot be used for, changes nothing.
TEST_F(FileRecordsTest, AFolderChosenWithBrowseIsSavedOrAskedAboutAtClose)
{
    StartWith({"a"});
    std::vector<unsigned char> beside = ReadBytes(SettingsPath());
    TempFolder other;
    Browse(other.Path());
    EXPECT_EQ(0, ModifiedFlag);
    EXPECT_EQ(1, RecordsUnsaved());
    EXPECT_EQ(Texts{}, Close(WM_CLOSE, IDNO));
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(Texts{}, Entries(other.Path()));
    EXPECT_EQ(beside, ReadBytes(SettingsPath()));

    Restart();
    EXPECT_EQ(data.Path(), Text(Window.configPage, 2003));
    Browse(other.Path());
    EXPECT_EQ(Texts{}, Close(IDCANCEL, IDCANCEL)); // Escape, then Cancel: kept open
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(Texts{"System record saved"}, Close(WM_CLOSE, IDYES));
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(Texts{"a"}, WebsitesIn(other.File("Kestal.dat")));
    std::string chosen = other.Path();
    chosen.pop_back();
    EXPECT_EQ(chosen, FolderIn(SettingsPath()));
    Restart();
    EXPECT_EQ(chosen, std::string(SettingsBlock.folder));
    EXPECT_EQ(chosen, Text(Window.configPage, 2003));
    EXPECT_EQ(Texts{"a"}, Rows());

    // The folder in use chosen again, or another one and back: nothing to save.
    Browse(other.Path());
    EXPECT_EQ(0, RecordsUnsaved());
    Browse(data.Path());
    Browse(other.Path());
    EXPECT_EQ(0, RecordsUnsaved());
    // A folder whose path leaves no room for the file names is refused.
    std::string deep = other.Path();
    while (deep.size() + 41 < 244)
        deep += std::string(40, 'd') + "\\";
    deep += std::string(244 - deep.size(), 'e'); // 244 characters
    MakeFolder(deep);
    Browse(deep);
    EXPECT_EQ("The selected folder path is too long", OnlyBoxText());
    EXPECT_EQ(0, RecordsUnsaved());
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
}

// Exit into a chosen folder whose database this run never read asks before replacing it,
// even with no record changed; File > Save Database there ends the change.
TEST_F(FileRecordsTest, ExitIntoAChosenFolderAsksBeforeReplacingItsDatabase)
{
    StartWith({"a"});
    TempFolder other;
    WriteDatabaseFile(other.Path(), {"x", "y"});
    std::vector<unsigned char> theirs = ReadBytes(other.File("Kestal.dat"));
    Browse(other.Path());
    boxes.Queue(IDNO);
    Command(1014);
    EXPECT_EQ(Texts{}, QuestionThen(kOverwrite, {IDYES, IDNO}, IDNO));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(theirs, ReadBytes(other.File("Kestal.dat")));

    boxes.Queue(IDYES);
    Command(1012);
    EXPECT_EQ(Texts{"Database saved"}, QuestionThen(kOverwrite, {IDYES, IDNO}, IDNO));
    EXPECT_EQ(Texts{"a"}, WebsitesIn(other.File("Kestal.dat")));
    EXPECT_EQ(0, RecordsUnsaved());
    Command(1014);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
}
