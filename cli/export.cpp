#include "commands.h"

#include <filesystem>
#include <string>
#include <vector>

#include "console.h"
#include "folder.h"
#include "files.h"
#include "formats.h"
#include "keepass_xml.h"
#include "private_file.h"
#include "record_store.h"

namespace fs = std::filesystem;
using namespace tool;

namespace {

// The entries of the records in memory, as UTF-8. Every entry has a title: the website, or
// else the host of the URL, or else "Record N" (N as the program numbers records, from 0).
std::vector<Entry> EntriesOfStore(const charset::CodePage& cp)
{
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        Entry e;
        e.title = cp.ToUtf8(FieldText(r.website, sizeof(r.website)));
        e.url = cp.ToUtf8(FieldText(r.url, sizeof(r.url)));
        e.userName = cp.ToUtf8(FieldText(r.userName, sizeof(r.userName)));
        e.password = cp.ToUtf8(FieldText(r.password, sizeof(r.password)));
        e.notes = cp.ToUtf8(FieldText(r.remarks, sizeof(r.remarks)));
        if (e.title.empty())
            e.title = formats::HostOf(e.url);
        if (e.title.empty())
            e.title = "Record " + std::to_string(i);
        entries.push_back(e);
    }
    return entries;
}

} // namespace

int Export(const Options& o)
{
    formats::Format format = formats::ByName(o.format);
    if (format == formats::kUnknown || format == formats::kFirefoxCsv)
        return Fail("unknown export format '" + o.format +
                    "' (keepass-xml, keepassxc-csv, bitwarden-csv or browser-csv)");
    bool toStandardOutput = o.output.empty() || o.output == "-";
    std::error_code error;
    if (!toStandardOutput && !o.force && fs::exists(fs::symlink_status(o.output, error)))
        return Fail(o.output + " exists; --force replaces it");
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<Entry> entries = EntriesOfStore(cp);
    std::string document = format == formats::kKeePassXml ? keepass::Document(entries, formats::kGroup)
                                                          : formats::CsvDocument(format, entries);
    // The warning follows the passwords out, never a refusal or a failed write.
    std::string warning = "the export holds " + std::to_string(entries.size()) +
                          " passwords in clear text: keep it private, and delete it once imported";
    if (toStandardOutput) {
        Out(document);
        if (std::fflush(stdout) != 0 || StandardOutputFailed())
            return Fail("standard output could not be written");
        Warn(warning);
        return status;
    }
    std::string why;
    if (!WritePrivateFile(o.output, document, o.force, &why))
        return Fail(o.output + " was not written: " + why);
    Warn(warning);
    return status;
}
