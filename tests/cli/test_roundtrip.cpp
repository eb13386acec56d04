// The ways out to an encrypted manager, proven with a real one: 1024 records with awkward
// text go out as KeePass XML, into a KeePassXC database with keepassxc-cli, or straight into
// the tool's own KDBX 4 database, and back out as KeePassXC's own CSV, where every field
// must be what the record held; that CSV imported into an empty folder gives the same bytes
// back for every record that has a website.
//   kestal_roundtrip_test KESTAL_TOOL
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "charset.h"
#include "cli_fixture.h"
#include "csv.h"
#include "formats.h"

namespace {

std::string Tool;

int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

std::string Padded(std::string text, size_t length, char fill)
{
    text.resize(length, fill);
    return text;
}

// Record i of the test database: quotes, commas, markup, Windows-1252 letters, an empty
// website now and then, and fields of the greatest length the program keeps.
Record Made(int i)
{
    static const char* extras[] = {"say \"hi\"", "a, b", "x & y <z>", "]]> end", "caf\xE9 \x80 \xFC"};
    std::string n = std::to_string(i);
    std::string website = i % 7 == 3 ? "" : "Site " + n + " " + extras[i % 5];
    std::string url = "https://h" + n + ".example/p?a=1&b=" + extras[(i + 1) % 5];
    std::string user = "user" + n + (i % 3 == 0 ? " \xE9" : "");
    std::string password = "p\"w,<&>" + n + (i % 4 == 0 ? " \x80" : "");
    std::string remarks = i % 6 == 0 ? "" : "note " + n + " " + extras[(i + 2) % 5];
    if (i == 100) {
        website = Padded("W" + n, 126, 'w');
        url = Padded("https://longest.example/" + n, 126, 'u');
        user = Padded("U" + n, 62, 'e');
        password = Padded("P" + n, 62, 'x');
        remarks = Padded("R" + n, 126, 'r');
    }
    Record r = {};
    std::memcpy(r.website, website.data(), website.size());
    std::memcpy(r.url, url.data(), url.size());
    std::memcpy(r.userName, user.data(), user.size());
    std::memcpy(r.password, password.data(), password.size());
    std::memcpy(r.remarks, remarks.data(), remarks.size());
    return r;
}

class RoundTripTest : public CliTest {
protected:
    // Saves the 1024 test records into db/ as the program would.
    void SaveRecords()
    {
        MakeFolder(dir.File("db"));
        std::strcpy(SettingsBlock.folder, dir.File("db\\").c_str());
        for (int i = 0; i < 1024; ++i)
            original.push_back(Made(i));
        std::memcpy(RecordStore.slots, original.data(), sizeof(Record) * 1024);
        SettingsBlock.count = 1024;
        ASSERT_EQ(0, SaveDatabase());
        ASSERT_EQ(0, SaveSettings());
    }
    // The 1024 records saved into db/, then out as KeePass XML and into out.kdbx with
    // keepassxc-cli import.
    void MakeKeePassXcDatabase()
    {
        ASSERT_EQ(0, Shell("keepassxc-cli --version >/dev/null 2>&1")) << "keepassxc-cli is missing (Debian: keepassxc)";
        SaveRecords();
        work = Folder();
        ASSERT_EQ(0, Shell(Quoted(Tool) + " export " + Quoted(work + "db") + " --format keepass-xml --output " +
                         Quoted(work + "out.xml") + " 2>/dev/null"));
        ASSERT_EQ(0, Shell("printf 'pw\\npw\\n' | keepassxc-cli import -q -p " + Quoted(work + "out.xml") + " " +
                         Quoted(work + "out.kdbx") + " >/dev/null 2>&1"));
    }
    // keepassxc-cli COMMAND on out.kdbx, unlocked with its password.
    int KeePassXc(const std::string& command, const std::string& arguments)
    {
        return Shell("echo pw | keepassxc-cli " + command + " -q " + Quoted(work + "out.kdbx") + " " + arguments +
                     " >/dev/null 2>&1");
    }
    // keepassxc-cli's CSV export of a database (back.csv) must hold every field of every
    // record as its UTF-8 text.
    void ExpectEveryField()
    {
        std::vector<unsigned char> bytes = ReadBytes(dir.File("back.csv"));
        std::vector<csv::Row> rows;
        std::string error;
        ASSERT_TRUE(csv::Parse(std::string(bytes.begin(), bytes.end()), &rows, &error)) << error;
        ASSERT_EQ(1025u, rows.size());
        ASSERT_EQ(formats::kKeePassXcCsv, formats::ByHeader(rows[0].fields));
        charset::CodePage cp;
        ASSERT_TRUE(cp.Load(1252));
        auto text = [&](const char* field, size_t size) { return cp.ToUtf8(std::string(field, strnlen(field, size))); };
        for (int i = 0; i < 1024; ++i) {
            const Record& r = original[i];
            const std::vector<std::string>& f = rows[i + 1].fields;
            ASSERT_GE(f.size(), 6u);
            std::string title = text(r.website, 128);
            if (title.empty())
                title = "h" + std::to_string(i) + ".example"; // the host of the URL
            EXPECT_EQ(title, f[1]) << "record " << i;
            EXPECT_EQ(text(r.userName, 64), f[2]) << "record " << i;
            EXPECT_EQ(text(r.password, 64), f[3]) << "record " << i;
            EXPECT_EQ(text(r.url, 128), f[4]) << "record " << i;
            EXPECT_EQ(text(r.remarks, 128), f[5]) << "record " << i;
        }
    }
    std::vector<Record> original;
    std::string work;
};

} // namespace

TEST_F(RoundTripTest, ThroughKeePassXcAndBack)
{
    MakeKeePassXcDatabase();
    ASSERT_EQ(0, Shell("echo pw | keepassxc-cli export -q -f csv " + Quoted(work + "out.kdbx") + " > " +
                     Quoted(work + "back.csv") + " 2>/dev/null"));
    ExpectEveryField();

    // Back in: the same bytes for every record that had a website.
    MakeFolder(dir.File("again"));
    ASSERT_EQ(0, Shell(Quoted(Tool) + " import " + Quoted(work + "back.csv") + " " + Quoted(work + "again") +
                     " >/dev/null"));
    std::vector<unsigned char> again = ReadBytes(dir.File("again\\Kestal.dat"));
    ASSERT_EQ(1024u * 512u, again.size());
    for (int i = 0; i < 1024; ++i) {
        if (original[i].website[0] == 0)
            continue;
        EXPECT_EQ(0, std::memcmp(&original[i], &again[i * 512], 512)) << "record " << i;
    }
}

// No file in clear on the way: the tool's own KDBX 4 database, opened by keepassxc-cli with
// the password (a wrong one refused), holds every field.
TEST_F(RoundTripTest, StraightIntoAnEncryptedDatabase)
{
    ASSERT_EQ(0, Shell("keepassxc-cli --version >/dev/null 2>&1")) << "keepassxc-cli is missing (Debian: keepassxc)";
    SaveRecords();
    work = Folder();
    ASSERT_EQ(0, Shell("echo 'long pass phrase' | KESTAL_TEST_KDF=fast " + Quoted(Tool) + " export " +
                     Quoted(work + "db") + " --format kdbx -o " + Quoted(work + "out.kdbx") + " 2>/dev/null"));
    EXPECT_NE(0, Shell("echo 'long pass phrasE' | keepassxc-cli ls -q " + Quoted(work + "out.kdbx") + " >/dev/null 2>&1"));
    ASSERT_EQ(0, Shell("echo 'long pass phrase' | keepassxc-cli export -q -f csv " + Quoted(work + "out.kdbx") + " > " +
                     Quoted(work + "back.csv") + " 2>/dev/null"));
    ExpectEveryField();
    EXPECT_EQ((std::vector<std::string>{"back.csv", "db", "out.kdbx"}), Entries(dir.Path()));
}

// KeePassXC's own XML export of that database, with entries moved into nested groups and
// one deleted into its recycle bin, read back by import: every other record the same bytes.
TEST_F(RoundTripTest, KeePassXcXmlExportReadsBackEqual)
{
    MakeKeePassXcDatabase();
    ASSERT_EQ(0, KeePassXc("mkdir", "Web"));
    ASSERT_EQ(0, KeePassXc("mkdir", "Web/Social"));
    charset::CodePage cp;
    ASSERT_TRUE(cp.Load(1252));
    auto title = [&](int i) { return Quoted(cp.ToUtf8(original[i].website)); };
    ASSERT_EQ(0, KeePassXc("mv", title(1) + " Web/Social"));
    ASSERT_EQ(0, KeePassXc("mv", title(2) + " Web"));
    ASSERT_EQ(0, KeePassXc("rm", title(5)));
    ASSERT_EQ(0, Shell("echo pw | keepassxc-cli export -q -f xml " + Quoted(work + "out.kdbx") + " > " +
                     Quoted(work + "back.xml") + " 2>/dev/null"));

    MakeFolder(dir.File("again"));
    ASSERT_EQ(0, Shell(Quoted(Tool) + " import " + Quoted(work + "back.xml") + " " + Quoted(work + "again") + " >" +
                     Quoted(work + "summary") + " 2>" + Quoted(work + "reports")));
    std::vector<unsigned char> summary = ReadBytes(dir.File("summary")), reports = ReadBytes(dir.File("reports"));
    EXPECT_EQ("1023 imported, 0 skipped\n", std::string(summary.begin(), summary.end()));
    EXPECT_EQ("1 entry of the recycle bin was left out\n", std::string(reports.begin(), reports.end()));
    std::vector<unsigned char> again = ReadBytes(dir.File("again\\Kestal.dat"));
    ASSERT_EQ(1023u * 512u, again.size());
    // Records in the order KeePassXC writes them (a group's entries before its groups):
    // found by their URLs, which are all different.
    std::map<std::string, int> byUrl;
    for (int i = 0; i < 1024; ++i)
        byUrl[std::string(original[i].url, strnlen(original[i].url, 128))] = i;
    ASSERT_EQ(1024u, byUrl.size());
    std::vector<bool> seen(1024, false);
    for (size_t k = 0; k < 1023; ++k) {
        const Record* r = (const Record*)&again[k * 512];
        auto found = byUrl.find(std::string(r->url, strnlen(r->url, 128)));
        ASSERT_TRUE(found != byUrl.end()) << r->url;
        int i = found->second;
        EXPECT_TRUE(i != 5 && !seen[i]) << "record " << i;
        seen[i] = true;
        if (original[i].website[0] != 0) {
            EXPECT_EQ(0, std::memcmp(&original[i], r, 512)) << "record " << i;
        }
    }
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestal_roundtrip_test KESTAL_TOOL\n");
        return 2;
    }
    Tool = argv[1];
    return RUN_ALL_TESTS();
}
