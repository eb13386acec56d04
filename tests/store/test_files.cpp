#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

class FilesTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        UseFolder(dir.Path());
    }
    std::string SettingsFile() const { return dir.File("KSys.dat"); }
    std::string DatabaseFile() const { return dir.File("Kestal.dat"); }

    TempFolder dir;
};


} // namespace

TEST_F(FilesTest, SettingsFileIsTheFirst320BytesOfTheBlock)
{
    SettingsBlock.count = 0x01020304;
    std::strcpy(SettingsBlock.password, "pw");
    SettingsBlock.folder[200] = 'q'; // bytes after the terminator go along as they are
    ASSERT_EQ(0, SaveSettings());
    std::vector<unsigned char> bytes = ReadBytes(SettingsFile());
    ASSERT_EQ(320u, bytes.size());
    EXPECT_EQ(Image(&SettingsBlock, 320), bytes);
    EXPECT_EQ(0x04, bytes[0]); // little-endian count
    EXPECT_EQ(0x01, bytes[3]);
    EXPECT_EQ('q', bytes[4 + 200]);
    EXPECT_EQ('p', bytes[260]);
}

TEST_F(FilesTest, SettingsRoundTripKeepsSixtyPasswordBytes)
{
    SettingsBlock.count = 7;
    std::memset(SettingsBlock.password, 'k', 62);
    ASSERT_EQ(0, SaveSettings());

    // A fresh process: everything zero but the folder it looks in.
    std::string folder = SettingsBlock.folder;
    ResetStore();
    UseFolder(folder);
    ASSERT_EQ(0, LoadSettings());
    EXPECT_EQ(7u, SettingsBlock.count);
    EXPECT_EQ(folder, SettingsBlock.folder);
    EXPECT_EQ(std::string(60, 'k'), SettingsBlock.password);
}

TEST_F(FilesTest, ReadCodesForMissingFileAndMissingFolder)
{
    EXPECT_EQ(2, LoadSettings());
    EXPECT_EQ(2, LoadDatabase());
    UseFolder(dir.File("no-such-folder"));
    EXPECT_EQ(3, LoadSettings());
    EXPECT_EQ(3, LoadDatabase());
    EXPECT_EQ(-1, SaveSettings());
    EXPECT_EQ(-1, SaveDatabase());
    EXPECT_FALSE(Exists(dir.File("no-such-folder")));
}

TEST_F(FilesTest, FolderWithoutTrailingBackslashGetsOne)
{
    std::string folder = dir.Path();
    folder.pop_back();
    UseFolder(folder);
    ASSERT_EQ(0, SaveSettings());
    EXPECT_EQ(folder + "\\KSys.dat", std::string(PathBuffer));
    EXPECT_TRUE(Exists(SettingsFile()));
    UseFolder(dir.Path());
    ASSERT_EQ(0, SaveDatabase());
    EXPECT_EQ(dir.Path() + "Kestal.dat", std::string(PathBuffer));
}

TEST_F(FilesTest, ShortSettingsFileReplacesOnlyTheBytesItHolds)
{
    SettingsBlock.count = 9;
    std::strcpy(SettingsBlock.password, "keep");
    std::string folder = SettingsBlock.folder;
    WriteBytes(SettingsFile(), {3, 0, 0});
    ASSERT_EQ(0, LoadSettings());
    EXPECT_EQ(3u, SettingsBlock.count); // low three bytes from the file, the fourth kept
    EXPECT_EQ(folder, SettingsBlock.folder);
    EXPECT_STREQ("keep", SettingsBlock.password);
}

TEST_F(FilesTest, EmptySettingsFileChangesNothing)
{
    SettingsBlock.count = 4;
    WriteBytes(SettingsFile(), {});
    ASSERT_EQ(0, LoadSettings());
    EXPECT_EQ(4u, SettingsBlock.count);
}

TEST_F(FilesTest, LongerSettingsFileIsReadOnlyTo320Bytes)
{
    std::vector<unsigned char> bytes(400, 'x');
    bytes[0] = 2;
    bytes[1] = bytes[2] = bytes[3] = 0;
    bytes[4] = 0; // empty folder
    WriteBytes(SettingsFile(), bytes);
    SettingsBlock.password[61] = 0;
    ASSERT_EQ(0, LoadSettings());
    EXPECT_EQ(2u, SettingsBlock.count);
    EXPECT_EQ(std::string(60, 'x'), SettingsBlock.password);
}

TEST_F(FilesTest, CountAboveTheTableIsRefusedAndChangesNothing)
{
    SettingsBlock.count = 5;
    std::strcpy(SettingsBlock.password, "old");
    Settings before = SettingsBlock;

    std::vector<unsigned char> bytes(320, 0);
    for (uint32_t count : {1025u, 5000u, 0xFFFFFFFFu}) {
        std::memcpy(bytes.data(), &count, 4);
        std::memcpy(&bytes[4], "C:\\elsewhere\\", 13);
        std::memcpy(&bytes[260], "new", 3);
        WriteBytes(SettingsFile(), bytes);
        EXPECT_EQ(13, LoadSettings()) << count;
        EXPECT_EQ(0, std::memcmp(&before, &SettingsBlock, sizeof(Settings))) << count;
    }
    // 1024 itself is a full table, and fine.
    uint32_t full = 1024;
    std::memcpy(bytes.data(), &full, 4);
    WriteBytes(SettingsFile(), bytes);
    EXPECT_EQ(0, LoadSettings());
    EXPECT_EQ(1024u, SettingsBlock.count);
}

TEST_F(FilesTest, FolderWithoutTerminatorIsCutAt255Characters)
{
    std::vector<unsigned char> bytes(320, 'F');
    bytes[0] = 1;
    bytes[1] = bytes[2] = bytes[3] = 0;
    WriteBytes(SettingsFile(), bytes);
    ASSERT_EQ(0, LoadSettings());
    EXPECT_EQ(std::string(255, 'F'), std::string(SettingsBlock.folder));
    // The next path cannot be built from it: the routines refuse without touching a file.
    EXPECT_EQ(206, LoadDatabase());
    EXPECT_EQ(-1, SaveDatabase());
    EXPECT_EQ(206, LoadSettings());
    EXPECT_EQ(-1, SaveSettings());
}

TEST_F(FilesTest, PathTooLongForTheBufferFailsWithoutTouchingFiles)
{
    struct Case {
        size_t folderLength;
        bool trailing;
        int settingsRead, databaseRead;
    } cases[] = {
        {243, false, 0, 0},   // both fit
        {244, false, 0, 206}, // database path is 255 characters: one too many
        {244, true, 0, 0},    // 244 with its backslash still fits the database
        {245, false, 0, 206},
        {246, false, 206, 206},
        {246, true, 0, 206},
        {247, true, 206, 206},
    };
    for (const Case& c : cases) {
        // A folder that does not exist: a path that fits gives 3, one that does not 206.
        std::string folder = "C:\\" + std::string(c.folderLength - 3 - (c.trailing ? 1 : 0), 'f');
        if (c.trailing)
            folder += '\\';
        ASSERT_EQ(c.folderLength, folder.size());
        UseFolder(folder);
        SettingsBlock.count = 1;
        EXPECT_EQ(c.settingsRead == 0 ? 3 : 206, LoadSettings()) << c.folderLength;
        EXPECT_EQ(c.databaseRead == 0 ? 3 : 206, LoadDatabase()) << c.folderLength;
        EXPECT_EQ(-1, SaveSettings());
        EXPECT_EQ(-1, SaveDatabase());
        EXPECT_LT(std::strlen(PathBuffer), sizeof(PathBuffer));
    }
}

TEST_F(FilesTest, DatabaseOf200RecordsIsExactly200By512Bytes)
{
    for (int i = 0; i < 200; ++i)
        Add(("site" + std::to_string(i)).c_str(), ("url" + std::to_string(i)).c_str());
    ASSERT_EQ(0, SaveDatabase());
    std::vector<unsigned char> bytes = ReadBytes(DatabaseFile());
    ASSERT_EQ(200u * 512u, bytes.size());
    EXPECT_EQ(Image(RecordStore.slots, 200 * 512), bytes);

    std::vector<unsigned char> saved = Image(RecordStore.slots, 200 * 512);
    std::memset(RecordStore.slots, 0, sizeof(RecordStore.slots));
    RecordStore.current = 17;
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_EQ(saved, Image(RecordStore.slots, 200 * 512));
    EXPECT_EQ(17u, RecordStore.current); // loading does not move current
    EXPECT_STREQ("site199", RecordStore.slots[199].website);
    EXPECT_STREQ("", RecordStore.slots[200].website);
}

TEST_F(FilesTest, FullDatabaseRoundTrip)
{
    for (int i = 0; i < kSlotCount; ++i)
        Add(std::to_string(i).c_str());
    ASSERT_EQ(0, SaveDatabase());
    EXPECT_EQ(1024u * 512u, ReadBytes(DatabaseFile()).size());
    std::memset(RecordStore.slots, 0, sizeof(RecordStore.slots));
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_STREQ("1023", RecordStore.slots[1023].website);
}

TEST_F(FilesTest, EmptyStoreSavesAnEmptyDatabaseFile)
{
    WriteBytes(DatabaseFile(), std::vector<unsigned char>(1024, 'o'));
    ASSERT_EQ(0, SaveDatabase());
    EXPECT_TRUE(Exists(DatabaseFile()));
    EXPECT_EQ(0u, ReadBytes(DatabaseFile()).size());
    EXPECT_EQ(0, LoadDatabase());
}

// The file decides which records exist, whatever the count in force: a shorter file
// shrinks the table (nothing of the records held before shows through), a longer one, or a
// partial last record, brings every record it holds; more than 1024 gives the first 1024
// and leaves the file unknown, so a save asks first.
TEST_F(FilesTest, LoadDatabaseBringsEveryRecordTheFileHolds)
{
    struct Case {
        uint32_t countBefore;
        size_t fileBytes;
        uint32_t countAfter;
        int holdsMore;
    } cases[] = {
        {3, 2 * 512, 2, 0}, {0, 5 * 512, 5, 0}, {1, 5 * 512 + 100, 6, 0},
        {7, 0, 0, 0},       {2, 1024 * 512, 1024, 0}, {2, 1030 * 512, 1024, 1},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> file(c.fileBytes);
        for (size_t i = 0; i < file.size(); ++i)
            file[i] = (unsigned char)('a' + (i / 512) % 26);
        WriteBytes(DatabaseFile(), file);
        std::memset(RecordStore.slots, 'x', sizeof(RecordStore.slots));
        SettingsBlock.count = c.countBefore;
        RecordStore.current = 6;
        ASSERT_EQ(0, LoadDatabase()) << c.fileBytes;
        EXPECT_EQ(c.countAfter, SettingsBlock.count) << c.fileBytes;
        EXPECT_EQ(c.holdsMore, DatabaseHoldsMore) << c.fileBytes;
        EXPECT_EQ(c.countAfter == 0 ? 0u : std::min<uint32_t>(6, c.countAfter - 1), RecordStore.current);
        size_t kept = std::min<size_t>(c.fileBytes, sizeof(RecordStore.slots));
        std::vector<unsigned char> table = Image(RecordStore.slots, sizeof(RecordStore.slots));
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + kept, table.begin())) << c.fileBytes;
        EXPECT_TRUE(std::all_of(table.begin() + kept, table.end(), [](unsigned char b) { return b == 0; }))
            << c.fileBytes;
        EXPECT_EQ(c.holdsMore, DatabaseChangedOnDisk()) << c.fileBytes;
    }
}

TEST_F(FilesTest, ReadingAFolderAsAFileIsAnError)
{
    MakeFolder(dir.File("KSys.dat"));
    int code = LoadSettings();
    EXPECT_GT(code, 3);
}

TEST_F(FilesTest, ProgramFolderIsTheFolderOfTheRunningExecutable)
{
    char folder[kFolderSize];
    std::memset(folder, '#', sizeof(folder));
    ASSERT_EQ(0, ProgramFolder(folder));
    std::string f = folder;
    ASSERT_FALSE(f.empty());
    EXPECT_EQ('\\', f.back());
    // The test executable itself is found there.
    std::vector<std::string> names = Entries(f);
    bool found = false;
    for (const std::string& n : names)
        found = found || n.rfind("kestal_store_tests", 0) == 0;
    EXPECT_TRUE(found) << f;
}

TEST(FolderOfPath, KeepsTheTrailingBackslashForAnyLengthThatFits)
{
    char folder[kFolderSize];
    EXPECT_EQ(0, FolderOfPath("C:\\Tools\\Kestal.exe", folder));
    EXPECT_STREQ("C:\\Tools\\", folder);
    EXPECT_EQ(0, FolderOfPath("C:\\a.exe", folder));
    EXPECT_STREQ("C:\\", folder);

    // Longer than the 128 characters older code assumed.
    std::string deep = "C:\\" + std::string(150, 'd') + "\\";
    EXPECT_EQ(0, FolderOfPath((deep + "Kestal.exe").c_str(), folder));
    EXPECT_EQ(deep, folder);

    // 255 characters is the most the folder field holds.
    std::string longest = "C:\\" + std::string(251, 'd') + "\\";
    ASSERT_EQ(255u, longest.size());
    EXPECT_EQ(0, FolderOfPath((longest + "Kestal.exe").c_str(), folder));
    EXPECT_EQ(longest, folder);

    std::string tooLong = "C:\\" + std::string(252, 'd') + "\\";
    std::memset(folder, '#', sizeof(folder));
    EXPECT_EQ(206, FolderOfPath((tooLong + "Kestal.exe").c_str(), folder));
    EXPECT_STREQ("", folder);

    EXPECT_EQ(206, FolderOfPath("no-separator.exe", folder));
}
