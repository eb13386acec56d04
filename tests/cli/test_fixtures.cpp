// Import of one file per manager's and browser's layout (tests/cli/fixtures/, made after what
// each program writes): every login where it belongs, nothing else, and each row that was
// skipped or changed reported with its line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

struct Expected {
    const char* website;
    const char* url;
    const char* userName;
    const char* password;
    const char* remarks; // Windows-1252 bytes
};

struct Case {
    const char* file;
    int status;
    std::vector<Expected> records;
    std::vector<const char*> reports; // lines that must appear on standard error
};

std::string Text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

class FixtureTest : public CliTest {
protected:
    // Imports a fixture into a fresh db/; returns the exit status, *reports what went to
    // standard error.
    int ImportFixture(const std::string& file, Options o, std::string* reports)
    {
        ResetStore();
        RemovePath(dir.File("db"));
        MakeFolder(dir.File("db"));
        o.input = std::string(KESTAL_FIXTURES) + file;
        o.folder = Folder() + "db";
        testing::internal::CaptureStderr();
        int status = Import(o);
        *reports = testing::internal::GetCapturedStderr();
        return status;
    }
    std::vector<Record> RecordsIfAny() const
    {
        return Exists(dir.File("db\\Kestal.dat")) ? Records() : std::vector<Record>();
    }
};

const Case kCases[] = {
    {"chrome.csv", 1,
     {{"mail.example", "https://mail.example/", "ann", "pa,ss\"word", ""},
      {"bank.example", "https://bank.example/login", "ann.b", "s3cr3t", ""}, // a row without its note
      {"ovh.com", "https://www.ovh.com/manager/", "first", "pw-one", "Two lines of note"},
      {"ovh.com", "https://www.ovh.com/manager/", "second", "pw-two", ""},
      {"App", "android://hash@com.example.app/", "app-user", "app-pw", ""}},
     {"line 6: same website as record 2: imported as another account",
      "line 7: skipped: the same URL, user name and password as record 3", "line 8: skipped: the password is empty",
      "line 10: skipped: the password is empty"}},
    {"chrome-before-notes.csv", 0,
     {{"a.example", "https://a.example/", "u1", "p1", ""}, {"b.example", "https://b.example/", "u2", "p2", ""}},
     {}},
    {"firefox.csv", 1,
     {{"shop.example", "https://shop.example", "buyer", "b-pass", ""},
      {"shop.example", "https://shop.example", "buyer2", "b-pass2", ""},
      {"intranet.example", "https://user@intranet.example:8443", "admin", "a\"b", ""}},
     {"line 3: same website as record 0: imported as another account",
      "line 4: text after a closing quote was read as it stands",
      "line 4: skipped: Firefox's own account entry, not a login"}},
    {"bitwarden.csv", 1,
     {{"Forum", "https://forum.example/login", "poster", "forum-pw", ""},
      {"Bank", "https://bank.example", "holder", "bank-pw", "PIN is on the card second line"},
      {" Spaced name ", "https://work.example", "worker", "w-pw", ""}},
     {"line 3: the first of several URIs was kept; not kept: https://m.bank.example",
      "line 5: skipped: not a login (type \"note\")", "line 6: skipped: not a login (type \"card\")"}},
    {"bitwarden-2017.csv", 1,
     {{"Chat", "chat.example", "me@example.com", "chat-pw", ""},
      {"Shop", "https://shop.example/", "shopper", "shop-pw", "Order notes  after a blank line"}},
     {"line 6: skipped: not a login (type \"note\")"}},
    {"bitwarden-organization.csv", 0, {{"Team wiki", "https://wiki.example", "team", "wiki-pw", ""}}, {}},
    {"keepassxc.csv", 1,
     {{"Git host", "https://git.example", "dev", "g\\it\"pw", "line one line two"}},
     {"line 4: skipped: the URL is empty (--allow-empty-url imports such rows)"}},
    {"keepassx2.csv", 1, {{"Mail", "https://mail.example", "mailer", "m-pw", ""}},
     {"line 3: skipped: the password is empty"}},
    {"lastpass.csv", 1, {{"social.example", "https://social.example/", "member", "soc-pw", ""}},
     {"line 3: skipped: a LastPass secure note, not a login",
      "line 5: skipped: the user name is empty (--allow-empty-user imports such rows)"}},
    {"lastpass-before-totp.csv", 0, {{"news.example", "https://news.example/", "reader", "news-pw", "first second"}},
     {}},
    {"1password8.csv", 0, {{"Cloud", "https://cloud.example", "cloud-user", "c-pw", "multi line"}}, {}},
    {"1password7-windows.csv", 1, {{"Key  vault", "https://vault.example", "vault-user", "v-pw", "It\x92s fine"}},
     {"line 2: website: 1 character Windows-1252 cannot hold was left out", "line 3: skipped: the password is empty"}},
    {"safari.csv", 0,
     {{"example.com (example_user)", "https://example.com", "example_user", "ex-pw", "Note second"}}, {}},
    {"safari-old.csv", 0, {{"old.example (me)", "https://old.example", "me", "old-pw", ""}}, {}},
    {"synology.csv", 0, {{"nas.example", "https://nas.example:5001/", "admin", "nas,pw", "first second"}}, {}},
    // The managers' own XML and JSON exports: entries named by their place, not a line.
    {"keepass2.xml", 1,
     {{"Bank & Co", "https://bank.example/?a=1&b=2", "holder", "a&b\"c'd\xE9", "Card <2> & PIN second line"},
      {"Forum", "https://forum.example", "poster", "forum-pw", ""},
      {"Caf\xE9", "https://cafe.example", "cdata&user", "  spaced pw  ", ""},
      {"Forum app", "android://forum.example", "poster", "forum-pw", ""}}, // fields that refer to Forum's
     {"1 entry of the recycle bin was left out",
      "entry 3 (group Home/Internet/Social): skipped: the Password value is enciphered (Protected=\"True\") with the key "
      "of the database it came from; export the database as XML again",
      "entry 6 (group Home/Internet): skipped: the Password value refers to another entry's ({REF:...}) that the file "
      "does not hold"}},
    {"keepassx.xml", 1,
     {{"Mail & more", "https://mail.example", "mailer", "m<pw", "first line second line"},
      {"Books", "https://books.example", "reader", "book-pw", "Kundennummer: 12"}},
     {"1 entry of the Backup group (older versions and deleted entries) was left out",
      "entry 2 (group Internet/Shops): skipped: the password is empty"}},
    {"pwsafe.xml", 1,
     {{"Forum", "https://forum.example", "poster", "a]]>b<c&d", "first line second line"},
      {"Mail", "https://mail.example", "ann@mail.example", "mail-pw", ""}},
     {"entry 3 (group Work): skipped: the URL is empty (--allow-empty-url imports such rows)"}},
    {"bitwarden.json", 1,
     {{"Forum", "https://forum.example/login", "poster", "forum,pw", "first line second \"line\" caf\xE9"},
      {"Bank", "https://bank.example", "holder", "bank-pw", ""}},
     {"entry 1 (folder Social): the first of 2 URIs was kept; not kept: https://m.forum.example",
      "entry 2: skipped: not a login (type \"secure note\")", "entry 3: skipped: not a login (type \"card\")",
      "entry 5: skipped: the password is empty"}},
};

} // namespace

TEST_F(FixtureTest, EachLayoutGivesItsLoginsWithTheirFieldsInPlace)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        std::string reports;
        EXPECT_EQ(c.status, ImportFixture(c.file, Options(), &reports)) << reports;
        std::vector<Record> records = RecordsIfAny();
        ASSERT_EQ(c.records.size(), records.size()) << reports;
        EXPECT_EQ(c.records.size(), CountOnDisk());
        for (size_t i = 0; i < records.size(); ++i) {
            const Record& r = records[i];
            const Expected& e = c.records[i];
            EXPECT_EQ(e.website, Text(r.website, sizeof(r.website))) << "record " << i;
            EXPECT_EQ(e.url, Text(r.url, sizeof(r.url))) << "record " << i;
            EXPECT_EQ(e.userName, Text(r.userName, sizeof(r.userName))) << "record " << i;
            EXPECT_EQ(e.password, Text(r.password, sizeof(r.password))) << "record " << i;
            EXPECT_EQ(e.remarks, Text(r.remarks, sizeof(r.remarks))) << "record " << i;
        }
        for (const char* line : c.reports)
            EXPECT_NE(std::string::npos, reports.find(std::string(line) + "\n")) << line << "\nin:\n" << reports;
        // Nothing else is reported: one line a report, the expected ones only.
        EXPECT_EQ((long)c.reports.size(), (long)std::count(reports.begin(), reports.end(), '\n')) << reports;
    }
}

TEST_F(FixtureTest, TheProgramsLimitsNeverCutASilentCharacter)
{
    std::string reports;
    EXPECT_EQ(1, ImportFixture("limits.csv", Options(), &reports));
    std::vector<Record> records = RecordsIfAny();
    ASSERT_EQ(8u, records.size()) << reports;
    EXPECT_EQ(std::string(126, 'w'), Text(records[0].website, 128)); // cut, at 126 characters
    EXPECT_EQ(std::string(126, 'r'), Text(records[1].remarks, 128));
    EXPECT_EQ("https://" + std::string(118, 'u'), Text(records[2].url, 128)); // 126: fits
    EXPECT_EQ(std::string(62, 'n'), Text(records[3].userName, 64));
    EXPECT_EQ(std::string(62, 'x'), Text(records[4].password, 64));
    EXPECT_EQ("Emoji", Text(records[5].website, 128)); // the two emoji left out, and the space they left
    EXPECT_EQ("caf\xE9 \x80", Text(records[5].remarks, 128));
    EXPECT_EQ("Quote \"here\"", Text(records[6].website, 128)); // read literally
    EXPECT_EQ("Trailing", Text(records[7].website, 128)); // an empty extra field is no spill
    for (const char* line : {"line 2: website cut to 126 characters", "line 3: remarks cut to 126 characters",
                             "line 4: skipped: URL is 127 characters; the program keeps 126",
                             "line 6: skipped: user name is 63 characters; the program keeps 62",
                             "line 8: skipped: password is 63 characters; the program keeps 62",
                             "line 10: skipped: remarks holds a NUL byte",
                             "line 11: skipped: password holds characters Windows-1252 cannot hold",
                             "line 12: website: 2 characters Windows-1252 cannot hold were left out",
                             "line 13: a quote inside an unquoted field was read as text",
                             "line 14: skipped: 6 fields where the header names 5: its columns cannot be told apart",
                             "line 16: skipped: Firefox's own account entry, not a login"})
        EXPECT_NE(std::string::npos, reports.find(line)) << line << "\nin:\n" << reports;
}

TEST_F(FixtureTest, OptionsTakeWhatTheProgramKeepsButWouldNotCreate)
{
    std::string reports;
    Options o;
    o.allowEmptyUrl = true;
    EXPECT_EQ(0, ImportFixture("keepassxc.csv", o, &reports)) << reports;
    std::vector<Record> records = RecordsIfAny();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("No URL", Text(records[1].website, 128));
    EXPECT_EQ("", Text(records[1].url, 128));

    o = Options();
    o.allowEmptyUser = true;
    EXPECT_EQ(1, ImportFixture("lastpass.csv", o, &reports)); // the secure note stays out
    records = RecordsIfAny();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("", Text(records[1].userName, 64));
    EXPECT_EQ("guest-pw", Text(records[1].password, 64));

    // The program's own rule: another account on a stored website or URL is left out.
    o = Options();
    o.skipSameSite = true;
    EXPECT_EQ(1, ImportFixture("chrome.csv", o, &reports));
    EXPECT_EQ(4u, RecordsIfAny().size());
    EXPECT_NE(std::string::npos, reports.find("line 6: skipped: same website as record 2 (--skip-same-site)"))
        << reports;
}

TEST_F(FixtureTest, FormatChecksTheHeaderAndNeverPlacesColumns)
{
    struct Check {
        const char* file;
        const char* fits;  // a --format its header has
        const char* other; // one it has not
    } checks[] = {
        {"chrome.csv", "browser-csv", "bitwarden-csv"},
        {"chrome-before-notes.csv", "browser-csv", "keepassxc-csv"},
        {"firefox.csv", "firefox-csv", "browser-csv"},
        {"bitwarden.csv", "bitwarden-csv", "keepassxc-csv"},
        {"bitwarden-2017.csv", "bitwarden-csv", "browser-csv"},
        {"keepassxc.csv", "keepassxc-csv", "firefox-csv"},
        {"keepassx2.csv", "keepassxc-csv", "bitwarden-csv"},
    };
    for (const Check& c : checks) {
        SCOPED_TRACE(c.file);
        std::string reports;
        Options o;
        o.format = c.fits;
        EXPECT_NE(2, ImportFixture(c.file, o, &reports)) << reports;
        EXPECT_FALSE(RecordsIfAny().empty());
        o.format = c.other;
        EXPECT_EQ(2, ImportFixture(c.file, o, &reports));
        EXPECT_NE(std::string::npos, reports.find(std::string("not one that ") + c.other)) << reports;
        EXPECT_FALSE(Exists(dir.File("db\\Kestal.dat")));
        EXPECT_FALSE(Exists(dir.File("db\\KSys.dat")));
    }
}

TEST_F(FixtureTest, TwoColumnsForOneFieldAreRefused)
{
    // Either column's text could end up in the field: refused, nothing written.
    Options o = ImportOf("url,website,username,password\nhttps://a,https://b,u,p\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(2, Import(o));
    std::string reports = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, reports.find("both name the URL")) << reports;
    EXPECT_FALSE(Exists(dir.File("db\\Kestal.dat")));
}
