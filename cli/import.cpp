#include "commands.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "csv.h"
#include "folder.h"
#include "folder_name.h"
#include "input_text.h"
#include "files.h"
#include "formats.h"
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
    std::vector<csv::Row> rows;
    if (!csv::Parse(utf8, &rows, &error))
        return Fail(o.input + ": " + error);
    if (rows.empty())
        return Fail(o.input + ": empty");
    formats::Format format = o.format.empty() ? formats::ByHeader(rows[0].fields) : formats::ByName(o.format);
    if (format == formats::kUnknown || format == formats::kKeePassXml)
        return Fail(o.input + (o.format.empty() ? ": unknown header (keepassxc-csv, bitwarden-csv, browser-csv "
                                                  "or firefox-csv expected)"
                                                : ": unknown import format '" + o.format + "'"));
    size_t first = formats::ByHeader(rows[0].fields) == format ? 1 : 0;

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
    if (hadSettings && !SameFolder(l.namedFolder, folderBytes))
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
    if (DatabaseChangedOnDisk())
        return Fail(o.folder + ": Kestal.dat holds records the settings do not count; see 'kestal-tool check' "
                               "and 'kestal-tool recover'");

    int imported = 0, skipped = 0;
    for (size_t i = first; i < rows.size(); ++i) {
        const csv::Row& row = rows[i];
        if (row.fields.size() == 1 && row.fields[0].empty())
            continue; // a blank line
        auto skip = [&](const std::string& why) {
            Say("line " + std::to_string(row.line) + ": skipped: " + why);
            ++skipped;
        };
        Entry e;
        std::string why;
        if (!formats::EntryOfRow(format, row, &e, &why)) {
            skip(why);
            continue;
        }
        // The program's fields hold one line each.
        struct Field {
            const char* name;
            std::string* text;
            char* destination;
            size_t size;
        } fields[] = {{"website", &e.title, WorkingRecord.website, kWebsiteSize},
                      {"URL", &e.url, WorkingRecord.url, kUrlSize},
                      {"user name", &e.userName, WorkingRecord.userName, kUserNameSize},
                      {"password", &e.password, WorkingRecord.password, kPasswordSize},
                      {"remarks", &e.notes, WorkingRecord.remarks, kRemarksSize}};
        std::string bytes[5];
        bool refused = false;
        for (int f = 0; f < 5 && !refused; ++f) {
            std::string& t = *fields[f].text;
            size_t at;
            while ((at = t.find("\r\n")) != std::string::npos)
                t.replace(at, 2, " ");
            std::replace(t.begin(), t.end(), '\r', ' ');
            std::replace(t.begin(), t.end(), '\n', ' ');
            if (!cp.FromUtf8(t, &bytes[f])) {
                skip(std::string(fields[f].name) + " holds characters that Windows-" + std::to_string(cp.Number()) +
                     " cannot hold");
                refused = true;
            }
        }
        if (refused)
            continue;
        if (bytes[1].empty() || bytes[2].empty() || bytes[3].empty()) {
            skip("URL, user name and password must not be empty");
            continue;
        }
        for (int f = 0; f < 5 && !refused; ++f) {
            if (bytes[f].size() > fields[f].size - 1) {
                skip(std::string(fields[f].name) + " is " + std::to_string(bytes[f].size()) + " bytes; a record holds " +
                     std::to_string(fields[f].size - 1));
                refused = true;
            }
        }
        if (refused)
            continue;
        if (SettingsBlock.count >= kSlotCount) {
            skip("the database is full (1024 records)");
            continue;
        }
        std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        for (int f = 0; f < 5; ++f)
            CopyText(bytes[f].c_str(), fields[f].destination, fields[f].size);
        uint32_t match = SettingsBlock.count == 0 ? kNoRecord : FindDuplicate(WorkingRecord.website, WorkingRecord.url);
        if (match != kNoRecord && !o.allowDuplicates) {
            skip("website or URL already stored (record " + std::to_string(match) + ")");
            continue;
        }
        AppendRecord();
        ++imported;
    }
    Say(std::to_string(imported) + " imported, " + std::to_string(skipped) + " skipped");
    if (o.dryRun) {
        Say("dry run: nothing written");
        return skipped == 0 ? 0 : 1;
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
    return skipped == 0 ? 0 : 1;
}
