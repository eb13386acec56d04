// Export: what each format writes for records with awkward text, and how the output file is
// made.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli_fixture.h"
#include "private_file.h"

namespace {

class ExportTest : public CliTest {
protected:
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

namespace {

#ifdef _WIN32
// Whether the file's access list lets nobody in but the current user (and the system
// account, which Wine adds when it derives the list from the file's Unix mode: it keeps no
// access list of its own, so the protected list the tool sets cannot be read back there).
bool OwnerAlone(const std::string& path)
{
    unsigned char buffer[4096];
    DWORD needed = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof(buffer), &needed) ||
        !GetSecurityDescriptorDacl(buffer, &present, &acl, &defaulted) || !present || acl == nullptr)
        return false;
    HANDLE token;
    unsigned char user[256];
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, user, sizeof(user), &needed);
    CloseHandle(token);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID system;
    AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
    int users = 0;
    bool others = false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace;
        if (!GetAce(acl, i, (void**)&ace) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        PSID sid = (PSID)&ace->SidStart;
        if (EqualSid(sid, ((TOKEN_USER*)user)->User.Sid))
            ++users;
        else if (!EqualSid(sid, system))
            others = true;
    }
    FreeSid(system);
    return users > 0 && !others;
}
#else
unsigned Mode(const std::string& path)
{
    struct stat st;
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return lstat(p.c_str(), &st) == 0 ? (unsigned)(st.st_mode & 07777) : 0u;
}
#endif

} // namespace

// The export goes through a temporary file of its own: a file already at FILE.tmp (a
// leftover of an old run, readable by all) is neither reused nor touched, and the export is
// its owner's alone whatever was there. Nothing but FILE is left behind.
TEST_F(ExportTest, TheExportIsANewPrivateFileAndOtherFilesAreLeftAlone)
{
    Database({{"S", "https://s.example", "me", "pw", ""}});
    std::string leftover = Write("out.csv.tmp", "not the export");
#ifndef _WIN32
    ASSERT_EQ(0, chmod(leftover.c_str(), 0644));
#endif
    Options o;
    o.folder = Folder() + "db";
    o.format = "browser-csv";
    o.output = Folder() + "out.csv";
    ASSERT_EQ(0, Export(o));
    std::vector<unsigned char> exported = ReadBytes(dir.File("out.csv"));
    EXPECT_EQ("name,url,username,password,note\nS,https://s.example,me,pw,\n", std::string(exported.begin(), exported.end()));
    std::vector<unsigned char> kept = ReadBytes(dir.File("out.csv.tmp"));
    EXPECT_EQ("not the export", std::string(kept.begin(), kept.end()));
    EXPECT_EQ((std::vector<std::string>{"db", "out.csv", "out.csv.tmp"}), Entries(dir.Path()));
#ifdef _WIN32
    EXPECT_TRUE(OwnerAlone(dir.File("out.csv")));
#else
    EXPECT_EQ(0600u, Mode(dir.File("out.csv")));
    EXPECT_EQ(0644u, Mode(dir.File("out.csv.tmp")));
#endif
}

#ifndef _WIN32
// A link at every temporary name the tool may use: the export is refused, nothing is
// written through any of them, and each link stays as it was. With one name free the export
// is written there and moved into place. A link at FILE itself is never followed: refused
// without --force, replaced (the link, not its target) with it.
TEST_F(ExportTest, NoLinkIsEverFollowed)
{
    Database({{"S", "https://s.example", "me", "pw", ""}});
    std::string out = Folder() + "out.csv", victim = Folder() + "victim";
    for (int n = 0; n < tool::kTemporaryNames; ++n)
        ASSERT_EQ(0, symlink(victim.c_str(), tool::TemporaryName(out, n).c_str()));
    Options o;
    o.folder = Folder() + "db";
    o.format = "browser-csv";
    o.output = out;
    EXPECT_EQ(2, Export(o));
    EXPECT_FALSE(Exists(dir.File("victim")));
    EXPECT_FALSE(Exists(dir.File("out.csv")));

    std::string free = tool::TemporaryName(out, 57);
    ASSERT_EQ(0, unlink(free.c_str()));
    EXPECT_EQ(0, Export(o));
    EXPECT_FALSE(Exists(dir.File("victim")));
    EXPECT_EQ(0600u, Mode(out));
    EXPECT_NE(0, access(free.c_str(), F_OK)); // moved into place, not left behind
    char target[256] = {};
    for (int n = 0; n < tool::kTemporaryNames; ++n) {
        if (n == 57)
            continue;
        ASSERT_EQ((ssize_t)victim.size(), readlink(tool::TemporaryName(out, n).c_str(), target, sizeof(target) - 1));
    }

    std::string linked = Folder() + "linked.csv";
    WriteBytes(dir.File("victim"), std::vector<unsigned char>{'v'});
    ASSERT_EQ(0, symlink(victim.c_str(), linked.c_str()));
    o.output = linked;
    EXPECT_EQ(2, Export(o));
    o.force = true;
    EXPECT_EQ(0, Export(o));
    EXPECT_EQ(std::vector<unsigned char>{'v'}, ReadBytes(dir.File("victim")));
    EXPECT_EQ(0600u, Mode(linked)); // a file of its own now, not a link
    EXPECT_EQ(ReadBytes(dir.File("out.csv")), ReadBytes(dir.File("linked.csv")));
}
#endif
