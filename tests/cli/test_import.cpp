// Import: each row through the program's own rules, in the program's order, reported when
// skipped; the files saved as the program saves them, or not at all.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>

#include "cli_fixture.h"
#include "import_rules.h"
#include "text.h"

namespace {

const char kBrowserHeader[] = "name,url,username,password,note\n";

class ImportTest : public CliTest {};

} // namespace

TEST_F(ImportTest, RowsGoThroughTheProgramsRules)
{
    std::string text = std::string(kBrowserHeader) +
                       "Mail,https://mail.example,ann,pw1,first\n"               // line 2: imported
                       ",https://no-user.example,,pw,\n"                          // 3: empty user name
                       "Long," + std::string(127, 'u') + ",bob,pw,\n" +           // 4: URL of 127 bytes
                       "Max," + std::string(126, 'm') + ",bob,pw,\n" +            // 5: URL of 126 bytes fits
                       "Cyr,https://c.example,\xD0\xB8\xD0\xBC\xD1\x8F,pw,\n"     // 6: Cyrillic refused
                       "\"Two\nlines\",https://t.example,cy,\"p\r\nw\",\xC3\xA9\xE2\x82\xAC\n" // 7-8
                       "MAIL,https://other.example,x,y,\n"                         // 9: website stored
                       "Other,HTTPS://MAIL.EXAMPLE,x,y,\n"                         // 10: URL stored
                       "\n"                                                        // blank
                       "Last,https://last.example,z,w\n";                          // 12: no note column
    Options o = ImportOf(text);
    EXPECT_EQ(1, Import(o));
    std::vector<Record> records = Records();
    ASSERT_EQ(6u, records.size());
    EXPECT_EQ(6u, CountOnDisk());
    EXPECT_STREQ("Mail", records[0].website);
    EXPECT_STREQ("first", records[0].remarks);
    EXPECT_EQ(std::string(126, 'm'), std::string(records[1].url, strnlen(records[1].url, 128)));
    EXPECT_STREQ("Two lines", records[2].website); // line breaks become spaces
    EXPECT_STREQ("p w", records[2].password);
    EXPECT_STREQ("\xE9\x80", records[2].remarks);   // Windows-1252 bytes
    EXPECT_STREQ("MAIL", records[3].website);        // other accounts on stored sites
    EXPECT_STREQ("Other", records[4].website);
    EXPECT_STREQ("Last", records[5].website);

    // --skip-same-site answers the program's question with No.
    ResetStore();
    o.skipSameSite = true;
    o.input = Write("more.csv", std::string(kBrowserHeader) + "mail,https://new.example,x,y,\n");
    EXPECT_EQ(1, Import(o));
    EXPECT_EQ(6u, CountOnDisk());
}

TEST_F(ImportTest, NewFilesNameTheFolderAndExistingSettingsKeepTheirs)
{
    Options o = ImportOf(std::string(kBrowserHeader) + "A,https://a.example,me,pw,\n");
    ASSERT_EQ(0, Import(o));
    std::vector<unsigned char> settings = ReadBytes(dir.File("db\\KSys.dat"));
    ASSERT_EQ(320u, settings.size());
    std::string folder((const char*)&settings[4]);
#ifdef _WIN32
    EXPECT_EQ(dir.File("db\\"), folder);
#else
    std::string expected = "Z:" + dir.File("db\\");
    EXPECT_EQ(expected, folder);
#endif

    // Settings that name a folder that is not there: the program would find no records
    // there and never show these, so nothing is imported and both files stay as they were.
    Settings kept = {};
    std::memcpy(&kept, settings.data(), 320);
    std::strcpy(kept.folder, "C:\\Elsewhere\\");
    std::strcpy(kept.password, "secret");
    std::vector<unsigned char> elsewhere((unsigned char*)&kept, (unsigned char*)&kept + 320);
    WriteBytes(dir.File("db\\KSys.dat"), elsewhere);
    ResetStore();
    o.input = Write("b.csv", std::string(kBrowserHeader) + "B,https://b.example,me,pw,\n");
    EXPECT_EQ(2, Import(o));
    EXPECT_EQ(elsewhere, ReadBytes(dir.File("db\\KSys.dat")));
    EXPECT_EQ(1u, Records().size());

    // Settings that name this folder in other letter case keep their folder field and
    // password; only the count moves.
    std::string upper = folder;
    for (char& c : upper)
        c = (char)std::toupper((unsigned char)c);
    std::memset(kept.folder, 0, sizeof(kept.folder));
    std::strcpy(kept.folder, upper.c_str());
    WriteBytes(dir.File("db\\KSys.dat"), std::vector<unsigned char>((unsigned char*)&kept, (unsigned char*)&kept + 320));
    ResetStore();
    ASSERT_EQ(0, Import(o));
    settings = ReadBytes(dir.File("db\\KSys.dat"));
    ASSERT_EQ(320u, settings.size());
    Settings now = {};
    std::memcpy(&now, settings.data(), 320);
    EXPECT_EQ(2u, now.count);
    EXPECT_STREQ(upper.c_str(), now.folder);
    EXPECT_STREQ("secret", now.password);
    EXPECT_EQ(2u, Records().size());
}

TEST_F(ImportTest, NothingIsWrittenWhenTheInputOrTheFolderCannotBeTrusted)
{
    // Unknown header, a broken quote, a dry run: no file appears.
    Options o = ImportOf("title,login\nA,B\n");
    EXPECT_EQ(2, Import(o));
    o.input = Write("broken.csv", std::string(kBrowserHeader) + "\"A,https://a,me,pw\n");
    EXPECT_EQ(2, Import(o));
    o.input = Write("ok.csv", std::string(kBrowserHeader) + "A,https://a.example,me,pw,\n");
    o.dryRun = true;
    EXPECT_EQ(0, Import(o));
    EXPECT_FALSE(Exists(dir.File("db\\Kestal.dat")));
    EXPECT_FALSE(Exists(dir.File("db\\KSys.dat")));

    // A database of more than 1024 records, which the program cannot hold: a save would
    // drop those beyond the 1024th, so nothing is imported and both files stay as they were.
    o.dryRun = false;
    ASSERT_EQ(0, Import(o));
    std::vector<unsigned char> database = ReadBytes(dir.File("db\\Kestal.dat"));
    database.resize(1025 * 512, 'x');
    WriteBytes(dir.File("db\\Kestal.dat"), database);
    std::vector<unsigned char> settings = ReadBytes(dir.File("db\\KSys.dat"));
    ResetStore();
    o.input = Write("c.csv", std::string(kBrowserHeader) + "C,https://c.example,me,pw,\n");
    EXPECT_EQ(2, Import(o));
    EXPECT_EQ(database, ReadBytes(dir.File("db\\Kestal.dat")));
    EXPECT_EQ(settings, ReadBytes(dir.File("db\\KSys.dat")));
}

TEST_F(ImportTest, HeadersOfEachManagerAreRecognised)
{
    struct Case {
        std::string file;
        const char* website;
        const char* notes;
    } cases[] = {
        {"\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\",\"Last Modified\","
         "\"Created\"\n\"Root\",\"Kx\",\"u\",\"p\",\"https://kx.example\",\"n\",\"\",\"0\",\"\",\"\"\n",
         "Kx", "n"},
        {"folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\n"
         ",,note,Secret note,text,,0,,,,\n"
         ",1,login,Bw,n,,0,https://bw.example,u,p,\n",
         "Bw", "n"},
        {"NAME, URL ,Username,Password\nBr,https://br.example,u,p\n", "Br", ""},
        {"\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\",\"timeCreated\","
         "\"timeLastUsed\",\"timePasswordChanged\"\r\n\"https://user@fx.example:8443/login\",\"u\",\"p\",,"
         "\"\",\"{1}\",\"1\",\"2\",\"3\"",
         "fx.example", ""},
    };
    for (const Case& c : cases) {
        ResetStore();
        RemovePath(dir.File("db"));
        Options o = ImportOf(c.file);
        int status = Import(o);
        std::vector<Record> records = Records();
        ASSERT_EQ(1u, records.size()) << c.file;
        EXPECT_STREQ(c.website, records[0].website);
        EXPECT_STREQ("u", records[0].userName);
        EXPECT_STREQ("p", records[0].password);
        EXPECT_STREQ(c.notes, records[0].remarks);
        EXPECT_EQ(std::string(c.website) == "Bw" ? 1 : 0, status) << "the Bitwarden note is skipped";
    }
}

// The report of another account on a stored site names what is the same: two rows without
// a website share no website.
TEST_F(ImportTest, AnotherAccountIsReportedByWhatItShares)
{
    const struct {
        const char *rows, *says;
    } cases[] = {
        {",https://x.example,a,p1,\n,https://x.example,b,p2,\n", "line 3: same URL as record 0"},
        {"Mail,https://a.example,a,p1,\nmail,https://b.example,b,p2,\n", "line 3: same website as record 0"},
        {"A,https://x.example,a,p1,\nB,HTTPS://X.EXAMPLE,b,p2,\n", "line 3: same URL as record 0"},
        {",https://x.example,a,p1,\n,https://y.example,b,p2,\n", nullptr},
    };
    for (const auto& c : cases) {
        ResetStore();
        RemovePath(dir.File("db"));
        Options o = ImportOf(std::string(kBrowserHeader) + c.rows);
        testing::internal::CaptureStderr();
        Import(o);
        std::string reports = testing::internal::GetCapturedStderr();
        EXPECT_EQ(2u, Records().size()) << c.rows;
        if (c.says == nullptr)
            EXPECT_EQ("", reports);
        else
            EXPECT_EQ(std::string(c.says) + ": imported as another account\n", reports);
    }
}

// The index that spares each row a look at every record answers as the program's own
// search does: texts of a few bytes from an alphabet where CompareText's folding makes many
// pairs equal (case, '[' and '{', space, 0x80 and 0xA0), stored fields without a terminator,
// and the store growing between the questions as an import adds rows.
TEST_F(ImportTest, TheIndexOfStoredRecordsAnswersAsTheProgramsSearch)
{
    const char alphabet[] = "aAbB[{ \x80\xA0\xE9\xC9";
    std::mt19937 random(5);
    auto text = [&](size_t longest) {
        std::string t(random() % (longest + 1), ' ');
        for (char& c : t)
            c = alphabet[random() % (sizeof(alphabet) - 1)];
        return t;
    };
    auto exactly = [](const char* field, size_t size, const std::string& t) {
        return strnlen(field, size) == t.size() && std::memcmp(field, t.data(), t.size()) == 0;
    };
    import_rules::Index index;
    for (int round = 0; round < 600; ++round) {
        std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        std::string website = text(3), url = text(2), user = text(1), password = text(1);
        CopyText(website.c_str(), WorkingRecord.website, sizeof(WorkingRecord.website));
        CopyText(url.c_str(), WorkingRecord.url, sizeof(WorkingRecord.url));
        index.Update();
        uint32_t login = kNoRecord;
        for (uint32_t i = 0; i < SettingsBlock.count && login == kNoRecord; ++i) {
            const Record& r = RecordStore.slots[i];
            if (exactly(r.url, sizeof(r.url), url) && exactly(r.userName, sizeof(r.userName), user) &&
                exactly(r.password, sizeof(r.password), password))
                login = i;
        }
        ASSERT_EQ(FindDuplicate(WorkingRecord.website, WorkingRecord.url),
                  index.SameSite(WorkingRecord.website, WorkingRecord.url))
            << round;
        ASSERT_EQ(login, index.SameLogin(url, user, password)) << round;
        if (SettingsBlock.count < 400) {
            CopyText(user.c_str(), WorkingRecord.userName, sizeof(WorkingRecord.userName));
            CopyText(password.c_str(), WorkingRecord.password, sizeof(WorkingRecord.password));
            AppendRecord();
            if (round % 50 == 7) // a record read from a damaged file: fields without a terminator
                std::memset(RecordStore.slots[SettingsBlock.count - 1].website, 'a', kWebsiteSize + kUrlSize);
        }
    }
}

TEST_F(ImportTest, TheDatabaseTakes1024RecordsAndNoMore)
{
    std::string text = kBrowserHeader;
    for (int i = 0; i < 1026; ++i)
        text += "s" + std::to_string(i) + ",https://" + std::to_string(i) + ".example,u,p,\n";
    Options o = ImportOf(text);
    EXPECT_EQ(1, Import(o));
    EXPECT_EQ(1024u, CountOnDisk());
    EXPECT_EQ(1024u, Records().size());
}
