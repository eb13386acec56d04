// A save of the settings on their own writes the count of records the database file holds,
// never the count in memory: settings saved after a failed load, or before an addition is
// saved, must neither hide records on disk nor promise records that are not there.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

class SettingsCountTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        UseFolder(dir.Path());
        SettingsBlock.count = 7; // what memory holds, whatever the file says
    }
    // The count that the settings file on disk holds, after checking that the rest of its
    // bytes are those of the settings block.
    uint32_t CountWritten()
    {
        std::vector<unsigned char> bytes = ReadBytes(dir.File("KSys.dat"));
        EXPECT_EQ((size_t)kSettingsFileSize, bytes.size());
        if (bytes.size() != kSettingsFileSize)
            return 0xFFFFFFFFu;
        std::vector<unsigned char> expected = SettingsImage();
        EXPECT_TRUE(std::equal(bytes.begin() + 4, bytes.end(), expected.begin() + 4));
        return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    }
    void DatabaseOfSize(size_t bytes)
    {
        WriteBytes(dir.File("Kestal.dat"), std::vector<unsigned char>(bytes, 'r'));
    }
    TempFolder dir;
};

} // namespace

TEST_F(SettingsCountTest, CountIsWhatTheDatabaseFileHolds)
{
    std::strcpy(SettingsBlock.password, "secret");
    struct {
        size_t bytes;
        uint32_t count;
    } cases[] = {{0, 0}, {3 * 512, 3}, {3 * 512 + 1, 4}, {511, 1}, {1024 * 512, 1024}, {1100 * 512, 1024}};
    for (const auto& c : cases) {
        DatabaseOfSize(c.bytes);
        ASSERT_EQ(0, SaveSettingsKeepingFileCount()) << c.bytes;
        EXPECT_EQ(c.count, CountWritten()) << c.bytes << " bytes";
        EXPECT_EQ(7u, SettingsBlock.count) << "the count in memory is not changed";
    }
}

TEST_F(SettingsCountTest, NoDatabaseFileCountsNoneAndAFolderInItsPlaceWritesNothing)
{
    ASSERT_EQ(0, SaveSettingsKeepingFileCount());
    EXPECT_EQ(0u, CountWritten());

    RemovePath(dir.File("KSys.dat"));
    MakeFolder(dir.File("Kestal.dat"));
    EXPECT_EQ(-1, SaveSettingsKeepingFileCount());
    EXPECT_FALSE(Exists(dir.File("KSys.dat")));
}

TEST_F(SettingsCountTest, SaveWithTheRecordsKeepsTheCountInMemory)
{
    DatabaseOfSize(2 * 512);
    ASSERT_EQ(0, SaveSettings());
    EXPECT_EQ(7u, CountWritten());
}

TEST_F(SettingsCountTest, SettingsGoBesideTheProgramOnlyFromAnotherFolder)
{
    char program[kFolderSize];
    ASSERT_EQ(0, ProgramFolder(program));
    std::string beside = std::string(program) + "KSys.dat";
    ASSERT_FALSE(Exists(beside));
    // The program folder itself, without its trailing backslash and in other letter case.
    std::string same(program);
    same.pop_back();
    for (char& c : same)
        c = (char)(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    UseFolder(same);
    EXPECT_EQ(1, SaveSettingsBesideProgram());
    EXPECT_FALSE(Exists(beside));

    UseFolder(dir.Path());
    EXPECT_EQ(0, SaveSettingsBesideProgram());
    EXPECT_EQ(SettingsImage(), ReadBytes(beside));
    RemovePath(beside);
}
