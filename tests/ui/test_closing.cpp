// Nothing typed or unsaved goes with the window: the end of the Windows session saves the
// records without a box and holds the session up when it cannot; an entry typed and not
// added is asked about on every way to close; Delete after typing over the fields names the
// stored record it removes. Each case checks the files' bytes.
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

const char kTypedQuestion[] = "The entry typed on the entry page was not added. Close without adding it?";
const char kCloseQuestion[] = "Save the changes to the records before closing?";
const std::wstring kUnsavedReason = L"Password Kestal has unsaved records";
const std::wstring kTypedReason = L"Password Kestal has an entry typed and not added";

class ClosingTest : public WindowTest {
protected:
    void StartWith(const std::vector<std::string>& websites)
    {
        WriteSettingsFile(program, (uint32_t)websites.size(), data.Path());
        WriteDatabaseFile(data.Path(), websites);
        Start();
    }
    void TypeEntry(const char* website)
    {
        HWND page = Window.entryPage;
        SetDlgItemTextA(page, 3001, website);
        SetDlgItemTextA(page, 3002, (std::string(website) + ".example").c_str());
        SetDlgItemTextA(page, 3006, "me");
        SetDlgItemTextA(page, 3009, "pw");
    }
    void AddTyped(const char* website)
    {
        TypeEntry(website);
        Click(Window.entryPage, 3012);
    }
    // The system asks whether the session may end; the answer the window gives.
    LRESULT QueryEndSession() { return SendMessageA(main, WM_QUERYENDSESSION, 0, 0); }
    std::wstring Reason()
    {
        const WCHAR* reason = ShutdownBlockReason();
        return reason != NULL ? reason : L"";
    }
    std::vector<unsigned char> Database() { return ReadBytes(data.File("Kestal.dat")); }
    // The database file these websites make, as WriteDatabaseFile writes it.
    std::vector<unsigned char> DatabaseOf(const std::vector<std::string>& websites)
    {
        TempFolder scratch;
        WriteDatabaseFile(scratch.Path(), websites);
        return ReadBytes(scratch.File("Kestal.dat"));
    }
};

} // namespace

TEST_F(ClosingTest, TheEndOfTheSessionSavesUnsavedRecordsWithoutABox)
{
    // Nothing unsaved: the session may end, and nothing is written.
    StartWith({"a"});
    std::vector<unsigned char> before = Database();
    RemovePath(SettingsPath());
    EXPECT_EQ(TRUE, QueryEndSession());
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(before, Database());
    EXPECT_FALSE(Exists(SettingsPath()));
    EXPECT_EQ(L"", Reason());

    // An added record: both files and the copy beside the program, and no box.
    AddTyped("b");
    EXPECT_EQ(TRUE, QueryEndSession());
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(TableImage(2), Database());
    EXPECT_EQ(ReadBytes(data.File("KSys.dat")), ReadBytes(SettingsPath()));
    EXPECT_EQ(2u, ReadBytes(SettingsPath())[0]);
    EXPECT_EQ(0, RecordsUnsaved());
    EXPECT_EQ(L"", Reason());
    EXPECT_TRUE(IsOpen());

    // Another program ended the session after all: the window stays.
    SendMessageA(main, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(IsOpen());
    // The session ends: the window closes with no more boxes or saves.
    SendMessageA(main, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(boxes.Take().empty());
}

// Each way a save at the end of the session cannot go ahead without a question or fails:
// the session is held up with the reason, the records stay in memory unsaved and the file
// stays as it was; once the cause is gone, File > Exit saves them.
TEST_F(ClosingTest, ASaveThatCannotGoAheadHoldsTheSessionUpAndKeepsTheRecords)
{
    enum Cause { kHeld, kChangedOnDisk, kFolderGone };
    for (Cause cause : {kHeld, kChangedOnDisk, kFolderGone}) {
        SCOPED_TRACE(cause);
        WindowTest::TearDown();
        WindowTest::SetUp();
        StartWith({"a"});
        AddTyped("b");
        HANDLE held = INVALID_HANDLE_VALUE;
        std::string database = data.File("Kestal.dat");
        if (cause == kHeld)
            held = CreateFileA(database.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (cause == kChangedOnDisk)
            WriteDatabaseFile(data.Path(), {"x", "y", "z"});
        if (cause == kFolderGone)
            RemovePath(data.Path());
        std::vector<unsigned char> before = Exists(database) && cause != kHeld ? Database() : std::vector<unsigned char>();

        EXPECT_EQ(FALSE, QueryEndSession());
        EXPECT_TRUE(boxes.Take().empty());
        EXPECT_EQ(kUnsavedReason, Reason());
        EXPECT_EQ(1, RecordsUnsaved());
        EXPECT_EQ(2u, SettingsBlock.count);
        EXPECT_STREQ("b", RecordStore.slots[1].website);
        EXPECT_TRUE(IsOpen());

        if (cause == kHeld) {
            CloseHandle(held);
            EXPECT_EQ(DatabaseOf({"a"}), Database());
        } else if (cause == kChangedOnDisk) {
            EXPECT_EQ(before, Database());
            boxes.Queue(IDYES); // the overwrite question, now that someone is there
        } else {
            EXPECT_FALSE(Exists(data.Path()));
            MakeFolder(data.Path());
        }
        Command(1014);
        std::vector<BoxSeen> seen = boxes.Take();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ("System record saved", seen.back().text);
        EXPECT_FALSE(IsOpen());
        EXPECT_EQ(TableImage(2), Database());
        EXPECT_EQ(L"", Reason());
    }
}

TEST_F(ClosingTest, AnEntryTypedAndNotAddedHoldsTheSessionUpButTheRecordsAreSaved)
{
    StartWith({"a"});
    AddTyped("b");
    TypeEntry("c");
    EXPECT_EQ(FALSE, QueryEndSession());
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(TableImage(2), Database());
    EXPECT_EQ(kTypedReason, Reason());
    EXPECT_EQ("c", Text(Window.entryPage, 3001));

    // Added after all: what remains unsaved is a record, and the next query saves it.
    Click(Window.entryPage, 3012);
    EXPECT_EQ(kUnsavedReason, Reason());
    // File > Save Database puts them on disk: nothing would be lost any more.
    Command(10002);
    EXPECT_EQ("Database saved", OnlyBoxText());
    EXPECT_EQ(L"", Reason());
    EXPECT_EQ(TRUE, QueryEndSession());
    EXPECT_EQ(TableImage(3), Database());
    EXPECT_EQ(L"", Reason());

    // Moving to a record replaces typed text without a question; emptied fields are no
    // entry either.
    SetDlgItemTextA(Window.entryPage, 3009, "typed over");
    EXPECT_EQ(FALSE, QueryEndSession());
    Click(Window.entryPage, 3017); // Top
    EXPECT_EQ("pw-a", Text(Window.entryPage, 3009));
    EXPECT_EQ(L"", Reason());
    for (int id : {3001, 3002, 3006, 3009, 3010})
        SetDlgItemTextA(Window.entryPage, id, "");
    EXPECT_EQ(TRUE, QueryEndSession());
    Command(1001);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_FALSE(IsOpen());
}

// Every way to close asks first about an entry typed and not added: No keeps the window and
// the text; once it is added, the same way saves it (asking first where it always did).
TEST_F(ClosingTest, EveryWayToCloseAsksAboutAnEntryNotAdded)
{
    struct Way {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool asksToSave; // the save question when records are unsaved
    };
    const Way ways[] = {
        {"Quit", WM_COMMAND, 1001, false},       {"File > Exit", WM_COMMAND, 1014, false},
        {"IDOK", WM_COMMAND, IDOK, false},       {"Escape", WM_COMMAND, IDCANCEL, true},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, true}, {"WM_CLOSE", WM_CLOSE, 0, true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        WindowTest::TearDown();
        WindowTest::SetUp();
        StartWith({"a"});
        std::vector<unsigned char> before = Database();
        TypeEntry("b");
        boxes.Queue(IDNO);
        SendMessageA(main, way.message, way.wParam, 0);
        EXPECT_EQ(Texts{}, QuestionThen(kTypedQuestion, {IDYES, IDNO}, IDNO));
        EXPECT_TRUE(IsOpen());
        EXPECT_EQ("b", Text(Window.entryPage, 3001));
        EXPECT_EQ(before, Database());

        Click(Window.entryPage, 3012);
        boxes.Queue(IDYES);
        SendMessageA(main, way.message, way.wParam, 0);
        std::vector<BoxSeen> seen = boxes.Take();
        ASSERT_EQ(way.asksToSave ? 2u : 1u, seen.size());
        if (way.asksToSave) {
            EXPECT_EQ(kCloseQuestion, seen[0].text);
        }
        EXPECT_EQ("System record saved", seen.back().text);
        EXPECT_FALSE(IsOpen());
        EXPECT_EQ(TableImage(2), Database());
    }

    // Yes to the entry question goes on as before: with records unsaved, to the save question.
    WindowTest::TearDown();
    WindowTest::SetUp();
    StartWith({"a"});
    AddTyped("b");
    TypeEntry("c");
    boxes.Queue(IDYES);
    boxes.Queue(IDCANCEL);
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Texts{kCloseQuestion}, QuestionThen(kTypedQuestion, {IDYES, IDNO}, IDNO));
    EXPECT_TRUE(IsOpen());
}

TEST_F(ClosingTest, DeleteAfterTypingOverTheFieldsNamesTheStoredRecord)
{
    StartWith({"a", "", "c"});
    HWND page = Window.entryPage;
    Click(page, 3016); // Down: record 1, whose website is empty
    SetDlgItemTextA(page, 3001, "typed");

    boxes.Queue(IDNO);
    Click(page, 3013);
    EXPECT_EQ(Texts{}, QuestionThen("Delete record 1 (\".example\") as stored?", {IDYES, IDNO}, IDNO));
    EXPECT_EQ(3u, SettingsBlock.count);
    EXPECT_EQ("typed", Text(page, 3001));

    Click(page, 3016); // Down: record 2, shown as stored
    SetDlgItemTextA(page, 3010, "typed remark");
    boxes.Queue(IDYES);
    Click(page, 3013);
    EXPECT_EQ(Texts{}, QuestionThen("Delete record 2 (\"c\") as stored?", {IDYES, IDNO}, IDNO));
    ASSERT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ("Record deleted", StatusLineText(main));
    EXPECT_EQ(2, ListRowCount());
    EXPECT_EQ(".example", Text(page, 3002)); // record 1, now the last
    EXPECT_EQ("remark", Text(page, 3010)); // the typed remark replaced
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText());
    EXPECT_EQ(DatabaseOf({"a", ""}), Database());
}
