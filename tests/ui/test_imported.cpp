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
