#include "commands.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "csv_import.h"
#include "documents.h"
#include "folder.h"
#include "folder_name.h"
#include "input_text.h"
#include "files.h"
#include "formats.h"
#include "import_rules.h"
#include "record_store.h"
#include "text.h"

namespace fs = std::filesystem;
using namespace tool;

int Import(const Options& o)
{
    charset::CodePage cp;
    if (!LoadCodePage(o, &cp))
        return 2;
    std::ifstream in(o.input, std::ios::binary);
    if (!in)
        return Fail(o.input + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    std::string utf8, error;
    if (!InputAsUtf8(text.str(), o.inputEncoding, &utf8, &error))
        return Fail(o.input + ": " + error);
    if (!o.format.empty() && documents::KindOfName(o.format) == documents::kCsv) {
        // --format names what the user expects the file to be: a check, never a layout.
        formats::Format format = formats::ByName(o.format);
        if (format == formats::kUnknown || format == formats::kKeePassXml || format == formats::kKdbx)
            return Fail("unknown import format '" + o.format +
                        "' (keepassxc-csv, bitwarden-csv, browser-csv, firefox-csv, keepass-xml, keepassx-xml, "
                        "pwsafe-xml or bitwarden-json)");
    }
    // The managers' own XML and JSON exports are told by their content; the rest is CSV.
    documents::Table document;
    if (!documents::Read(utf8, &document, &error))
        return Fail(o.input + ": " + error);
    if (!o.format.empty() && documents::KindOfName(o.format) != document.kind)
        return Fail(o.input + ": " + documents::Description(document.kind) + ", not " + o.format);
    std::vector<import_rules::Item> items;
    std::vector<std::string> fileReports; // said once for the whole file, after its entries'
    if (document.kind == documents::kCsv) {
        csv_import::Request request;
        request.columns = o.columns;
        request.format = o.format;
        if (!csv_import::Read(utf8, request, &items, &fileReports, &error))
            return Fail(o.input + ": " + error);
    } else {
        // An XML or JSON export names every field itself: a list of columns would be ignored.
        if (!o.columns.empty())
            return Fail(o.input + ": " + documents::Description(document.kind) +
                        ", whose fields are named in it; --columns is for a CSV file without a header row");
        items.swap(document.items);
        fileReports.swap(document.notes);
    }

    // The database as the program would have it at start-up: the settings of the folder
    // given, then every record Kestal.dat holds in the folder they name.
    Place place = Locate(o, cp);
    bool hadSettings = place.settings == 0;
    if (place.settings >= 3 || place.settings < 0) // 3: no such folder
        return Fail(o.folder + ": " + SettingsProblem(place.settings));
    if (!place.unreachable.empty())
        return Fail(UnreachableProblem(place) + "; nothing imported");
    // New settings must name this folder in the bytes the program reads.
    std::string folderBytes, why;
    if (!hadSettings && !SettingsFolderOf(o.folder, cp, &folderBytes, &why))
        return Fail(o.folder + ": " + why + "; nothing imported");
    int read = LoadRecords(place);
    std::string where = FolderShown(place);
    if (read != 0 && !(read == kErrorFileNotFound && place.block.count == 0)) {
        if (read == kErrorPathNotFound)
            return Fail(where + ": no such folder; nothing imported");
        if (read == kErrorFileNotFound)
            return Fail(where + ": the settings count " + std::to_string(place.block.count) +
                        " records, but there is no Kestal.dat; nothing imported. See: " + Suggested("check", o.folder));
        return Fail(where + ": Kestal.dat cannot be read (error " + std::to_string(read) + "); nothing imported");
    }
    // The records beyond the first 1024 were not read: a save would drop them.
    if (DatabaseHoldsMore)
        return Fail(where + ": Kestal.dat holds more than 1024 records, which the program cannot hold; a save "
                            "would drop those beyond the 1024th. Nothing imported");
    if (DatabaseChangedOnDisk())
        return Fail(where + ": Kestal.dat changed while it was read; nothing imported");
    // A partial last record is kept with its missing bytes empty, as the program's next
    // save keeps it; the user hears of it.
    std::string problem = ReadProblem();
    if (!problem.empty())
        Warn(where + ": " + problem);

    import_rules::Choices choices;
    choices.skipSameSite = o.skipSameSite;
    choices.allowEmptyUrl = o.allowEmptyUrl;
    choices.allowEmptyUser = o.allowEmptyUser;
    import_rules::Tally tally;
    for (const import_rules::Item& item : items)
        import_rules::ImportItem(item, cp, choices, &tally);
    tally.reports.insert(tally.reports.end(), fileReports.begin(), fileReports.end());
    for (const std::string& report : tally.reports)
        Report(report);
    int imported = tally.imported, skipped = tally.skipped;
    int status = skipped == 0 && tally.changed == 0 && problem.empty() ? 0 : 1;
    std::string summary = std::to_string(imported) + " imported, " + std::to_string(skipped) + " skipped" +
                          (tally.changed > 0 ? ", " + std::to_string(tally.changed) + " changed" : "");
    if (o.dryRun) {
        Say(summary);
        Say("dry run: nothing written");
        return status;
    }
    if (imported > 0) {
        // As the program saves: the database first, then, only when that worked, the
        // settings with the new count, in the database folder and, when that is another
        // folder, in the folder given, whose settings the program reads at start-up.
        Settings settings = SettingsBlock;
        std::memset(settings.folder, 0, sizeof(settings.folder));
        const std::string& named = hadSettings ? place.named : folderBytes;
        CopyText(named.c_str(), settings.folder, sizeof(settings.folder));
        UseFolder(place.folder);
        int result = SaveDatabase();
        if (result != 0)
            return Fail(where + ": Kestal.dat could not be written (write error " + std::to_string(result) +
                        "); both files are as they were");
        std::string settingsPath = FileIn(place.folder, kSettingsName);
        result = WriteWholeFile(settingsPath.c_str(), &settings, kSettingsFileSize);
        if (result != 0)
            return Fail(where + ": Kestal.dat was saved but KSys.dat was not (write error " +
                        std::to_string(result) + "); " + Suggested("recover", o.folder) +
                        " makes the program count them");
        if (place.elsewhere) {
            settingsPath = FileIn(o.folder, kSettingsName);
            result = WriteWholeFile(settingsPath.c_str(), &settings, kSettingsFileSize);
            if (result != 0)
                return Fail(place.givenShown + ": KSys.dat could not be written (write error " +
                            std::to_string(result) + "); the records are saved in " + where +
                            ", and the program shows them all, whatever count its settings name");
        }
    }
    // Said once the records are on disk: a save that fails never follows "N imported".
    Say(summary);
    return status;
}
