// Every save the user can start, against a database folder that is gone and against a
// target that is a folder: the right message, the window still open with its unsaved
// records, and the files already on disk exactly as they were.
#include <windows.h>

#include <cstring>

#include "main_window.h"
#include "ui_harness.h"

namespace {

enum Save { kAtClose, kDatabaseCommand, kSaveConfiguration };
enum Obstacle { kMissingFolder, kTargetIsAFolder };

struct Case {
    Save save;
    Obstacle obstacle;
    const char* message;
};

const Case kCases[] = {
    {kAtClose, kMissingFolder, "Write Error: Opening file for write operation"},
    {kAtClose, kTargetIsAFolder, "Write Error: Error in saving file"},
    {kDatabaseCommand, kMissingFolder, "Write Error: Opening file for write operation"},
    {kDatabaseCommand, kTargetIsAFolder, "Write Error: Error in saving file"},
    {kSaveConfiguration, kMissingFolder, "Error saving system record"},
    {kSaveConfiguration, kTargetIsAFolder, "Error saving system record"},
};

class FailedSaveTest : public WindowTest, public ::testing::WithParamInterface<Case> {};

} // namespace

TEST_P(FailedSaveTest, ShowsTheErrorAndKeepsWhatIsOnDisk)
{
    const Case& c = GetParam();
    WriteSettingsFile(program, 2, data.Path());
    WriteDatabaseFile(data.Path(), {"a", "b"});
    WriteSettingsFile(data.Path(), 2, data.Path(), "old");
    Start();
    std::vector<unsigned char> oldSettings = ReadBytes(data.File("KSys.dat"));
    std::vector<unsigned char> oldDatabase = ReadBytes(data.File("Kestal.dat"));

    Add("c");
    ModifiedFlag = 1;
    // The first file each save writes is the one made impossible.
    std::string blocked = c.save == kSaveConfiguration ? "KSys.dat" : "Kestal.dat";
    if (c.obstacle == kMissingFolder) {
        std::strcpy(SettingsBlock.folder, data.File("missing").c_str());
    } else {
        RemovePath(data.File(blocked));
        MakeFolder(data.File(blocked) + "\\inside");
    }

    switch (c.save) {
    case kAtClose: Command(IDOK); break;
    case kDatabaseCommand: Command(10002); break;
    case kSaveConfiguration: Click(Window.configPage, 2010); break;
    }

    EXPECT_EQ(c.message, OnlyBoxText());
    if (c.save == kAtClose) {
        EXPECT_EQ(c.message, StatusLineText(main));
    }
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(1, ModifiedFlag);
    EXPECT_EQ(3u, SettingsBlock.count);
    EXPECT_FALSE(Exists(data.File("missing")));
    if (c.obstacle == kTargetIsAFolder) {
        EXPECT_TRUE(Exists(data.File(blocked) + "\\inside"));
    }
    if (blocked != "KSys.dat") {
        EXPECT_EQ(oldSettings, ReadBytes(data.File("KSys.dat")));
    }
    if (blocked != "Kestal.dat") {
        EXPECT_EQ(oldDatabase, ReadBytes(data.File("Kestal.dat")));
    }
    std::vector<std::string> expected = {"KSys.dat", "Kestal.dat"};
    EXPECT_EQ(expected, Entries(data.Path())); // no temporary file left behind
}

INSTANTIATE_TEST_SUITE_P(EverySave, FailedSaveTest, ::testing::ValuesIn(kCases));
