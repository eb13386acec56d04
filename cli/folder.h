// What the commands share: the two files of a database folder, the program's store loaded
// from them, and the tool's messages.
#pragma once

#include <string>
#include <vector>

#include "charset.h"
#include "commands.h"
#include "formats.h"

namespace tool {

const char kSettingsName[] = "KSys.dat";
const char kDatabaseName[] = "Kestal.dat";

// Data and summaries, to standard output.
void Out(const std::string& text);
void Say(const std::string& line);
// One line of a message, to standard error.
void Warn(const std::string& line);
// One line of a report on what a command found or did to a row, to standard error.
void Report(const std::string& line);
// Fails a command with a one-line message: returns 2.
int Fail(const std::string& why);

std::string FileIn(const std::string& folder, const char* name);
// The folder as the program writes it into its settings: absolute, with a trailing
// backslash; on Linux in Wine's form, on the Z: drive that Wine maps to "/".
std::string WindowsForm(const std::string& folder);
// A word as the user's shell reads it back: quoted when it holds anything but letters,
// digits and the harmless punctuation of paths (a folder with a space, a quote, a '$').
std::string ShellQuoted(const std::string& word);
// A command the tool suggests, for the folder given: "kestal-tool recover '/my folder'".
std::string Suggested(const std::string& command, const std::string& folder);
// The text of a record field, cut at its terminator or at the field's last byte, as the
// program reads it.
std::string FieldText(const char* field, size_t size);

void ResetStore();
// Points the file routines at folder. False when it does not fit the folder field.
bool UseFolder(const std::string& folder);

// The settings of the folder and, with withDatabase, the records they count, as the program
// reads them at start-up, but always from the folder given. check and recover read the
// database file whole themselves, beyond the count, and leave it out here.
struct Loaded {
    int settings = -1;       // LoadSettings' code
    int database = -1;       // LoadDatabase's code, when the settings were read
    std::string namedFolder; // the database folder the settings name
};
Loaded Load(const Options& o, bool withDatabase = true);

// What LoadSettings' code means to the user.
std::string SettingsProblem(int code);
bool LoadCodePage(const Options& o, charset::CodePage* cp);
// Loads what list and export show, and the code page of its text; false, with the message
// given and *status set, when it cannot. A database file shorter than the count says gives
// its whole records only, with a warning and *status 1; otherwise *status is 0.
bool LoadForReading(const Options& o, charset::CodePage* cp, int* status);

} // namespace tool
