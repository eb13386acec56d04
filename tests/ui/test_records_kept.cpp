// No record is lost or changed without a word: a database this run has not read, or that
// changed since, is replaced only when the user says so; what the entry page shows is what
// Delete acts on; what is typed or pasted is stored whole, or refused with a message.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

namespace {

const char kQuestion[] = "The database file in this folder was not loaded or has changed since. Overwrite it?";
const char kFieldFull[] = "This field holds no more characters";
const char kEntryRefused[] = "The entry holds characters that cannot be stored. Please change them";

class RecordsKeptTest : public WindowTest {
protected:
    // Types a complete entry on the entry page and presses "Add".
    void AddTyped(const char* website, const char* url)
    {
        HWND page = Window.entryPage;
        SetDlgItemTextA(page, 3001, website);
        SetDlgItemTextA(page, 3002, url);
        SetDlgItemTextA(page, 3006, "me");
        SetDlgItemTextA(page, 3009, "pw");
        SetDlgItemTextA(page, 3010, "");
        Click(page, 3012);
    }
    // The overwrite question (Yes/No, No the default) and the texts of the boxes after it.
    std::vector<std::string> ExpectQuestionThen() { return QuestionThen(kQuestion, {IDYES, IDNO}, IDNO); }
    using Texts = std::vector<std::string>;
    // Puts text on the clipboard and pastes it into field id of page, as Ctrl+V does.
    void Paste(HWND page, int id, const std::wstring& text)
    {
        ASSERT_TRUE(OpenClipboard(main));
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        HWND field = GetDlgItem(page, id);
        SendMessageA(field, EM_SETSEL, 0, -1);
        SendMessageA(field, WM_PASTE, 0, 0);
    }
    std::string Settings() const { return data.File("KSys.dat"); }
    std::string Database() const { return data.File("Kestal.dat"); }
};

} // namespace

TEST_F(RecordsKeptTest, DatabaseHeldDuringStartUpIsReportedAndNeverOverwrittenUnasked)
{
    WriteSettingsFile(program, 2, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b"});
    std::vector<unsigned char> records = ReadBytes(Database());
    StartWithTheDatabaseHeld();
    EXPECT_EQ("Load Error: Unable to load database", OnlyBoxText());
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(0, ListRowCount());
    EXPECT_EQ("", StatusLineText(main));

    AddTyped("c", "c.example");
    boxes.Queue(IDNO);
    Command(IDOK);
    EXPECT_EQ(Texts{}, ExpectQuestionThen()); // and nothing more
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(1, ModifiedFlag);
    EXPECT_EQ(records, ReadBytes(Database()));
    EXPECT_FALSE(Exists(Settings()));

    boxes.Queue(IDYES);
    Command(IDOK);
    EXPECT_EQ(Texts{"System record saved"}, ExpectQuestionThen());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(TableImage(1), ReadBytes(Database()));
}

TEST_F(RecordsKeptTest, BrowsingToAFolderThatHoldsADatabaseAsksBeforeReplacingIt)
{
    Start();
    TempFolder other;
    WriteDatabaseFile(other.Path(), {"x", "y"});
    WriteSettingsFile(other.Path(), 2, other.Path());
    std::vector<unsigned char> records = ReadBytes(other.File("Kestal.dat"));
    std::vector<unsigned char> settings = ReadBytes(other.File("KSys.dat"));
    std::string chosen = other.Path();
    chosen.pop_back(); // the picker gives folders without a trailing backslash
    boxes.QueueFolder(chosen);
    Click(Window.configPage, 2004);
    ASSERT_EQ(1u, boxes.TakePickers().size());
    ASSERT_EQ(chosen, std::string(SettingsBlock.folder));

    AddTyped("new", "new.example");
    boxes.Queue(IDNO);
    Command(1014); // File > Exit
    EXPECT_EQ(Texts{}, ExpectQuestionThen()); // and nothing more
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(records, ReadBytes(other.File("Kestal.dat")));
    EXPECT_EQ(settings, ReadBytes(other.File("KSys.dat")));

    boxes.Queue(IDYES);
    Command(1014);
    EXPECT_EQ(Texts{"System record saved"}, ExpectQuestionThen());
    EXPECT_EQ(TableImage(1), ReadBytes(other.File("Kestal.dat")));
}

TEST_F(RecordsKeptTest, ADatabaseChangedFromOutsideSinceTheLoadIsNotReplacedUnasked)
{
    WriteSettingsFile(program, 2, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b"});
    Start();
    EXPECT_EQ("System record loaded", StatusLineText(main));
    // Another copy of the program saved its own addition meanwhile.
    WriteDatabaseFile(data.Path(), {"a", "b", "theirs"});
    std::vector<unsigned char> theirs = ReadBytes(Database());

    AddTyped("mine", "mine.example");
    boxes.Queue(IDNO);
    Command(10002); // save database
    EXPECT_EQ(Texts{}, ExpectQuestionThen()); // and nothing more
    EXPECT_EQ(theirs, ReadBytes(Database()));
    EXPECT_FALSE(Exists(Settings()));

    boxes.Queue(IDYES);
    Command(10002);
    EXPECT_EQ(Texts{"Database saved"}, ExpectQuestionThen());
    EXPECT_EQ(TableImage(3), ReadBytes(Database()));

    // Written by this run: the next save asks nothing.
    Command(10002);
    EXPECT_EQ("Database saved", OnlyBoxText());
}

TEST_F(RecordsKeptTest, DeleteRightAfterStartUpRemovesTheRecordShown)
{
    WriteSettingsFile(program, 3, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b", "c"});
    Start();
    EXPECT_EQ("a", Text(Window.entryPage, 3001));
    Delete(IDYES);
    ASSERT_EQ(2u, SettingsBlock.count);
    EXPECT_STREQ("b", RecordStore.slots[0].website);
    EXPECT_STREQ("c", RecordStore.slots[1].website);
}

TEST_F(RecordsKeptTest, PastedTextIsKeptWholeUpToWhatTheRecordHolds)
{
    Start();
    HWND page = Window.entryPage;
    for (int id : {3001, 3002, 3006, 3009, 3010})
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, id), GWL_STYLE) & ES_AUTOHSCROLL) << id;

    const std::string password32 = "Abcdefghij0123456789KLMNOPQRST!?";
    SetDlgItemTextA(page, 3002, "site.example");
    SetDlgItemTextA(page, 3006, "me");
    Paste(page, 3009, std::wstring(password32.begin(), password32.end()));
    EXPECT_EQ("", StatusLineText(main));
    Click(page, 3012);
    ASSERT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(password32, RecordStore.slots[0].password);

    // Past the limit: the field keeps what the record holds, and says so.
    Paste(page, 3009, std::wstring(70, L'p'));
    EXPECT_EQ(std::string(62, 'p'), Text(page, 3009));
    EXPECT_EQ(kFieldFull, StatusLineText(main));
    Paste(page, 3001, std::wstring(200, L'w'));
    EXPECT_EQ(std::string(126, 'w'), Text(page, 3001));

    // The settings file keeps 60 characters of the password: so do its two fields.
    for (int id : {2007, 2009}) {
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(Window.configPage, id), GWL_STYLE) & ES_AUTOHSCROLL) << id;
        Paste(Window.configPage, id, std::wstring(61, L'c'));
        EXPECT_EQ(std::string(60, 'c'), Text(Window.configPage, id));
    }
}

TEST_F(RecordsKeptTest, TextTheCodePageCannotHoldIsRefusedNotStoredAsQuestionMarks)
{
    ASSERT_EQ(1252u, GetACP()) << "the byte checks below are Windows-1252's";
    Start();
    HWND page = Window.entryPage;
    SetDlgItemTextA(page, 3002, "site.example");
    SetDlgItemTextA(page, 3006, "me");
    SetDlgItemTextW(page, 3009, L"\x043F\x0430\x0440\x043E\x043B\x044C"); // Cyrillic "parol"
    Click(page, 3012);
    EXPECT_EQ(kEntryRefused, StatusLineText(main));
    EXPECT_EQ(0u, SettingsBlock.count);
    EXPECT_EQ(0, ModifiedFlag);
    EXPECT_TRUE(boxes.Take().empty());

    // Letters of the code page are stored as their own bytes.
    SetDlgItemTextW(page, 3009, L"caf\x00E9 \x20AC");
    Click(page, 3012);
    ASSERT_EQ(1u, SettingsBlock.count);
    EXPECT_STREQ("caf\xE9 \x80", RecordStore.slots[0].password);

    // "Accept" refuses such a password and keeps the one in force.
    std::strcpy(SettingsBlock.password, "old");
    SetDlgItemTextW(Window.configPage, 2007, L"\x043F\x0430");
    SetDlgItemTextW(Window.configPage, 2009, L"\x043F\x0430");
    Click(Window.configPage, 2011);
    EXPECT_EQ("The password holds characters that cannot be stored. Please re-enter it", OnlyBoxText());
    EXPECT_STREQ("old", SettingsBlock.password);
}
