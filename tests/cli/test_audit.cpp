// audit: each kind of finding on a small database, a clean one, the look-up of the UTF-8 of
// each password in a list, and the lists it refuses; what standard output and the exit
// status say, natively and under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audit.h"
#include "cli_fixture.h"
#include "hash_list.h"

namespace {

class AuditTest : public CliTest {
protected:
    // Runs audit on db/; standard output and error land in out and err.
    int Run(const AuditOptions& a, int codePage = 1252)
    {
        Options o;
        o.folder = Folder() + "db";
        o.codePage = codePage;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = Audit(o, a);
        std::fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }
    // A list holding the SHA-1 of each UTF-8 password with its count, among random lines.
    std::string List(const std::vector<std::pair<std::string, std::string>>& exposed, const std::string& gap = "")
    {
        std::vector<hash_list::Line> lines = hash_list::RandomLines(20000, 1);
        for (const auto& e : exposed) {
            crypto::Sha1Digest d;
            EXPECT_TRUE(crypto::Sha1(e.first, &d));
            lines.push_back({d, e.second});
        }
        hash_list::Sort(&lines);
        std::vector<hash_list::Line> after(lines.begin() + 10000, lines.end());
        lines.resize(10000);
        return Write("list.txt", hash_list::Text(lines) + gap + hash_list::Text(after));
    }
    std::string out, err;
};

const char kClean[] = "Zq8#kL2!vP9@mN4x";

} // namespace

TEST_F(AuditTest, ReportsEachKindOfFindingAndNeverAPassword)
{
    Database({{"Mail", "https://mail.example.com", "alice@example.com", "Alice-2020-Spring!"},
              {"Bank", "https://www.mybank.co.uk/login", "bob", "Tr0ub4dor&3xyzQ"},
              {"Shop", "https://shop.example", "carol", "Tr0ub4dor&3xyzQ"},
              {"Forum", "https://forum.example", "dave", "Sh0rt!x"},
              {"News", "https://news.example", "erin", "correcthorsebattery"},
              {"Games", "https://games.example", "frank", "ABCDEFGHIJKLMNOP"},
              {"Pin", "https://pin.example", "gina", "123456789012345"},
              {"Sym", "https://sym.example", "hank", "!@#$%^&*()_+-=[]"},
              {"", "https://www.Bigbank.co.uk/", "ivan", "X9bigBANK#Lq7zW"},
              {"Paypal", "https://p.example", "judy", "PAYPAL!Q7#zL9xW"},
              {"Clean", "https://clean.example", "kim", kClean},
              {"Caf\xE9", "https://c.example", "leo", "\xE9\xE8\xE0\xFC\xE9\xE8\xE0\xFC\xE9\xE8\xE0\xFC"},
              {"Bob2", "https://bob.example", "bob", "bob!Xyz12Qw9"},
              {"Three", "https://c.example", "mo", "Tr0ub4dor&3xyzQ"},
              // The name of mail.gmx.de is "gmx", not "mail": .de has no second level of its own.
              {"", "https://mail.gmx.de/", "nat", "Mail-Qx7#Lp2z!K"}});
    EXPECT_EQ(1, Run(AuditOptions()));
    EXPECT_EQ("0\tMail\talice@example.com\tholds the user name\n"
              "1\tBank\tbob\treused: the same password as records 2, 13\n"
              "2\tShop\tcarol\treused: the same password as records 1, 13\n"
              "3\tForum\tdave\tshort: 7 characters, fewer than 12\n"
              "4\tNews\terin\tone kind of character: only lower-case letters\n"
              "5\tGames\tfrank\tone kind of character: only upper-case letters\n"
              "6\tPin\tgina\tone kind of character: only digits\n"
              "7\tSym\thank\tone kind of character: only symbols\n"
              "8\t\tivan\tholds the website's name\n"
              "9\tPaypal\tjudy\tholds the website's name\n"
              "13\tThree\tmo\treused: the same password as records 1, 2\n",
              out);
    EXPECT_NE(std::string::npos, err.find("15 records audited, 11 with findings: 0 empty, 0 exposed, 3 reused, 1 short, "
                                          "4 one kind of character, 3 holding a name (exposure not looked up"))
        << err;
    for (const char* password : {"Tr0ub4dor", "Sh0rt", "correcthorse", kClean})
        EXPECT_EQ(std::string::npos, (out + err).find(password)) << password;
}

TEST_F(AuditTest, ACleanDatabaseHasNoFindingsAndTheLimitsAreTheUsers)
{
    Database({{"Clean", "https://clean.example", "kim", kClean}, {"Other", "https://o.example", "lu", "w7#Kp2!mZq9@xL"}});
    EXPECT_EQ(0, Run(AuditOptions()));
    EXPECT_EQ("", out);
    EXPECT_NE(std::string::npos, err.find("2 records audited, 0 with findings")) << err;
    AuditOptions longer;
    longer.minLength = 15;
    EXPECT_EQ(1, Run(longer));
    EXPECT_EQ("1\tOther\tlu\tshort: 14 characters, fewer than 15\n", out);
}

// The list hashes UTF-8: a password of the files' code page is converted first, so "é" and
// "€" of Windows-1252 are found, and the same bytes read as Windows-1251 are other letters.
TEST_F(AuditTest, LooksUpTheUtf8OfEachPasswordInItsCodePage)
{
    Database({{"Bistro \xE9", "https://c.example", "ann", "Caf\xE9-\x80-Long-Pass1"},
              {"Clean", "https://clean.example", "kim", kClean}});
    AuditOptions a;
    a.hibp = List({{"Caf\xC3\xA9-\xE2\x82\xAC-Long-Pass1", "31"}, {kClean, "000"}});
    EXPECT_EQ(1, Run(a));
    EXPECT_EQ("0\tBistro \xC3\xA9\tann\texposed: in the list of breached passwords, seen 31 times\n"
              "1\tClean\tkim\texposed: in the list of breached passwords, seen 0 times\n",
              out);
    EXPECT_NE(std::string::npos, err.find("2 with findings: 0 empty, 2 exposed")) << err;
    EXPECT_EQ(1, Run(a, 1251)); // only the clean one now
    EXPECT_EQ("1\tClean\tkim\texposed: in the list of breached passwords, seen 0 times\n", out);
    a.json = true;
    EXPECT_EQ(1, Run(a));
    EXPECT_NE(std::string::npos, out.find("{\"record\":0,\"website\":\"Bistro \xC3\xA9\",\"user_name\":\"ann\","
                                          "\"kind\":\"exposed\",\"count\":31}"))
        << out;
    EXPECT_NE(std::string::npos, out.find("\"counts\":{\"empty\":0,\"exposed\":2,\"reused\":0")) << out;
}

TEST_F(AuditTest, AListItCannotTrustStopsTheAuditWithStatusTwo)
{
    Database({{"Mail", "https://mail.example", "ann", "password"}, {"Clean", "https://clean.example", "kim", kClean}});
    AuditOptions a;
    a.hibp = Folder() + "no such list.txt";
    EXPECT_EQ(2, Run(a));
    EXPECT_EQ("", out);
    // Ordered by prevalence: the counts descending, the hashes in no order.
    std::vector<hash_list::Line> lines = hash_list::RandomLines(50000, 2);
    std::sort(lines.begin(), lines.end(), [](const hash_list::Line& x, const hash_list::Line& y) {
        return std::stoul(x.second) > std::stoul(y.second);
    });
    a.hibp = Write("prevalence.txt", hash_list::Text(lines));
    EXPECT_EQ(2, Run(a));
    EXPECT_EQ("", out);
    EXPECT_NE(std::string::npos, err.find("ordered by hash")) << err;
    // NUL bytes amid the lines: "password" is found, the other may have been in the gap.
    a.hibp = List({{"password", "9545824"}}, std::string(1 << 20, '\0'));
    EXPECT_EQ(2, Run(a));
    EXPECT_NE(std::string::npos, out.find("0\tMail\tann\texposed: in the list of breached passwords, seen 9545824 times"))
        << out;
    EXPECT_NE(std::string::npos, err.find("1 of the passwords could not be looked up")) << err;
}
