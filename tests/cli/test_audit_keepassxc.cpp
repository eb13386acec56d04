// audit's look-up gives the answers of a peer that reads the whole list: 1024 records,
// exported as KeePass XML and imported into a KeePassXC database, checked against the same
// generated list by `kestal-tool audit --hibp` and by `keepassxc-cli analyze --hibp`; each
// must name the same records as exposed, with the same counts.
//   kestal_audit_keepassxc_test KESTAL_TOOL
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "cli_fixture.h"
#include "hash_list.h"

namespace {

std::string Tool;

int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Password i, as the files hold it (Windows-1252) and as UTF-8: every third one listed,
// letters beyond ASCII in some, and two passwords shared by several records.
struct Password {
    std::string bytes, utf8;
    bool listed;
};
Password Made(int i)
{
    std::string n = std::to_string(i);
    if (i % 50 == 7)
        return {"Shared-Listed-\xE9", "Shared-Listed-\xC3\xA9", true};
    if (i % 50 == 9)
        return {"Shared-Unlisted", "Shared-Unlisted", false};
    bool listed = i % 3 == 0;
    std::string stem = (listed ? "Listed-" : "Unlisted-") + n;
    if (i % 4 == 1)
        return {stem + "-caf\xE9-\x80", stem + "-caf\xC3\xA9-\xE2\x82\xAC", listed};
    return {stem, stem, listed};
}

class AuditKeePassXcTest : public CliTest {};

} // namespace

TEST_F(AuditKeePassXcTest, SameExposedRecordsAndCountsAsKeePassXc)
{
    ASSERT_EQ(0, Shell("keepassxc-cli --version >/dev/null 2>&1")) << "keepassxc-cli is missing (Debian: keepassxc)";
    MakeFolder(dir.File("db"));
    std::strcpy(SettingsBlock.folder, dir.File("db\\").c_str());
    std::vector<hash_list::Line> lines = hash_list::RandomLines(100000, 17);
    std::map<std::string, bool> inList;
    for (int i = 0; i < 1024; ++i) {
        Password p = Made(i);
        std::string website = "Site " + std::to_string(i), url = "https://h" + std::to_string(i) + ".example/";
        SetWorking(website.c_str(), url.c_str(), ("user" + std::to_string(i)).c_str(), p.bytes.c_str());
        AppendRecord();
        if (p.listed && !inList[p.utf8]) {
            inList[p.utf8] = true;
            crypto::Sha1Digest d;
            ASSERT_TRUE(crypto::Sha1(p.utf8, &d));
            lines.push_back({d, std::to_string(3 * i + 1)});
        }
    }
    ASSERT_EQ(0, SaveDatabase());
    ASSERT_EQ(0, SaveSettings());
    hash_list::Sort(&lines);
    std::string list = Write("list.txt", hash_list::Text(lines));
    std::string db = Folder() + "db", xml = Folder() + "kestal.xml", kdbx = Folder() + "peer.kdbx";

    ASSERT_EQ(0, Shell("'" + Tool + "' export '" + db + "' --format keepass-xml -o '" + xml + "'"));
    ASSERT_EQ(0, Shell("printf 'pw\\npw\\n' | keepassxc-cli import -q -p '" + xml + "' '" + kdbx + "' >/dev/null 2>&1"));
    ASSERT_EQ(0, Shell("echo pw | keepassxc-cli analyze -q --hibp '" + list + "' '" + kdbx + "' >'" + Folder() +
                       "peer.txt' 2>/dev/null"));
    ASSERT_EQ(1, Shell("'" + Tool + "' audit '" + db + "' --hibp '" + list + "' --json >'" + Folder() + "ours.json'"));

    std::map<std::string, std::string> peer, ours;
    std::string text = Slurp(Folder() + "peer.txt");
    std::regex leaked("Password for '([^']*)' has been leaked ([0-9]+) time");
    for (std::sregex_iterator m(text.begin(), text.end(), leaked), end; m != end; ++m)
        peer[(*m)[1]] = (*m)[2];
    text = Slurp(Folder() + "ours.json");
    std::regex exposed("\"website\":\"([^\"]*)\",\"user_name\":\"[^\"]*\",\"kind\":\"exposed\",\"count\":([0-9]+)");
    for (std::sregex_iterator m(text.begin(), text.end(), exposed), end; m != end; ++m)
        ours[(*m)[1]] = (*m)[2];
    size_t expected = 0;
    for (int i = 0; i < 1024; ++i)
        expected += Made(i).listed;
    EXPECT_EQ(expected, peer.size());
    EXPECT_EQ(peer, ours);
    EXPECT_EQ("22", ours["Site 7"]);  // the first record of the shared listed password gave its count
    EXPECT_EQ("22", ours["Site 57"]);
    EXPECT_EQ(0u, ours.count("Site 9"));
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestal_audit_keepassxc_test KESTAL_TOOL\n");
        return 2;
    }
    Tool = argv[1];
    return RUN_ALL_TESTS();
}
