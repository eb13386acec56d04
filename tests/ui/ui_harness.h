// Drives the program's windows in-process: the main window is created from its template
// with its real procedure, and message boxes are read and answered by a CBT hook.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "store_fixture.h"

// What a message box showed.
struct BoxSeen {
    std::string caption;
    std::string text;
    std::vector<int> buttons; // ids of the visible buttons, ascending
    int defaultButton = 0;    // the id of the button that has the focus, which Enter presses
    bool hasIcon = false;
    HWND owner = NULL;
};

// What the folder picker showed.
struct PickerSeen {
    std::string caption;      // its title bar
    std::vector<std::string> texts; // the static texts it holds, the instruction among them
    std::string selected;     // the name of the folder selected in its tree as it opened
};

// Answers message boxes and the folder picker on this thread while it lives: each box is
// recorded and closed with the next queued answer (IDOK when none is queued); the picker is
// recorded, then pointed at the next queued folder and confirmed, or cancelled when the
// queued folder is empty or none is queued.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    void Queue(int answer) { answers_.push_back(answer); }
    void QueueFolder(const std::string& folder) { folders_.push_back(folder); }
    // The boxes seen since the last call, and forgets them.
    std::vector<BoxSeen> Take();
    std::vector<PickerSeen> TakePickers();

    static BoxAnswerer* current;
    std::deque<int> answers_;
    std::vector<BoxSeen> seen_;
    std::deque<std::string> folders_;
    std::vector<PickerSeen> pickers_;
    int pendingAnswer_ = IDOK; // the answer for the box being shown
    std::string pickTarget_; // folder the picker is being pointed at
    int pickTries_ = 0;

private:
    HHOOK hook_;
};

// The last part of a folder path: the name the picker's tree shows for it.
std::string LeafName(std::string path);

// The program folder of this test executable, where start-up looks for the settings file.
std::string ProgramFolderOfTests();

// Writes a 320-byte settings file with this count and database folder into folder.
void WriteSettingsFile(const std::string& folder, uint32_t count, const std::string& dbFolder,
                       const char* password = "");
// Writes records named by their websites as a database file into folder.
void WriteDatabaseFile(const std::string& folder, const std::vector<std::string>& websites);

std::string Text(HWND window, int id);
std::string StatusLineText(HWND main);
int ListRowCount();
std::string ListCell(int row, int column);

// Base for window tests: a clean store, no files in the program folder, a fresh database
// folder, boxes answered, windows destroyed afterwards.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window; its start-up runs before this returns.
    HWND Start();
    // Start() while another program holds the database file in the test database folder
    // without sharing, as a backup tool might; released once start-up is over.
    void StartWithTheDatabaseHeld();
    // True while the main window has not been ended.
    bool IsOpen() const { return IsWindowVisible(main) != FALSE; }
    void Command(WPARAM wParam, LPARAM lParam = 0);
    void Click(HWND page, int id);
    void SelectTab(int index);
    // Checks that the first box shown since the last look was the question text, with these
    // buttons (ids ascending) and this default, titled, without an icon, owned by the main
    // window; returns the texts of the boxes that followed it.
    std::vector<std::string> QuestionThen(const char* text, const std::vector<int>& buttons, int defaultButton);
    // Presses "Delete" on the entry page and answers its question; checks that exactly that
    // question was asked (Yes/No, No the default) and returns the texts of the boxes after it.
    std::vector<std::string> Delete(int answer);
    // Checks that exactly one box was shown, OK-only, titled, without an icon and owned by
    // the main window, and returns its text ("" when none or more were shown).
    std::string OnlyBoxText();
    std::string SettingsPath() const { return program + "KSys.dat"; }
    // Start-up with settings beside the program that name the test database folder and
    // count these records, which its database file holds.
    void StartWith(const std::vector<std::string>& websites);
    // Types a complete entry on the entry page (URL website.example) and presses "Add".
    void AddTyped(const char* website);
    // Closes with the close box (WM_CLOSE) or Escape (IDCANCEL), answers the close question
    // with answer, and checks that it was the first box (Yes/No/Cancel, Yes the default,
    // owned by the main window); returns the texts of the boxes after it.
    std::vector<std::string> Close(UINT how, int answer);
    // Ends this run and starts the program again, as a user would the next day.
    void Restart();
    // The websites of the list's rows, in order.
    std::vector<std::string> Rows();
    // The record count a settings file holds (0xFFFFFFFF when it has no count).
    static uint32_t CountIn(const std::string& path);
    // The database folder a settings file names.
    static std::string FolderIn(const std::string& path);

    std::string program;  // the program folder
    TempFolder data;      // the database folder the tests' settings files name
    BoxAnswerer boxes;
    HWND main = NULL;
};
