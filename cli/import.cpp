#include "commands.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "csv.h"
#include "documents.h"
#include "folder.h"
#include "folder_name.h"
#include "input_text.h"
#include "files.h"
#include "formats.h"
#include "header.h"
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
    // The managers' own XML and JSON exports are told by their content; the rest is CSV.
    documents::Table document;
    if (!documents::Read(utf8, &document, &error))
        return Fail(o.input + ": " + error);
    // --format names what the user expects the file to be: a check, never a layout.
    documents::Kind expected = documents::KindOfName(o.format);
    formats::Format format = formats::ByName(o.format);
    bool csvFormat = format != formats::kUnknown && format != formats::kKeePassXml; // the XML one is export's
    if (!o.format.empty() && expected == documents::kCsv && !csvFormat)
        return Fail("unknown import format '" + o.format +
                    "' (keepassxc-csv, bitwarden-csv, browser-csv, firefox-csv, keepass-xml, keepassx-xml, "
                    "pwsafe-xml or bitwarden-json)");
    if (!o.format.empty() && expected != document.kind)
        return Fail(o.input + ": " + documents::Description(document.kind) + ", not " + o.format);
    std::vector<csv::Row> rows;
    header::Columns columns = document.columns;
    size_t first = 0; // the first row of data
    if (document.kind == documents::kCsv) {
        if (!csv::Parse(utf8, &rows, &error))
            return Fail(o.input + ": " + error);
        if (rows.empty())
            return Fail(o.input + ": empty");
        if (!header::Map(rows[0].fields, &columns, &error))
            return Fail(o.input + ": " + error);
        if (!o.format.empty() && !formats::HeaderFits(format, rows[0].fields))
            return Fail(o.input + ": the header is not one that " + o.format + " files have");
        first = 1;
    } else {
        rows.swap(document.rows);
    }

    // The database as the program would have it: settings first, then the records they count.
    Loaded l = Load(o);
    bool hadSettings = l.settings == 0;
    if (l.settings > 3 || l.settings < 0)
        return Fail(o.folder + ": " + SettingsProblem(l.settings));
    // The settings must name this folder, in the bytes the program reads, or the program
    // would never show what is imported here.
    std::string folderBytes, why;
    if (!SettingsFolderOf(o.folder, cp, &folderBytes, &why))
        return Fail(o.folder + ": " + why + "; nothing imported");
    if (hadSettings && !::SameFolder(l.namedFolder.c_str(), folderBytes.c_str()))
        return Fail(o.folder + ": KSys.dat names the database folder " + cp.ToUtf8(l.namedFolder) +
                    ", where the program would look for the records instead; nothing imported. 'kestal-tool "
                    "recover " + o.folder + "' makes the settings name this folder");
    if (!hadSettings) {
        ResetStore();
        UseFolder(o.folder);
    }
    if (SettingsBlock.count > 0 && l.database != 0)
        return Fail(o.folder + ": the settings count " + std::to_string(SettingsBlock.count) +
                    " records, but Kestal.dat cannot be read (error " + std::to_string(l.database) +
                    "); see 'kestal-tool check'");
    // A Kestal.dat shorter than the count: the load filled the missing bytes with zeros, and
    // a save would make blank and cut records real ones.
    if (SettingsBlock.count > 0 && l.database == 0 && DatabaseBytesRead < SettingsBlock.count * (uint32_t)kRecordSize)
        return Fail(o.folder + ": the settings count " + std::to_string(SettingsBlock.count) +
                    " records, but Kestal.dat holds only " + std::to_string(DatabaseBytesRead) +
                    " bytes of them; nothing imported. See 'kestal-tool check' and 'kestal-tool recover'");
    if (DatabaseChangedOnDisk())
        return Fail(o.folder + ": Kestal.dat holds records the settings do not count; see 'kestal-tool check' "
                               "and 'kestal-tool recover'");

    import_rules::Choices choices;
    choices.skipSameSite = o.skipSameSite;
    choices.allowEmptyUrl = o.allowEmptyUrl;
    choices.allowEmptyUser = o.allowEmptyUser;
    import_rules::Tally tally;
    for (size_t i = first; i < rows.size(); ++i)
        import_rules::ImportRow(rows[i], columns, cp, choices, &tally);
    for (const std::string& note : document.notes)
        Report(note);
    for (const std::string& report : tally.reports)
        Report(report);
    int imported = tally.imported, skipped = tally.skipped;
    int status = skipped == 0 && tally.changed == 0 ? 0 : 1;
    std::string summary = std::to_string(imported) + " imported, " + std::to_string(skipped) + " skipped" +
                          (tally.changed > 0 ? ", " + std::to_string(tally.changed) + " changed" : "");
    if (o.dryRun) {
        Say(summary);
        Say("dry run: nothing written");
        return status;
    }
    if (imported > 0) {
        // As the program saves at close: the database first, the settings only when that
        // worked, with the new count.
        std::string named = hadSettings ? l.namedFolder : folderBytes;
        UseFolder(o.folder);
        int result = SaveDatabase();
        if (result != 0)
            return Fail(o.folder + ": Kestal.dat could not be written (write error " + std::to_string(result) +
                        "); both files are as they were");
        std::memset(SettingsBlock.folder, 0, sizeof(SettingsBlock.folder));
        CopyText(named.c_str(), SettingsBlock.folder, sizeof(SettingsBlock.folder));
        std::string settingsPath = FileIn(o.folder, kSettingsName);
        result = WriteWholeFile(settingsPath.c_str(), &SettingsBlock, kSettingsFileSize);
        if (result != 0)
            return Fail(o.folder + ": Kestal.dat was saved but KSys.dat was not (write error " +
                        std::to_string(result) + "); 'kestal-tool recover' makes the program count them");
    }
    // Said once the records are on disk: a save that fails never follows "N imported".
    Say(summary);
    return status;
}
