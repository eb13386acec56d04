// Records that came in through kestal-tool, from KeePassXC's CSV, are what the program shows
// at its next start: the tool writes files the program reads as its own.
#include <windows.h>

#include <string>

#include "commands.h"
#include "main_window.h"
#include "ui_harness.h"
#include "views.h"

TEST_F(WindowTest, RecordsImportedByTheToolAreShownAtStartUp)
{
    std::string csv = "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
                      "\"Last Modified\",\"Created\"\n"
                      "\"Root\",\"Caf\xC3\xA9, \"\"q\"\"\",\"ann\",\"p&w\",\"https://a.example\",\"\xE2\x82\xAC\","
                      "\"\",\"0\",\"\",\"\"\n"
                      "\"Root\",\"Bank\",\"bob\",\"pw\",\"https://bank.example\",\"\",\"\",\"0\",\"\",\"\"\n";
    WriteBytes(data.File("in.csv"), std::vector<unsigned char>(csv.begin(), csv.end()));
    Options o;
    o.input = data.File("in.csv");
    o.folder = data.Path();
    ASSERT_EQ(0, Import(o));
    ResetStore();
    // The settings the tool wrote name the folder; start-up reads them from the program folder.
    WriteBytes(SettingsPath(), ReadBytes(data.File("KSys.dat")));

    Start();
    EXPECT_EQ("System record loaded", StatusLineText(main));
    ASSERT_EQ(2, ListRowCount());
    EXPECT_EQ("Caf\xE9, \"q\"", ListCell(0, 0));
    EXPECT_EQ("https://bank.example", ListCell(1, 1));
    EXPECT_EQ("Caf\xE9, \"q\"", Text(Window.entryPage, 3001));
    EXPECT_EQ("p&w", Text(Window.entryPage, 3009));
    EXPECT_EQ("\x80", Text(Window.entryPage, 3010));
}

// After a save into a folder other than the program's, the tool imports into that folder:
// its settings count the new records, the copy beside the program does not. The next start
// shows every record of the file, says that the settings counted fewer, and the next save
// writes them all, asking nothing, with the right count in both settings files.
TEST_F(WindowTest, RecordsImportedAfterASaveElsewhereAreShownAndKept)
{
    StartWith({"a"});
    AddTyped("b");
    Command(1014);
    ASSERT_EQ("System record saved", OnlyBoxText());
    ASSERT_EQ(2u, CountIn(SettingsPath()));

    std::string csv = "name,url,username,password,note\n"
                      "Shop,https://shop.example,ann,pw1,\n"
                      "Mail,https://mail.example,ann,pw2,\n";
    WriteBytes(data.File("in.csv"), std::vector<unsigned char>(csv.begin(), csv.end()));
    Options o;
    o.input = data.File("in.csv");
    o.folder = data.Path();
    ASSERT_EQ(0, Import(o));
    ASSERT_EQ(4u, CountIn(data.File("KSys.dat")));
    ASSERT_EQ(2u, CountIn(SettingsPath()));

    Restart();
    EXPECT_EQ("All 4 records of the database file loaded; the settings counted 2", StatusLineText(main));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "Shop", "Mail"}), Rows());
    AddTyped("e");
    Command(1014);
    EXPECT_EQ("System record saved", OnlyBoxText()); // and no overwrite question
    std::vector<unsigned char> saved = ReadBytes(data.File("Kestal.dat"));
    ASSERT_EQ(5u * 512, saved.size());
    EXPECT_STREQ("Shop", (const char*)&saved[2 * 512]);
    EXPECT_STREQ("e", (const char*)&saved[4 * 512]);
    EXPECT_EQ(5u, CountIn(data.File("KSys.dat")));
    EXPECT_EQ(5u, CountIn(SettingsPath()));
}
