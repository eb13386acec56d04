// Which folder and which records every command works on: the folder the settings of the
// folder given name, as the program reads them at start-up, and every record Kestal.dat
// holds there, whatever count the settings name.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "audit.h"
#include "cli_fixture.h"

namespace {

class FolderTest : public CliTest {
protected:
    // Writes KSys.dat into the folder sub of the test folder: count, the folder named (in
    // the test folder's own form), a password.
    void WriteSettings(const std::string& sub, uint32_t count, const std::string& named)
    {
        Settings s = {};
        s.count = count;
        std::strncpy(s.folder, named.c_str(), sizeof(s.folder) - 1);
        std::strcpy(s.password, "secret");
        MakeFolder(dir.File(sub));
        WriteBytes(dir.File(sub + "\\KSys.dat"), Image(&s, kSettingsFileSize));
    }
    Settings SettingsIn(const std::string& sub) const
    {
        Settings s = {};
        std::vector<unsigned char> bytes = ReadBytes(dir.File(sub + "\\KSys.dat"));
        std::memcpy(&s, bytes.data(), std::min(bytes.size(), sizeof(s)));
        return s;
    }
    // Runs a command on the folder sub; its standard output and error land in out and err.
    int Run(const std::function<int(const Options&)>& command, const std::string& sub)
    {
        Options o;
        o.folder = Folder() + sub;
        o.format = "browser-csv";
        o.input = Folder() + "in.csv";
        ResetStore();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = command(o);
        std::fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }
    // The line every command writes first when the settings of sub name db.
    std::string Using(const std::string& sub) const
    {
        std::string db = Folder() + "db";
        return "kestal-tool: the settings in " + Folder() + sub + " name " + db + ": using " + db + "\n";
    }
    std::string out, err;
};

struct Command {
    const char* name;
    std::function<int(const Options&)> run;
};

const Command kReaders[] = {
    {"list", [](const Options& o) { return List(o); }},
    {"export", [](const Options& o) { return Export(o); }},
    {"audit", [](const Options& o) { return Audit(o, AuditOptions()); }},
};

int Lines(const std::string& text)
{
    return (int)std::count(text.begin(), text.end(), '\n');
}

} // namespace

TEST_F(FolderTest, EveryCommandWorksOnTheFolderTheSettingsOfTheFolderGivenName)
{
    // db holds the records; prog, the program's folder after a save into db, holds settings
    // naming db and the stale Kestal.dat of before.
    Database({{"Stale", "https://stale.example", "old", "old-pw"}});
    std::vector<unsigned char> stale = ReadBytes(dir.File("db\\Kestal.dat"));
    MakeFolder(dir.File("prog"));
    WriteBytes(dir.File("prog\\Kestal.dat"), stale);
    Database({{"Current", "https://current.example", "new", "new-pw"}});
    WriteSettings("prog", 1, dir.File("db\\"));

    for (const Command& c : kReaders) {
        Run(c.run, "prog");
        EXPECT_NE(std::string::npos, out.find("Current")) << c.name << out;
        EXPECT_EQ(std::string::npos, out.find("Stale")) << c.name << out;
        EXPECT_EQ(0u, err.find(Using("prog"))) << c.name << err;
    }
    EXPECT_EQ(0, Run(Check, "prog")) << out; // short passwords are audit's findings, not check's
    EXPECT_EQ(0u, err.find(Using("prog"))) << err;
    EXPECT_NE(std::string::npos, out.find("database folder: " + Folder() + "db (named by the settings in " +
                                          Folder() + "prog)"))
        << out;
    EXPECT_NE(std::string::npos, out.find("note: " + Folder() + "prog holds a Kestal.dat of its own")) << out;

    // import goes into db; both settings files count the records, as the program's save
    // into another folder leaves them; the stale file stays as it was.
    Write("in.csv", "name,url,username,password\nAdded,https://added.example,me,Added-Password-1\n");
    EXPECT_EQ(0, Run(Import, "prog")) << err;
    EXPECT_EQ(Using("prog"), err);
    std::vector<Record> records = Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_STREQ("Added", records[1].website);
    EXPECT_EQ(stale, ReadBytes(dir.File("prog\\Kestal.dat")));
    EXPECT_EQ(ReadBytes(dir.File("db\\KSys.dat")), ReadBytes(dir.File("prog\\KSys.dat")));
    Settings s = SettingsIn("prog");
    EXPECT_EQ(2u, s.count);
    EXPECT_EQ(dir.File("db\\"), s.folder);
    EXPECT_STREQ("secret", s.password);

    // recover writes the count of db's file into the settings the program reads, still
    // naming db.
    std::vector<unsigned char> grown = ReadBytes(dir.File("db\\Kestal.dat"));
    grown.insert(grown.end(), grown.begin(), grown.begin() + kRecordSize);
    WriteBytes(dir.File("db\\Kestal.dat"), grown);
    EXPECT_EQ(0, Run(Recover, "prog")) << err;
    EXPECT_EQ(0u, err.find(Using("prog"))) << err;
    s = SettingsIn("prog");
    EXPECT_EQ(3u, s.count);
    EXPECT_EQ(dir.File("db\\"), s.folder);
    EXPECT_STREQ("secret", s.password);
    EXPECT_EQ(2u, SettingsIn("db").count) << "the settings the program does not read at start-up stay";
}

TEST_F(FolderTest, EveryRecordTheFileHoldsWhateverTheCountTheSettingsName)
{
    struct Case {
        uint32_t count;   // the settings'
        uint32_t bytes;   // of Kestal.dat
        uint32_t records; // that the program shows
        int status;       // of list, export and audit: 1 for a partial record
        const char* checkSays;
    } cases[] = {
        {1, 3 * kRecordSize, 3, 0, "note: database file: 2 records beyond the count of 1"},
        {0, 2 * kRecordSize, 2, 0, "note: database file: 2 records beyond the count of 0"},
        {5, 2 * kRecordSize, 2, 0, "note: database file: 3 records fewer than the count of 5"},
        {2, 2 * kRecordSize + 200, 3, 1, "partial record of 200 bytes, which the program shows as record 2"},
        {2, 2 * kRecordSize, 2, 0, "no findings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " counted, " + std::to_string(c.bytes) + " bytes");
        RemovePath(dir.File("db"));
        Database({{"Zero", "https://0.example", "u0", "Pass-word-0-long"},
                  {"One", "https://1.example", "u1", "Pass-word-1-long"},
                  {"Two", "https://2.example", "u2", "Pass-word-2-long"}});
        std::vector<unsigned char> bytes = ReadBytes(dir.File("db\\Kestal.dat"));
        bytes.resize(c.bytes);
        WriteBytes(dir.File("db\\Kestal.dat"), bytes);
        WriteSettings("db", c.count, dir.File("db\\"));

        EXPECT_EQ(c.status, Run(kReaders[0].run, "db"));
        EXPECT_EQ((int)c.records, Lines(out)) << out;
        EXPECT_EQ(c.status, Run(kReaders[1].run, "db"));
        EXPECT_EQ((int)c.records + 1, Lines(out)) << out;
        EXPECT_EQ(c.status, Run(kReaders[2].run, "db"));
        EXPECT_NE(std::string::npos, err.find(std::to_string(c.records) + " records audited")) << err;
        EXPECT_EQ(c.status, Run(Check, "db"));
        EXPECT_NE(std::string::npos, out.find(c.checkSays)) << out;

        // import appends after the last record the file holds, and counts them all.
        Write("in.csv", "name,url,username,password\nNew,https://new.example,me,Pass-word-new\n");
        EXPECT_EQ(c.status, Run(Import, "db")) << err;
        std::vector<Record> records = Records();
        ASSERT_EQ(c.records + 1, records.size());
        EXPECT_STREQ("New", records.back().website);
        EXPECT_EQ(c.records + 1, CountOnDisk());
        EXPECT_EQ(0, std::memcmp(bytes.data(), records.data(), bytes.size())) << "the records before are kept";

        // recover counts the file's records as the program does, a partial one included.
        bytes.resize(c.bytes);
        WriteBytes(dir.File("db\\Kestal.dat"), bytes);
        EXPECT_EQ(0, Run(Recover, "db")) << err;
        EXPECT_EQ(c.records, CountOnDisk());
    }
}

TEST_F(FolderTest, SettingsThatNameAFolderWithoutRecords)
{
    // prog's settings name a folder that does not exist: no command shows prog's own stale
    // records as if the program showed them, and recover makes the settings name prog.
    Database({{"Mine", "https://mine.example", "me", "Pass-word-mine"}});
    MakeFolder(dir.File("prog"));
    WriteBytes(dir.File("prog\\Kestal.dat"), ReadBytes(dir.File("db\\Kestal.dat")));
    WriteSettings("prog", 1, dir.File("gone\\"));
    Write("in.csv", "name,url,username,password\nNew,https://new.example,me,Pass-word-new\n");
    std::vector<Command> refusing(std::begin(kReaders), std::end(kReaders));
    refusing.push_back({"import", [](const Options& o) { return Import(o); }});
    for (const Command& c : refusing) {
        EXPECT_EQ(2, Run(c.run, "prog")) << c.name;
        EXPECT_EQ("", out) << c.name;
        EXPECT_NE(std::string::npos, err.find(Folder() + "gone, which does not exist; the program finds no records "
                                                         "there. kestal-tool recover "))
            << c.name << err;
    }
    EXPECT_EQ(1, Run(Check, "prog"));
    EXPECT_NE(std::string::npos, out.find("gone, which does not exist; the program would look for the database "
                                          "there, not in this folder"))
        << out;
    EXPECT_FALSE(Exists(dir.File("gone")));
    EXPECT_EQ(0, Run(Recover, "prog")) << err;
    Settings s = SettingsIn("prog");
    EXPECT_EQ(1u, s.count);
    EXPECT_STREQ("secret", s.password);
    EXPECT_EQ(0, Run(kReaders[0].run, "prog")) << err;
    EXPECT_NE(std::string::npos, out.find("Mine")) << out;

    // A named folder that exists and holds no Kestal.dat, though the settings count a
    // record: the program shows none, and list says why; recover, with records here and
    // none there, names prog.
    MakeFolder(dir.File("empty"));
    WriteSettings("prog", 1, dir.File("empty\\"));
    EXPECT_EQ(2, Run(kReaders[0].run, "prog"));
    EXPECT_EQ("", out);
    EXPECT_NE(std::string::npos, err.find(Folder() + "empty: no Kestal.dat, though the settings count 1 records"))
        << err;
    EXPECT_EQ(0, Run(Recover, "prog")) << err;
    EXPECT_EQ(0, Run(kReaders[0].run, "prog")) << err;
    EXPECT_NE(std::string::npos, out.find("Mine")) << out;
}
