// The readers of the managers' own exports (KeePass 2, KeePassX 0.4 and Password Safe XML,
// Bitwarden JSON): documents that cannot be trusted are refused whole, with nothing written,
// and the guard that keeps rapidxml's descent bounded counts nesting as rapidxml does.
#include <gtest/gtest.h>

#include <cstdio>

#include <fstream>
#include <functional>
#include <sstream>

#include "cli_fixture.h"
#include "documents.h"
#include "xml_document.h"

using namespace std::string_literals;

namespace {

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(KESTAL_FIXTURES) + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DocumentTest : public CliTest {
protected:
    // A database of one record, whose two files must stay exactly as they are.
    void SetUp() override
    {
        CliTest::SetUp();
        Fresh();
        database = ReadBytes(dir.File("db\\Kestal.dat"));
        settings = ReadBytes(dir.File("db\\KSys.dat"));
    }
    // The database of one record, made anew.
    void Fresh()
    {
        RemovePath(dir.File("db"));
        ResetStore();
        ASSERT_EQ(0, Import(ImportOf("name,url,username,password\nKept,https://kept.example,me,pw\n")));
    }
    // Imports text; the exit status, and *reports what went to standard error.
    int ImportText(const std::string& text, const std::string& format, std::string* reports)
    {
        ResetStore();
        Options o;
        o.input = Write("in.doc", text);
        o.folder = Folder() + "db";
        o.format = format;
        testing::internal::CaptureStderr();
        int status = Import(o);
        *reports = testing::internal::GetCapturedStderr();
        return status;
    }
    bool Untouched() const
    {
        return ReadBytes(dir.File("db\\Kestal.dat")) == database && ReadBytes(dir.File("db\\KSys.dat")) == settings;
    }
    std::vector<unsigned char> database, settings;
};

} // namespace

TEST_F(DocumentTest, BrokenDocumentsAreRefusedWholeWithTheirReason)
{
    std::string deep = "<database>\n"; // 300 levels, one a line
    for (int i = 0; i < 300; ++i)
        deep += "<group>\n";
    // A value nested 200000 lists deep: refused before a tree is built (copying it recursed).
    std::string deepJson = "{\"items\":[{\"type\":" + std::string(200000, '[') + std::string(200000, ']') + "}]}";
    const struct {
        const char* what;
        std::string text;
        const char* message; // part of the one line on standard error
    } cases[] = {
        {"an end tag of another element", "<KeePassFile><Root><Group></Root></Group></KeePassFile>",
         "line 1: not well-formed XML"},
        {"an attribute without quotes", "<database>\n<group a=b></group></database>", "line 2: not well-formed XML"},
        {"a bad character reference", "<passwordsafe><entry><title>&#x110000;</title></entry></passwordsafe>",
         "not well-formed XML"},
        {"a NUL byte", "<database>\n\n<group>\0</group></database>"s, "line 3: a NUL byte"},
        {"text after the root", "<database></database>\ntrailing", "line 2: not well-formed XML"},
        {"another kind of XML", "<?xml version=\"1.0\"?><html><body/></html>", "its root element is <html>"},
        {"no root element", "<?xml version=\"1.0\"?>\n<!-- nothing -->\n", "without a root element"},
        {"KeePass XML without Root", "<KeePassFile><Meta/></KeePassFile>", "without its <Root> element"},
        {"nested too deep", deep, "line 257: elements nested more than 256 deep"},
        {"JSON cut short", "{\"items\": [{\"type\": 1,\n \"name\": \"A\"", "the JSON ends at line 2"},
        {"JSON that is not Bitwarden's", "{\"entries\": []}", "not a Bitwarden export (no \"items\")"},
        {"a name that is a number", "{\"items\": [{\"type\": 1, \"name\": 5}]}", "items[0].name is not text"},
        {"a login that is a list", "{\"items\": [{\"type\": 1, \"login\": []}]}", "items[0].login is not an object"},
        {"malformed JSON", "{\"items\": [,]}", "line 1: not well-formed JSON"},
        {"JSON nested too deep", deepJson, "JSON nested more than 64 levels deep"},
        {"an encrypted Bitwarden export", Fixture("bitwarden-encrypted.json"), "export it unencrypted or as CSV"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string reports;
        EXPECT_EQ(2, ImportText(c.text, "", &reports));
        EXPECT_NE(std::string::npos, reports.find(c.message)) << reports;
        EXPECT_EQ(1, std::count(reports.begin(), reports.end(), '\n')) << reports;
        EXPECT_TRUE(Untouched());
    }
}

TEST_F(DocumentTest, EveryDocumentCutShortIsRefusedAndNothingIsWritten)
{
    for (const char* name : {"keepass2.xml", "keepassx.xml", "pwsafe.xml", "bitwarden.json"}) {
        SCOPED_TRACE(name);
        std::string whole = Fixture(name);
        ASSERT_FALSE(whole.empty());
        size_t end = whole.find_last_of(">}"); // the root's last character: a cut before it leaves it open
        size_t step = std::max<size_t>(1, end / 150);
        int refused = 0, cuts = 0;
        for (size_t cut = 1; cut < end; cut += step) {
            std::string reports;
            ++cuts;
            if (ImportText(whole.substr(0, cut), "", &reports) == 2 && Untouched())
                ++refused;
            else
                ADD_FAILURE() << "cut at " << cut << ": " << reports;
        }
        EXPECT_EQ(cuts, refused);
        std::string reports;
        EXPECT_EQ(1, ImportText(whole, "", &reports)) << "the whole file imports";
        Fresh();
    }
}

TEST_F(DocumentTest, FormatChecksWhatTheContentIs)
{
    const struct {
        const char* file;
        const char* fits;
        const char* other;
        const char* says; // the refusal under other
    } checks[] = {
        {"keepass2.xml", "keepass-xml", "keepassx-xml", "a KeePass 2 XML export, not keepassx-xml"},
        {"keepassx.xml", "keepassx-xml", "pwsafe-xml", "a KeePassX 0.4 XML export, not pwsafe-xml"},
        {"pwsafe.xml", "pwsafe-xml", "keepass-xml", "a Password Safe XML export, not keepass-xml"},
        {"bitwarden.json", "bitwarden-json", "bitwarden-csv", "a Bitwarden JSON export, not bitwarden-csv"},
        {"bitwarden.csv", "bitwarden-csv", "bitwarden-json", "a CSV file, not bitwarden-json"},
    };
    for (const auto& c : checks) {
        SCOPED_TRACE(c.file);
        std::string reports;
        EXPECT_EQ(1, ImportText(Fixture(c.file), c.fits, &reports)) << reports;
        Fresh();
        EXPECT_EQ(2, ImportText(Fixture(c.file), c.other, &reports));
        EXPECT_NE(std::string::npos, reports.find(c.says)) << reports;
        EXPECT_TRUE(Untouched());
    }
    std::string reports;
    EXPECT_EQ(2, ImportText(Fixture("keepass2.xml"), "keepass2", &reports));
    EXPECT_NE(std::string::npos, reports.find("unknown import format 'keepass2'")) << reports;
}

// --columns names the columns of a CSV file without a header; an XML or JSON export names
// its fields itself, and a list the tool would have to ignore is refused instead.
TEST_F(DocumentTest, ColumnsAreRefusedForADocumentThatNamesItsFields)
{
    for (const char* name : {"keepass2.xml", "keepassx.xml", "pwsafe.xml", "bitwarden.json"}) {
        SCOPED_TRACE(name);
        ResetStore();
        Options o;
        o.input = Write("in.doc", Fixture(name));
        o.folder = Folder() + "db";
        o.columns = "title,username,password,url";
        testing::internal::CaptureStderr();
        EXPECT_EQ(2, Import(o));
        std::string reports = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, reports.find("--columns is for a CSV file without a header row")) << reports;
        EXPECT_EQ(1, std::count(reports.begin(), reports.end(), '\n')) << reports;
        EXPECT_TRUE(Untouched());
    }
}

TEST_F(DocumentTest, ProtectedValuesInClearAreReadAndEncipheredOnesNever)
{
    auto entry = [](const char* password, const char* notes) {
        return std::string("<KeePassFile><Root><Group><Name>G</Name><Entry>"
                           "<String><Key>URL</Key><Value>https://p.example</Value></String>"
                           "<String><Key>UserName</Key><Value>u</Value></String>"
                           "<String><Key>Password</Key>") + password + "</String>"
                           "<String><Key>Notes</Key>" + notes + "</String></Entry></Group></Root></KeePassFile>";
    };
    std::string reports;
    // KeePass 2 and KeePassXC mark a value kept protected in memory so, and write it in clear.
    EXPECT_EQ(0, ImportText(entry("<Value ProtectInMemory=\"True\">clear</Value>", "<Value>n</Value>"), "", &reports))
        << reports;
    std::vector<Record> records = Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_STREQ("clear", records[1].password);
    EXPECT_STREQ("n", records[1].remarks);
    // Enciphered notes are left out of a login that is kept; an enciphered password is no login.
    EXPECT_EQ(1, ImportText(entry("<Value>pw2</Value>", "<Value Protected=\"True\">AAEC</Value>"), "", &reports));
    records = Records();
    ASSERT_EQ(3u, records.size());
    EXPECT_STREQ("pw2", records[2].password);
    EXPECT_STREQ("", records[2].remarks);
    EXPECT_NE(std::string::npos, reports.find("entry 1 (group G): the Notes value is enciphered")) << reports;
    EXPECT_EQ(1, ImportText(entry("<Value Protected=\"true\">AAEC</Value>", "<Value/>"), "", &reports));
    EXPECT_EQ(3u, Records().size());
    EXPECT_NE(std::string::npos, reports.find("entry 1 (group G): skipped: the Password value is enciphered"))
        << reports;
}

TEST_F(DocumentTest, ReferencesThatMultiplyAndOddTypesAreReportedBriefly)
{
    // Entry i's password is ten references to entry i+1's; the last one's is "x". Each
    // level multiplies the text by ten: the entries whose expansion passes the bound are
    // skipped, quickly, and those within it are imported.
    std::string xml = "<KeePassFile><Root><Group><Name>G</Name>";
    for (int i = 0; i < 9; ++i) {
        char next[3];
        std::snprintf(next, sizeof next, "%02X", (i + 1) << 2); // the first byte of the next UUID
        std::string password = i == 8 ? "x" : "";
        for (int k = 0; k < 10 && i < 8; ++k)
            password += std::string("{REF:P@I:") + next + std::string(30, '0') + "}";
        xml += std::string("<Entry><UUID>") + (char)('A' + i) + std::string(21, 'A') + "==</UUID>"
               "<String><Key>Title</Key><Value>E" + std::to_string(i) + "</Value></String>"
               "<String><Key>URL</Key><Value>https://e.example</Value></String>"
               "<String><Key>UserName</Key><Value>u" + std::to_string(i) + "</Value></String>"
               "<String><Key>Password</Key><Value>" + password + "</Value></String></Entry>";
    }
    xml += "</Group></Root></KeePassFile>";
    std::string reports;
    EXPECT_EQ(1, ImportText(xml, "", &reports));
    std::vector<Record> records = Records();
    ASSERT_EQ(3u, records.size()) << reports;
    EXPECT_STREQ("xxxxxxxxxx", records[1].password);
    EXPECT_STREQ("x", records[2].password);
    for (int i = 0; i < 7; ++i)
        EXPECT_NE(std::string::npos, reports.find("entry " + std::to_string(i + 1) + " (group G): skipped: the Password "
                                                  "value's references to other entries ({REF:...}) expand to more than"))
            << reports;

    // A Bitwarden type that is none of Bitwarden's numbers: an integer or a short text is
    // named, anything else is not printed.
    EXPECT_EQ(1, ImportText("{\"items\":[{\"type\":7},{\"type\":\"web\"},{\"type\":[\"secret-in-a-list\"]},"
                            "{\"type\":\"a text too long to be any type\"}]}",
                            "", &reports));
    EXPECT_EQ("entry 1: skipped: not a login (type \"7\")\nentry 2: skipped: not a login (type \"\"web\"\")\n"
              "entry 3: skipped: not a login (type \"of another kind\")\n"
              "entry 4: skipped: not a login (type \"of another kind\")\n",
              reports.substr(reports.find("entry 1")));
}

TEST(XmlNesting, CountsElementsAsRapidxmlDoesAndBoundsTheParse)
{
    const struct {
        const char* text;
        int depth;
    } cases[] = {
        {"<a><b><c/></b></a>", 2},
        {"<a><!-- <b><b><b> --><b/></a>", 1},
        {"<a><![CDATA[<b><b></b>]]></a>", 1},
        {"<a x='</a><b>' y=\"<c>\"><b></b></a>", 2},
        {"<?xml version=\"1.0\"?><!DOCTYPE a [<!ELEMENT a (b)> <!-- [ ] -->]><a><b><c></c></b></a>", 3},
        {"<a><?pi <b><b> ?><b></b></a>", 2},
        {"<a>text &lt;b&gt; <b>more</b></a>", 2},
        {"<a><b></a>", 2},            // rapidxml stops at the mismatch: nothing deeper counts
        {"\xEF\xBB\xBF<a><b/></a>", 1}, // after a byte order mark
        {"<a", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int line = 0;
        EXPECT_EQ(c.depth, xml::Nesting(c.text, xml::kDeepest, &line));
        EXPECT_EQ(0, line);
        std::string error;
        std::unique_ptr<xml::Document> document = xml::Parse(c.text, &error);
        if (document) {
            // What rapidxml built: an element of no content may have been written <c/>,
            // which it does not descend into, or <c></c>, which it does.
            std::function<int(const xml::Node*)> depthOf = [&](const xml::Node* n) {
                int deepest = 0;
                for (const xml::Node* child = n->first_node(); child != nullptr; child = child->next_sibling())
                    if (child->type() == rapidxml::node_element)
                        deepest = std::max(deepest, depthOf(child));
                return deepest + 1;
            };
            int built = depthOf(xml::Root(*document));
            EXPECT_TRUE(c.depth == built || c.depth == built - 1) << built;
        }
    }
    // The bound: 256 levels parse, 257 are refused before rapidxml descends.
    for (int levels : {(int)xml::kDeepest, xml::kDeepest + 1}) {
        std::string text;
        for (int i = 0; i < levels; ++i)
            text += "<e>\n";
        for (int i = 0; i < levels; ++i)
            text += "</e>";
        std::string error;
        EXPECT_EQ(levels == xml::kDeepest, xml::Parse(text, &error) != nullptr) << error;
        if (levels > xml::kDeepest) {
            EXPECT_EQ("line 257: elements nested more than 256 deep, which no export does", error);
        }
    }
}
