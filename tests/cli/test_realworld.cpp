// Every export of another manager or browser kept beside the repository (in
// ../shared/realworld-exports/, when it is there) imported by the real tool: the records
// must be exactly the file's logins that the program can hold, in file order, each field
// taken from the column its header names, and nothing else.
//   kestal_realworld_test KESTAL_TOOL EXPORTS_FOLDER
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "charset.h"
#include "cli_fixture.h"
#include "csv.h"
#include "header.h"

namespace {

std::string Tool;
std::string Exports;

int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Lower(const std::string& s)
{
    return header::Folded(s);
}

// The column of the first header name among names, or -1.
int Column(const std::vector<std::string>& header, std::initializer_list<const char*> names)
{
    for (size_t i = 0; i < header.size(); ++i) {
        for (const char* n : names) {
            if (Lower(header[i]) == n)
                return (int)i;
        }
    }
    return -1;
}

std::string OneLine(std::string s)
{
    size_t at;
    while ((at = s.find("\r\n")) != std::string::npos)
        s.replace(at, 2, " ");
    for (char& c : s)
        c = c == '\r' || c == '\n' ? ' ' : c;
    return s;
}

std::string Text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

class RealWorldTest : public CliTest {};

} // namespace

TEST_F(RealWorldTest, EveryLoginTheProgramCanHoldIsStoredInPlaceAndNothingElse)
{
    if (!std::filesystem::is_directory(Exports))
        GTEST_SKIP() << Exports << " is not there";
    charset::CodePage cp;
    ASSERT_TRUE(cp.Load(1252));
    int files = 0, logins = 0;
    for (const auto& item : std::filesystem::directory_iterator(Exports)) {
        if (item.path().extension() != ".csv")
            continue;
        std::string name = item.path().filename().string();
        SCOPED_TRACE(name);
        ++files;
        std::vector<unsigned char> bytes = ReadBytes(item.path().string());
        std::vector<csv::Row> rows;
        std::string error;
        ASSERT_TRUE(csv::Parse(std::string(bytes.begin(), bytes.end()), &rows, &error)) << error;
        ASSERT_FALSE(rows.empty());
        const std::vector<std::string>& header = rows[0].fields;
        int url = Column(header, {"url", "login_uri", "login_urls", "website", "origin", "hostname"});
        int user = Column(header, {"username", "login_username", "user", "login", "account"});
        int password = Column(header, {"password", "login_password"});
        int title = Column(header, {"name", "title", "display_name"});
        int notes = Column(header, {"notes", "note", "extra", "comments", "comment"});
        int type = Column(header, {"type"});
        ASSERT_TRUE(url >= 0 && user >= 0 && password >= 0);

        // The logins the program can hold: URL, user name and password present and in
        // Windows-1252 within the program's limits, not a note or an account entry, not a
        // repeat of an earlier one.
        std::vector<std::vector<std::string>> expected; // url, user, password, title, notes
        for (size_t i = 1; i < rows.size(); ++i) {
            const std::vector<std::string>& f = rows[i].fields;
            auto cell = [&](int c) { return c >= 0 && c < (int)f.size() ? f[c] : std::string(); };
            std::string u = cell(url);
            if (Lower(header[url]) == "login_uri")
                u = u.substr(0, u.find(','));
            if (type >= 0 && Lower(header[url]) == "login_uri" && Lower(cell(type)) != "login")
                continue;
            if (Lower(u) == "http://sn" || Lower(u).rfind("chrome://firefoxaccounts", 0) == 0)
                continue;
            std::string uBytes, nBytes, pBytes;
            if (!cp.FromUtf8(OneLine(u), &uBytes) || !cp.FromUtf8(OneLine(cell(user)), &nBytes) ||
                !cp.FromUtf8(OneLine(cell(password)), &pBytes))
                continue;
            if (uBytes.empty() || nBytes.empty() || pBytes.empty() || uBytes.size() > 126 || nBytes.size() > 62 ||
                pBytes.size() > 62)
                continue;
            bool repeat = false;
            for (const auto& e : expected)
                repeat = repeat || (e[0] == uBytes && e[1] == nBytes && e[2] == pBytes);
            if (!repeat)
                expected.push_back(
                    {uBytes, nBytes, pBytes, title >= 0 ? OneLine(cell(title)) : "", OneLine(cell(notes))});
        }

        ResetStore();
        RemovePath(dir.File("db"));
        MakeFolder(dir.File("db"));
        int status = Shell("'" + Tool + "' import '" + item.path().string() + "' '" + Folder() + "db' >/dev/null 2>&1");
        EXPECT_TRUE(status == 0 || status == 1) << "exit " << status;
        std::vector<Record> records = expected.empty() ? std::vector<Record>() : Records();
        ASSERT_EQ(expected.size(), records.size());
        logins += (int)records.size();
        for (size_t i = 0; i < records.size(); ++i) {
            const Record& r = records[i];
            const std::vector<std::string>& e = expected[i];
            EXPECT_EQ(e[0], Text(r.url, sizeof(r.url))) << "record " << i;
            EXPECT_EQ(e[1], Text(r.userName, sizeof(r.userName))) << "record " << i;
            EXPECT_EQ(e[2], Text(r.password, sizeof(r.password))) << "record " << i;
            // The title and the notes: exactly, when Windows-1252 holds them whole and they
            // fit; otherwise what is stored comes from them, within the limit.
            for (int k : {3, 4}) {
                std::string stored =
                    k == 3 ? Text(r.website, sizeof(r.website)) : Text(r.remarks, sizeof(r.remarks));
                std::string whole;
                if (k == 3 && title < 0)
                    continue; // no title column: the URL's host, checked by the fixtures
                if (cp.FromUtf8(e[k], &whole) && whole.size() <= 126) {
                    EXPECT_EQ(whole, stored) << "record " << i << " field " << k;
                } else {
                    EXPECT_LE(stored.size(), 126u);
                    EXPECT_FALSE(whole.empty() && stored.empty() && !e[k].empty()) << "record " << i;
                }
            }
        }
    }
    EXPECT_GT(files, 0);
    std::printf("%d files, %d logins stored\n", files, logins);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestal_realworld_test KESTAL_TOOL EXPORTS_FOLDER\n");
        return 2;
    }
    Tool = argv[1];
    Exports = argv[2];
    return RUN_ALL_TESTS();
}
