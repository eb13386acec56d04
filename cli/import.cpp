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

    // The database as the program would have it: settings first, then the records they count.
    Loaded l = Load(o);
    bool hadSettings = l.settings == 0;
    if (l.settings >= 3 || l.settings < 0) // 3: no such folder
        return Fail(o.folder + ": " + SettingsProblem(l.settings));
    // The settings must name this folder, in the bytes the program reads, or the program
    // would never show what is imported here.
    std::string folderBytes, why;
    if (!SettingsFolderOf(o.folder, cp, &folderBytes, &why))
        return Fail(o.folder + ": " + why + "; nothing imported");
    if (hadSettings && !::SameFolder(l.namedFolder.c_str(), folderBytes.c_str()))
        return Fail(o.folder + ": KSys.dat names the database folder " + cp.ToUtf8(l.namedFolder) +
                    ", where the program would look for the records instead; nothing imported. " +
                    Suggested("recover", o.folder) + " makes the settings name this folder");
    if (!hadSettings) {
        ResetStore();
        UseFolder(o.folder);
    }
    if (SettingsBlock.count > 0 && l.database != 0)
        return Fail(o.folder + ": the settings count " + std::to_string(SettingsBlock.count) +
                    " records, but Kestal.dat cannot be read (error " + std::to_string(l.database) +
                    "); see: " + Suggested("check", o.folder));
    // A Kestal.dat shorter than the count: the load filled the missing bytes with zeros, and
    // a save would make blank and cut records real ones.
    if (SettingsBlock.count > 0 && l.database == 0 && DatabaseBytesRead < SettingsBlock.count * (uint32_t)kRecordSize)
        return Fail(o.folder + ": the settings count " + std::to_string(SettingsBlock.count) +
                    " records, but Kestal.dat holds only " + std::to_string(DatabaseBytesRead) +
                    " bytes of them; nothing imported. See: " + Suggested("check", o.folder) + ", and " +
                    Suggested("recover", o.folder));
    if (DatabaseChangedOnDisk())
        return Fail(o.folder + ": Kestal.dat holds records the settings do not count; see: " +
                    Suggested("check", o.folder) + ", and " + Suggested("recover", o.folder));

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
                        std::to_string(result) + "); " + Suggested("recover", o.folder) +
                        " makes the program count them");
    }
    // Said once the records are on disk: a save that fails never follows "N imported".
    Say(summary);
    return status;
}
