// What the commands share: the two files of a database folder, the program's store loaded
// from them, and the tool's messages.
#pragma once

#include <string>
#include <vector>

#include "charset.h"
#include "commands.h"
#include "formats.h"
#include "os_files.h"
#include "record_store.h"

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

// Where a command finds the records, decided as the program decides at start-up: it reads
// the settings (KSys.dat) of its own folder, and then Kestal.dat in the database folder they
// name. The settings of the folder given can therefore name another folder, after a save
// into it: every command then works on that folder, and says so on standard error.
struct Place {
    std::string given;       // the folder as typed
    std::string givenShown;  // and as UTF-8, for messages
    std::string folder;      // where Kestal.dat is read and written: given, or the one named
    int settings = -1;       // LoadSettings' code for KSys.dat in the folder given
    Settings block = {};     // those settings, as read, when settings is 0
    std::string named;       // the folder they name: the bytes of their field
    std::string namedShown;  // and as UTF-8, for messages
    bool elsewhere = false;  // folder is another folder that the settings name
    std::string unreachable; // when they name another folder that cannot be used: why
    int database = -1;       // Kestal.dat in folder: 0 there, 2 none, 3 no such folder, ...
    uint64_t size = 0;       // and its size when there
    int givenDatabase = -1;  // Kestal.dat in the folder given, likewise
};

// Who asks: recover mends the settings, so a named folder that holds no Kestal.dat while
// the folder given holds one is not followed there: the settings are to name this one.
enum Purpose { kUseRecords, kMendSettings };

// Reads the settings of the folder given and decides the folder of the records.
Place Locate(const Options& o, const charset::CodePage& cp, Purpose purpose = kUseRecords);
// The records of place, as the program loads them at start-up: the settings block as read
// (their folder the one to use), then every record Kestal.dat holds (LoadDatabase: the
// count becomes the file's). Returns LoadDatabase's code; with no file there, 0 and no
// records.
int LoadRecords(const Place& place);
// The message for a place whose settings name a folder that cannot be used.
std::string UnreachableProblem(const Place& place);
// A folder for a message: without its trailing separator, unless that is all there is.
std::string Shown(const std::string& folder);
// The folder of the records, as UTF-8, for messages.
std::string FolderShown(const Place& place);
// What the records LoadRecords read lack, for a warning: a partial last record (the program
// shows it with its missing bytes empty) or the records beyond the first 1024. Empty when
// the file was read whole and ends on a record's end.
std::string ReadProblem();

// What LoadSettings' code means to the user.
std::string SettingsProblem(int code);
bool LoadCodePage(const Options& o, charset::CodePage* cp);
// Loads what list, export and audit show, and the code page of its text; false, with the
// message given and *status set, when it cannot. A file that ends in a partial record, or
// holds more than 1024, gives what the program shows, with a warning and *status 1;
// otherwise *status is 0.
bool LoadForReading(const Options& o, charset::CodePage* cp, int* status);

} // namespace tool
