// Saves replace a file only once the new version is complete: whatever step fails, the
// file on disk is exactly the old version or exactly the new one, and no temporary is left.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "store_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int failAt;     // the save's call number that fails, 0 for none
int callsSeen;  // highest call number the last save made

int FailNth(int callNumber)
{
    callsSeen = callNumber;
    return callNumber == failAt;
}

class SaveTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        std::strcpy(SettingsBlock.folder, dir.Path().c_str());
    }

    // Runs save with the Nth call failing, for N = 1, 2, ... until a save makes fewer calls
    // than N. Before each run the file holds old; after it the file must be exactly old, or
    // exactly now for a save that succeeded, and the folder must hold nothing else.
    // Returns the result codes in order.
    std::vector<int> FailEachCallInTurn(const std::string& name, const std::function<int()>& save,
                                        const std::vector<unsigned char>& old,
                                        const std::vector<unsigned char>& now)
    {
        std::vector<int> results;
        FileFaultHook = FailNth;
        for (failAt = 1; failAt <= 50; ++failAt) {
            WriteBytes(dir.File(name), old);
            callsSeen = 0;
            int result = save();
            if (callsSeen < failAt)
                break; // the fault was never reached: that was a plain save
            results.push_back(result);
            EXPECT_EQ(result == 0 ? now : old, ReadBytes(dir.File(name))) << "call " << failAt;
            EXPECT_EQ(std::vector<std::string>{name}, Entries(dir.Path())) << "call " << failAt;
        }
        EXPECT_LE(failAt, 50) << "the save never completed";
        FileFaultHook = nullptr;
        return results;
    }

    TempFolder dir;
};

} // namespace

TEST_F(SaveTest, SaveReplacesTheOldFileAndLeavesNoTemporary)
{
    WriteBytes(dir.File("Kestal.dat"), std::vector<unsigned char>(5000, 'o'));
    Add("new");
    ASSERT_EQ(0, SaveDatabase());
    EXPECT_EQ(TableImage(1), ReadBytes(dir.File("Kestal.dat")));
    ASSERT_EQ(0, SaveSettings());
    EXPECT_EQ((std::vector<std::string>{"KSys.dat", "Kestal.dat"}), Entries(dir.Path()));
}

TEST_F(SaveTest, EveryFailingStepOfADatabaseSaveKeepsTheOldFile)
{
    std::vector<unsigned char> old(3 * 512, 'o');
    for (const char* w : {"a", "b", "c", "d"})
        Add(w);
    std::vector<unsigned char> now = TableImage(4);
    std::vector<int> results = FailEachCallInTurn("Kestal.dat", SaveDatabase, old, now);
    // create, write (nothing taken: short), flush, close, replace (retried, then done).
    EXPECT_EQ((std::vector<int>{-1, -2, -3, -3, 0}), results);
    EXPECT_EQ(now, ReadBytes(dir.File("Kestal.dat")));
}

TEST_F(SaveTest, EveryFailingStepOfASettingsSaveKeepsTheOldFile)
{
    std::vector<unsigned char> old(320, 0);
    old[0] = 2;
    SettingsBlock.count = 3;
    std::strcpy(SettingsBlock.password, "pw");
    std::vector<unsigned char> now = SettingsImage();
    std::vector<int> results = FailEachCallInTurn("KSys.dat", SaveSettings, old, now);
    EXPECT_EQ((std::vector<int>{-1, -2, -3, -3, 0}), results);
}

TEST_F(SaveTest, FailedFirstSaveLeavesNoFileAtAll)
{
    Add("a");
    FileFaultHook = FailNth;
    for (failAt = 1; failAt <= 4; ++failAt) {
        EXPECT_NE(0, SaveDatabase()) << failAt;
        EXPECT_TRUE(Entries(dir.Path()).empty()) << failAt;
    }
}

TEST_F(SaveTest, EmptyDatabaseWriteFailureIsStillReported)
{
    // With nothing to write the byte count matches, so a failing write call is -3.
    std::vector<unsigned char> old(512, 'o');
    std::vector<int> results = FailEachCallInTurn("Kestal.dat", SaveDatabase, old, {});
    EXPECT_EQ((std::vector<int>{-1, -3, -3, -3, 0}), results);
}

TEST_F(SaveTest, ReplaceThatKeepsFailingGivesUpAndKeepsTheOldFile)
{
    std::vector<unsigned char> old(512, 'o');
    WriteBytes(dir.File("Kestal.dat"), old);
    Add("a");
    // Every attempt to replace fails: calls 5 and on.
    FileFaultHook = [](int callNumber) { return callNumber >= 5 ? 1 : 0; };
    EXPECT_EQ(-3, SaveDatabase());
    EXPECT_EQ(old, ReadBytes(dir.File("Kestal.dat")));
    EXPECT_EQ(std::vector<std::string>{"Kestal.dat"}, Entries(dir.Path()));
}

TEST_F(SaveTest, TargetThatIsAFolderFailsAndStaysAFolder)
{
    MakeFolder(dir.File("Kestal.dat") + "\\inside");
    Add("a");
    EXPECT_EQ(-3, SaveDatabase());
    EXPECT_TRUE(Exists(dir.File("Kestal.dat") + "\\inside"));
    EXPECT_EQ(std::vector<std::string>{"Kestal.dat"}, Entries(dir.Path()));
}

TEST_F(SaveTest, MissingFolderFailsToOpenAndCreatesNothing)
{
    std::strcpy(SettingsBlock.folder, dir.File("gone").c_str());
    Add("a");
    EXPECT_EQ(-1, SaveDatabase());
    EXPECT_EQ(-1, SaveSettings());
    EXPECT_TRUE(Entries(dir.Path()).empty());
}

#ifdef _WIN32
TEST_F(SaveTest, TargetHeldOpenByAnotherHandleKeepsItsBytes)
{
    std::vector<unsigned char> old(512, 'o');
    WriteBytes(dir.File("Kestal.dat"), old);
    HANDLE held = CreateFileA(dir.File("Kestal.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Add("a");
    EXPECT_EQ(-3, SaveDatabase());
    CloseHandle(held);
    EXPECT_EQ(old, ReadBytes(dir.File("Kestal.dat")));
    EXPECT_EQ(std::vector<std::string>{"Kestal.dat"}, Entries(dir.Path()));
}
#endif
