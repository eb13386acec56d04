// Import of the CSV layouts of the common password managers and browsers, each made from
// the header its program writes (or, for files without one, the columns its documentation
// lists): the login lands in the right fields whatever the names; files without a header
// are refused without a word of their contents, and read with --columns; rows of
// field/value pairs; fields spilled beyond the header.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

std::string Text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

class ManagerTest : public CliTest {
protected:
    // Imports text into a fresh db/; returns the exit status, *reports what went to
    // standard error.
    int ImportText(const std::string& text, Options o, std::string* reports)
    {
        ResetStore();
        RemovePath(dir.File("db"));
        o.input = ImportOf(text).input;
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

struct Login {
    const char* website;
    const char* url;
    const char* userName;
    const char* password;
    const char* remarks;
};

struct Layout {
    const char* manager;
    const char* file;    // header (when it has one) and one row
    const char* columns; // --columns, for the files without a header
    Login login;
    const char* report;  // a line that must appear on standard error, or nullptr
};

// One login in each layout. Where a file has both a user-name and an e-mail column, the row
// leaves the user name empty, so that the e-mail must stand in for it.
const Layout kLayouts[] = {
    {"KeePass 2", "\"Account\",\"Login Name\",\"Password\",\"Web Site\",\"Comments\"\n"
                  "\"Mail\",\"ann\",\"pw1\",\"https://mail.example\",\"hi\"\n",
     nullptr, {"Mail", "https://mail.example", "ann", "pw1", "hi"}, nullptr},
    {"KeePassXC", "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\",\"Last Modified\","
                  "\"Created\"\n\"Root\",\"Git\",\"dev\",\"g-pw\",\"https://git.example\",\"n\",\"\",\"0\",\"\",\"\"\n",
     nullptr, {"Git", "https://git.example", "dev", "g-pw", "n"}, nullptr},
    {"Bitwarden", "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\n"
                  ",,login,Forum,n,,0,https://forum.example,poster,f-pw,\n",
     nullptr, {"Forum", "https://forum.example", "poster", "f-pw", "n"}, nullptr},
    {"1Password 4", "title,username,password,url,notes\nCloud,cu,c-pw,https://cloud.example,n\n", nullptr,
     {"Cloud", "https://cloud.example", "cu", "c-pw", "n"}, nullptr},
    {"1Password 7", "\"UUID\",\"TITLE\",\"USERNAME\",\"PASSWORD\",\"URL\",\"URLS\",\"EMAIL\",\"NOTES\"\n"
                    "\"x1\",\"Vault\",\"\",\"v-pw\",\"https://vault.example\",\"https://vault.example\","
                    "\"me@vault.example\",\"n\"\n",
     nullptr, {"Vault", "https://vault.example", "me@vault.example", "v-pw", "n"}, nullptr},
    {"1Password 8", "Title,Url,Username,Password,OTPAuth,Favorite,Archived,Tags,Notes\n"
                    "\"Shop\",\"https://shop.example\",\"sh\",\"s-pw\",\"\",\"false\",\"false\",\"\",\"n\"\n",
     nullptr, {"Shop", "https://shop.example", "sh", "s-pw", "n"}, nullptr},
    {"LastPass", "url,username,password,totp,extra,name,grouping,fav\nhttps://lp.example,lu,l-pw,,n,LP,Social,0\n",
     nullptr, {"LP", "https://lp.example", "lu", "l-pw", "n"}, nullptr},
    {"Dashlane", "username,username2,username3,title,password,note,url,category,otpSecret\n"
                 "du,other,,Dash,d-pw,n,https://dash.example,,\n",
     nullptr, {"Dash", "https://dash.example", "du", "d-pw", "n"}, nullptr},
    {"NordPass", "name,url,username,password,note,cardholdername,cardnumber,cvc,expirydate,zipcode,folder,full_name,"
                 "phone_number,email,address1,address2,city,country,state\n"
                 "Nord,https://nord.example,,n-pw,n,,,,,,,,,nu@nord.example,,,,,\n",
     nullptr, {"Nord", "https://nord.example", "nu@nord.example", "n-pw", "n"}, nullptr},
    {"RoboForm", "Name,Url,MatchUrl,Login,Pwd,Note,Folder,RfFieldsV2\n"
                 "Robo,https://robo.example,https://robo.example,ru,r-pw,n,/Web,\"user,,ru\",\"pass,,r-pw\"\n",
     nullptr, {"Robo", "https://robo.example", "ru", "r-pw", "n"},
     "line 2: fields beyond the 8 columns the header names were left out of those rows"},
    {"Keeper", "\"Work\",\"Intranet\",\"ku\",\"k-pw\",\"https://intra.example\",\"n\",\"\",\"PIN\",\"1234\"\n",
     "folder,title,username,password,url,notes",
     {"Intranet", "https://intra.example", "ku", "k-pw", "n"},
     "line 1: fields beyond the 6 columns --columns names were left out of those rows"},
    {"UPM", "Bank,bu,b-pw,https://bank.example,n\n", "title,username,password,url,notes",
     {"Bank", "https://bank.example", "bu", "b-pw", "n"}, nullptr},
    {"Dashlane before 2022", "\"Chat\",\"https://chat.example\",\"cu\",\"c-pw\",\"n\"\n",
     "title,url,username,password,notes", {"Chat", "https://chat.example", "cu", "c-pw", "n"}, nullptr},
    {"Enpass", "\"Title\",\"Field\",\"Value\",\"Field\",\"Value\",.........,\"Note\"\n"
               "\"Mailbox\",\"Username\",\"\",\"E-mail\",\"en@mail.example\",\"*Password\",\"e-pw\",\"Website\","
               "\"https://mail.example\",\"Security question\",\"blue\",\"n\"\n",
     nullptr, {"Mailbox", "https://mail.example", "en@mail.example", "e-pw", "n"}, nullptr},
    {"Passpack", "Entry Name,User ID,Password,Site URL,Email,Tags,Notes\nPack,pu,p-pw,https://pack.example,,t,n\n",
     nullptr, {"Pack", "https://pack.example", "pu", "p-pw", "n"}, nullptr},
    {"SafeInCloud", "\"Title\",\"Login\",\"Password\",\"URL\",\"Notes\"\n\"Safe\",\"su\",\"s-pw\",\"https://safe.example\","
                    "\"n\"\n",
     nullptr, {"Safe", "https://safe.example", "su", "s-pw", "n"}, nullptr},
    {"Zoho Vault", "Password Name,Password URL,Description,Notes,Favorite,SecretData,CustomData\n"
                   "Zoho,https://zoho.example,about,n,0,\"User Name: zu\nPassword: z-pw\",\n",
     nullptr, {"Zoho", "https://zoho.example", "zu", "z-pw", "n"}, nullptr},
    // An e-mail line before the user name's: the user name logs in.
    {"Zoho Vault, e-mail first", "Password Name,Password URL,SecretData\n"
                                 "Zoho,https://zoho.example,\"Email: zu@zoho.example\nUser Name: zu\nPassword: z-pw\"\n",
     nullptr, {"Zoho", "https://zoho.example", "zu", "z-pw", ""}, nullptr},
    // An unquoted comma in the title shifts the columns: the row is skipped, the next kept.
    {"a comma in a title", "name,url,username,password\nB, Inc,https://b.example,bob,two\nA,https://a.example,al,one\n",
     nullptr, {"A", "https://a.example", "al", "one", ""},
     "line 2: skipped: 5 fields where the header names 4: its columns cannot be told apart"},
    {"Proton Pass", "type,name,url,email,username,password,note,totp,createTime,modifyTime,vault\n"
                    "login,Proton,https://proton.example,pu@proton.example,,p-pw,n,,1,2,Personal\n"
                    "note,Memo,,,,,text,,1,2,Personal\n",
     nullptr, {"Proton", "https://proton.example", "pu@proton.example", "p-pw", "n"},
     "line 3: skipped: not a login (type \"note\")"},
    {"Myki", "nickname,url,username,password,additionalInfo,twofaSecret,status,tags\n"
             "Myki,https://myki.example,mu,m-pw,n,,active,\n",
     nullptr, {"Myki", "https://myki.example", "mu", "m-pw", "n"}, nullptr},
    {"Buttercup", "!group_id,!group_name,title,username,password,URL,Notes,id\n1,General,Cup,bu,b-pw,"
                  "https://cup.example,n,abc\n",
     nullptr, {"Cup", "https://cup.example", "bu", "b-pw", "n"}, nullptr},
    {"Padlock", "name,tags,url,username,password,notes\nPad,t,https://pad.example,pu,p-pw,n\n", nullptr,
     {"Pad", "https://pad.example", "pu", "p-pw", "n"}, nullptr},
    {"Passman", "label,username,password,email,url,description,tags\nMan,,m-pw,mu@man.example,https://man.example,n,\n",
     nullptr, {"Man", "https://man.example", "mu@man.example", "m-pw", "n"}, nullptr},
    {"Encryptr", "Entry Type,Label,Username,Password,Site URL,Notes\nPassword,Crypt,cu,c-pw,https://crypt.example,n\n",
     nullptr, {"Crypt", "https://crypt.example", "cu", "c-pw", "n"}, nullptr},
    {"Password Safe", "Group/Title\tUsername\tPassword\tURL\tAutoType\te-mail\tNotes\n"
                      "Home.Safe\tsu\ts-pw\thttps://safe.example\t\t\tn\n",
     nullptr, {"Home.Safe", "https://safe.example", "su", "s-pw", "n"}, nullptr},
    {"Chrome and Edge", "name,url,username,password,note\nEdge,https://edge.example,eu,e-pw,n\n", nullptr,
     {"Edge", "https://edge.example", "eu", "e-pw", "n"}, nullptr},
    {"Firefox", "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\",\"timeCreated\","
                "\"timeLastUsed\",\"timePasswordChanged\"\r\n\"https://fox.example\",\"fu\",\"f-pw\",,\"\",\"{1}\","
                "\"1\",\"1\",\"1\"",
     nullptr, {"fox.example", "https://fox.example", "fu", "f-pw", ""}, nullptr},
    {"Safari", "Title,URL,Username,Password,Notes,OTPAuth\nApple,https://apple.example,au,a-pw,n,\n", nullptr,
     {"Apple", "https://apple.example", "au", "a-pw", "n"}, nullptr},
    {"True Key", "kind,name,url,login,password,memo\nlogin,Key,https://key.example,ku,k-pw,n\n", nullptr,
     {"Key", "https://key.example", "ku", "k-pw", "n"}, nullptr},
    {"Avast", "name,web,login,password\nAva,https://ava.example,au,a-pw\n", nullptr,
     {"Ava", "https://ava.example", "au", "a-pw", ""}, nullptr},
    {"Meldium", "DisplayName,Notes,Password,Url,UserName\nMel,n,m-pw,https://mel.example,mu\n", nullptr,
     {"Mel", "https://mel.example", "mu", "m-pw", "n"}, nullptr},
    {"Passbolt", "Group,Name,Username,Password,URI,Notes\nTeam,Bolt,bu,b-pw,https://bolt.example,n\n", nullptr,
     {"Bolt", "https://bolt.example", "bu", "b-pw", "n"}, nullptr},
    {"Blur", "label,domain,email,username,password\nBlur,https://blur.example,bl@blur.example,,b-pw\n", nullptr,
     {"Blur", "https://blur.example", "bl@blur.example", "b-pw", ""}, nullptr},
    {"Yoti", "Name,URL,User name,Password\nYoti,https://yoti.example,yu,y-pw\n", nullptr,
     {"Yoti", "https://yoti.example", "yu", "y-pw", ""}, nullptr},
};

} // namespace

TEST_F(ManagerTest, EachManagersColumnsGiveTheLoginsFields)
{
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.manager);
        Options o;
        if (l.columns != nullptr)
            o.columns = l.columns;
        std::string reports;
        EXPECT_EQ(l.report == nullptr ? 0 : 1, ImportText(l.file, o, &reports)) << reports;
        std::vector<Record> records = RecordsIfAny();
        ASSERT_EQ(1u, records.size()) << reports;
        const Record& r = records[0];
        EXPECT_EQ(l.login.website, Text(r.website, sizeof(r.website)));
        EXPECT_EQ(l.login.url, Text(r.url, sizeof(r.url)));
        EXPECT_EQ(l.login.userName, Text(r.userName, sizeof(r.userName)));
        EXPECT_EQ(l.login.password, Text(r.password, sizeof(r.password)));
        EXPECT_EQ(l.login.remarks, Text(r.remarks, sizeof(r.remarks)));
        if (l.report != nullptr)
            EXPECT_EQ(std::string(l.report) + "\n", reports);
        else
            EXPECT_EQ("", reports);
    }
}

TEST_F(ManagerTest, AFileWithoutAHeaderIsRefusedWithoutAWordOfIt)
{
    // Keeper's export: its first row is a login. The refusal names the columns a header
    // must give and --columns, and quotes nothing of the file.
    const char* fields[] = {"Private", "Bank of Home", "alice.b", "S3cr3t!pw", "https://bank.example", "PIN 4321"};
    std::string file;
    for (const char* f : fields)
        file += std::string(file.empty() ? "" : ",") + "\"" + f + "\"";
    file += "\n\"Private\",\"Mail\",\"al\",\"Other!pw\",\"https://mail.example\",\"\"\n";
    std::string reports;
    EXPECT_EQ(2, ImportText(file, Options(), &reports));
    for (const char* f : fields)
        EXPECT_EQ(std::string::npos, reports.find(f)) << f << " in:\n" << reports;
    for (const char* word : {"URL", "user name", "password", "--columns", "6 other fields, not shown"})
        EXPECT_NE(std::string::npos, reports.find(word)) << word << " in:\n" << reports;
    EXPECT_FALSE(Exists(dir.File("db\\Kestal.dat")));
    EXPECT_FALSE(Exists(dir.File("db\\KSys.dat")));

    // The same file with its columns named: both rows, from line 1.
    Options o;
    o.columns = "Folder, Title ,username,PASSWORD,url,notes";
    EXPECT_EQ(0, ImportText(file, o, &reports)) << reports;
    std::vector<Record> records = RecordsIfAny();
    ASSERT_EQ(2u, records.size());
    EXPECT_STREQ("Bank of Home", records[0].website);
    EXPECT_STREQ("PIN 4321", records[0].remarks);
    EXPECT_STREQ("Other!pw", records[1].password);
}

TEST_F(ManagerTest, ColumnsThatCannotBeTrustedAreRefused)
{
    struct Refusal {
        const char* file;
        const char* columns;
        const char* format;
        const char* says;
    } refusals[] = {
        // A header that a --columns run would import as a login whose password is "password".
        {"name,url,username,password\nA,https://a.example,u,p\n", "title,url,username,password", "",
         "the first row is a header"},
        {"A,https://a.example,u,p\n", "title,url,username", "", "--columns names no password column"},
        {"A,https://a.example,u,p\n", "title,url,user,login", "", "both name the user name"},
        {"A,https://a.example,u,p\n", "title,url,username,password", "browser-csv", "--format checks a header"},
        // Two strong names for one field; a weak name (KeePass's "Account") yields instead.
        {"url,website,username,password\nhttps://a,https://b,u,p\n", "", "", "both name the URL"},
        {"Title,Name,Username,Password,URL\nA,B,u,p,https://a\n", "", "", "both name the title"},
        // A file's names are not quoted (the first row may be data); the user's own are.
        {"secret,ann,url,website\n", "", "", "columns 3 and 4 both name the URL. If the file has no header row"},
        {"A,https://a.example,u,p\n", "title,url,website,password", "", "columns 2 (\"url\") and 3 (\"website\")"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.says);
        Options o;
        o.columns = r.columns;
        o.format = r.format;
        std::string reports;
        EXPECT_EQ(2, ImportText(r.file, o, &reports));
        EXPECT_NE(std::string::npos, reports.find(r.says)) << reports;
        EXPECT_FALSE(Exists(dir.File("db\\Kestal.dat")));
    }
}

TEST_F(ManagerTest, FieldValuePairsGiveTheLoginAndNothingElse)
{
    // Enpass: the first user name, e-mail, password and URL field that holds a value; a
    // row with none of them (a secure note, a card) is no login; an odd row has no note.
    std::string file = "\"Title\",\"Field\",\"Value\",\"Field\",\"Value\",.........,\"Note\"\n"
                       "\"Shop\",\"Login\",\"buyer\",\"Username\",\"later\",\"Password\",\"s-pw\",\"URL\","
                       "\"https://shop.example\",\"note text\"\n"
                       "\"Card\",\"Cardholder\",\"A B\",\"Number\",\"4111\",\"Expiry date\",\"01/30\",\"\"\n"
                       "\"Odd\",\"Username\",\"ou\",\"Password\",\"o-pw\",\"Website\",\"https://odd.example\"\n";
    std::string reports;
    EXPECT_EQ(1, ImportText(file, Options(), &reports));
    std::vector<Record> records = RecordsIfAny();
    ASSERT_EQ(2u, records.size()) << reports;
    EXPECT_STREQ("Shop", records[0].website);
    EXPECT_STREQ("buyer", records[0].userName);
    EXPECT_STREQ("https://shop.example", records[0].url);
    EXPECT_STREQ("note text", records[0].remarks);
    EXPECT_STREQ("ou", records[1].userName);
    EXPECT_STREQ("https://odd.example", records[1].url);
    EXPECT_STREQ("", records[1].remarks);
    EXPECT_EQ("line 3: skipped: not a login (no user name, e-mail, password or URL among its fields)\n", reports);
}

TEST_F(ManagerTest, SpilledFieldsAreSaidOnceAndTheRowsKept)
{
    // RoboForm's Rf_fields over several columns on every row: the rows are imported with
    // the columns the header names, and one line says what was left out.
    std::string file = "Name,Url,MatchUrl,Login,Pwd,Note,Folder,Rf_fields\n";
    for (int i = 0; i < 4; ++i)
        file += "Site" + std::to_string(i) + ",https://s" + std::to_string(i) + ".example,,u,pw" + std::to_string(i) +
                ",,/," + (i == 1 ? "" : "\"user$,,,txt,u\",\"pwd$,,,pwd,x\"") + "\n";
    std::string reports;
    EXPECT_EQ(1, ImportText(file, Options(), &reports));
    EXPECT_EQ(4u, RecordsIfAny().size());
    EXPECT_EQ("line 2 and 2 more rows: fields beyond the 8 columns the header names were left out of those rows\n",
              reports);
}
