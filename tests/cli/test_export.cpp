// Export: what each format writes for records with awkward text, and how the output file is
// made.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli_fixture.h"

namespace {

class ExportTest : public CliTest {
protected:
    // Saves records into db/ as the program would.
    void Database(const std::vector<std::vector<const char*>>& records)
    {
        MakeFolder(dir.File("db"));
        ResetStore();
        std::strcpy(SettingsBlock.folder, dir.File("db\\").c_str());
        for (const auto& r : records) {
            SetWorking(r[0], r[1], r[2], r[3], r[4]);
            AppendRecord();
        }
        ASSERT_EQ(0, SaveDatabase());
        ASSERT_EQ(0, SaveSettings());
        ResetStore();
    }
    std::string Exported(const char* format)
    {
        Options o;
        o.folder = Folder() + "db";
        o.format = format;
        o.output = Folder() + "out-" + format;
        o.force = true;
        EXPECT_EQ(0, Export(o));
        std::vector<unsigned char> bytes = ReadBytes(dir.File(std::string("out-") + format));
        return std::string(bytes.begin(), bytes.end());
    }
};

} // namespace

TEST_F(ExportTest, KeePassXmlEscapesTextAndDropsWhatKeePassXcRefuses)
{
    Database({{"A & B <co> \"q\" 'a' ]]>", "https://a.example/?x=1&y=2", "us\ter", "p\x01w\rx", "caf\xE9 \x80"},
              {"", "https://host.example:8080/path", "u", "p", ""},
              {"", "", "u", "p", ""}});
    std::string xml = Exported("keepass-xml");
    EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\""));
    EXPECT_NE(std::string::npos, xml.find("<Name>Password Kestal</Name>"));
    EXPECT_NE(std::string::npos, xml.find("<Value>A &amp; B &lt;co&gt; &quot;q&quot; &apos;a&apos; ]]&gt;</Value>"));
    EXPECT_NE(std::string::npos, xml.find("<Value>https://a.example/?x=1&amp;y=2</Value>"));
    EXPECT_NE(std::string::npos, xml.find("<Value>us\ter</Value>"));             // a tab stays
    EXPECT_NE(std::string::npos, xml.find("<Value>pw\nx</Value>"));              // \x01 dropped, CR -> LF
    EXPECT_NE(std::string::npos, xml.find("<Value>caf\xC3\xA9 \xE2\x82\xAC</Value>")); // UTF-8
    EXPECT_NE(std::string::npos, xml.find("<Value>host.example</Value>"));       // title from the URL's host
    EXPECT_NE(std::string::npos, xml.find("<Value>Record 2</Value>"));           // or from the index
    EXPECT_EQ(std::string::npos, xml.find("Protected"));
    EXPECT_EQ(std::string::npos, xml.find('\r'));
}

TEST_F(ExportTest, CsvFormatsHaveTheirManagersHeaders)
{
    Database({{"Site, \"quoted\"", "https://s.example", "me", "pw", "note"}});
    EXPECT_EQ("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\",\"Last Modified\","
              "\"Created\"\n"
              "\"Password Kestal\",\"Site, \"\"quoted\"\"\",\"me\",\"pw\",\"https://s.example\",\"note\",\"\",\"0\","
              "\"\",\"\"\n",
              Exported("keepassxc-csv"));
    EXPECT_EQ("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\n"
              "Password Kestal,,login,\"Site, \"\"quoted\"\"\",note,,0,https://s.example,me,pw,\n",
              Exported("bitwarden-csv"));
    EXPECT_EQ("name,url,username,password,note\n\"Site, \"\"quoted\"\"\",https://s.example,me,pw,note\n",
              Exported("browser-csv"));
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWhenForced)
{
    Database({{"S", "https://s.example", "me", "pw", ""}});
    Options o;
    o.folder = Folder() + "db";
    o.format = "browser-csv";
    o.output = Write("taken.csv", "keep me");
    EXPECT_EQ(2, Export(o));
    EXPECT_EQ("keep me", std::string((const char*)ReadBytes(dir.File("taken.csv")).data(), 7));
    o.force = true;
    EXPECT_EQ(0, Export(o));
    std::vector<unsigned char> replaced = ReadBytes(dir.File("taken.csv"));
    EXPECT_EQ("name,url,username,password,note\nS,https://s.example,me,pw,\n",
              std::string(replaced.begin(), replaced.end()));
    o.format = "firefox-csv"; // import only
    EXPECT_EQ(2, Export(o));
    o.format = "keepass-xml";
    o.folder = Folder() + "nothing-here";
    EXPECT_EQ(2, Export(o));
}
