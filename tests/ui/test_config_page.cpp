#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "main_window.h"
#include "pages.h"
#include "ui_harness.h"

namespace {

class ConfigPageTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Start();
        page = Window.configPage;
    }
    void Accept(const char* password, const char* confirmation)
    {
        SetDlgItemTextA(page, 2007, password);
        SetDlgItemTextA(page, 2009, confirmation);
        Click(page, 2011);
    }
    // Opens the picker with "Browse"; the picker is answered with folder ("" cancels).
    // Returns the name of the folder the picker had selected as it opened.
    std::string Browse(const std::string& folder)
    {
        boxes.QueueFolder(folder);
        Click(page, 2004);
        std::vector<PickerSeen> pickers = boxes.TakePickers();
        EXPECT_EQ(1u, pickers.size());
        if (pickers.size() != 1)
            return "";
        EXPECT_EQ("Select folder for database", pickers[0].caption);
        bool instruction = false;
        for (const std::string& t : pickers[0].texts)
            instruction = instruction || t == "Select A Folder";
        EXPECT_TRUE(instruction);
        return pickers[0].selected;
    }
    HWND page = NULL;
};

// A folder path of exactly length characters inside parent, made on disk.
std::string DeepFolder(const std::string& parent, size_t length)
{
    std::string path = parent;
    while (path.size() + 1 < length) {
        size_t part = std::min<size_t>(40, length - path.size() - 1);
        path += std::string(part, 'd');
        if (path.size() < length)
            path += '\\';
    }
    while (path.size() < length)
        path += 'e';
    if (path.back() == '\\')
        path.back() = 'f';
    MakeFolder(path);
    return path;
}

} // namespace

TEST_F(ConfigPageTest, AcceptWithMatchingEntriesSetsThePassword)
{
    Accept("s3cret", "s3cret");
    EXPECT_EQ("Password accepted", OnlyBoxText());
    EXPECT_STREQ("s3cret", SettingsBlock.password);
    EXPECT_EQ(0, ModifiedFlag);
    EXPECT_FALSE(Exists(SettingsPath()));
}

TEST_F(ConfigPageTest, AcceptWithBothEmptyIsAccepted)
{
    std::strcpy(SettingsBlock.password, "old");
    Accept("", "");
    EXPECT_EQ("Password accepted", OnlyBoxText());
    EXPECT_STREQ("", SettingsBlock.password);
}

TEST_F(ConfigPageTest, AcceptWithDifferentEntriesKeepsThePasswordInForce)
{
    std::strcpy(SettingsBlock.password, "old");
    Accept("new", "new!");
    EXPECT_EQ("Please re-enter your password. Both are different", OnlyBoxText());
    EXPECT_STREQ("old", SettingsBlock.password);
    Accept("Case", "case"); // compared byte for byte
    EXPECT_EQ("Please re-enter your password. Both are different", OnlyBoxText());
    EXPECT_STREQ("old", SettingsBlock.password);
}

TEST_F(ConfigPageTest, ButtonsAnswerOnlyCommandsFromControls)
{
    SetDlgItemTextA(page, 2007, "x");
    SetDlgItemTextA(page, 2009, "x");
    SendMessageA(page, WM_COMMAND, 2011, 0);
    SendMessageA(page, WM_COMMAND, 2010, 0);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_STREQ("", SettingsBlock.password);
    EXPECT_FALSE(Exists(SettingsPath()));
}

TEST_F(ConfigPageTest, SaveConfigurationWritesTheSettingsSilently)
{
    Accept("pw", "pw");
    OnlyBoxText();
    Click(page, 2010);
    EXPECT_TRUE(boxes.Take().empty());
    std::vector<unsigned char> bytes = ReadBytes(SettingsPath());
    ASSERT_EQ(320u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), &SettingsBlock, 320));
    EXPECT_EQ('p', bytes[260]);
}

TEST_F(ConfigPageTest, CancelledPickerKeepsTheFolderAndShowsIt)
{
    Browse("");
    EXPECT_EQ(program, std::string(SettingsBlock.folder));
    EXPECT_EQ(program, Text(page, 2003));
    EXPECT_TRUE(boxes.Take().empty());
}

TEST_F(ConfigPageTest, ChosenFolderIsUsedBySaveConfiguration)
{
    std::string chosen = data.Path();
    chosen.pop_back(); // the picker gives folders without a trailing backslash
    Browse(chosen);
    EXPECT_EQ(chosen, std::string(SettingsBlock.folder));
    EXPECT_EQ(chosen, Text(page, 2003));
    EXPECT_EQ(0, ModifiedFlag);
    Click(page, 2010);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_TRUE(Exists(data.File("KSys.dat")));
    EXPECT_FALSE(Exists(SettingsPath()));
    EXPECT_EQ(0, std::memcmp(ReadBytes(data.File("KSys.dat")).data(), &SettingsBlock, 320));
}

// The picker opens at the folder in use: the program folder at a first start, then the folder
// chosen last.
TEST_F(ConfigPageTest, PickerOpensAtTheFolderInUse)
{
    EXPECT_EQ(LeafName(program), Browse(""));
    std::string chosen = data.Path();
    chosen.pop_back();
    Browse(chosen);
    EXPECT_EQ(LeafName(chosen), Browse(""));
    EXPECT_EQ(chosen, std::string(SettingsBlock.folder));
}

TEST_F(ConfigPageTest, FolderTooLongForTheFilesIsRefused)
{
    // 243 characters still leave room for "\Kestal.dat" in the 255-byte path; 244 do not.
    std::string fits = DeepFolder(data.Path(), 243);
    Browse(fits);
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(fits, std::string(SettingsBlock.folder));

    std::string tooLong = DeepFolder(data.Path(), 244);
    Browse(tooLong);
    EXPECT_EQ("The selected folder path is too long", OnlyBoxText());
    EXPECT_EQ(fits, std::string(SettingsBlock.folder));
    EXPECT_EQ(fits, Text(page, 2003));
}

// Whether COM is started on this thread, asked the only way COM answers: a CoInitializeEx of
// our own says S_FALSE when it already was, S_OK when it was not; the question is undone.
static bool ComStartedHere()
{
    HRESULT answer = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(answer))
        CoUninitialize();
    return answer == S_FALSE;
}

// The window starts without COM; the first "Browse" starts it, and the end undoes that start
// and nothing else: not a start the thread made itself, not one that never happened.
TEST_F(ConfigPageTest, BrowseStartsComAndTheEndUndoesOnlyThat)
{
    EXPECT_FALSE(ComStartedHere()) << "the window started COM";
    EndFolderPicker();
    EXPECT_FALSE(ComStartedHere());
    Browse("");
    EXPECT_TRUE(ComStartedHere()) << "the picker opened without COM on this thread";
    EndFolderPicker();
    EXPECT_FALSE(ComStartedHere()) << "COM stayed started after the end";

    // A thread that started COM itself keeps it, whether "Browse" was used or not.
    ASSERT_EQ(S_OK, CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    EndFolderPicker();
    EXPECT_TRUE(ComStartedHere()) << "the end undid a start it did not make";
    Browse("");
    EndFolderPicker();
    EXPECT_TRUE(ComStartedHere()) << "the end undid the thread's own start";
    CoUninitialize();
    EXPECT_FALSE(ComStartedHere());
}

TEST_F(ConfigPageTest, TypedCharactersChangeNothing)
{
    SendMessageA(page, WM_CHAR, 'a', 0);
    EXPECT_EQ(program, std::string(SettingsBlock.folder));
    EXPECT_TRUE(boxes.Take().empty());
}
