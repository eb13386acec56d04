#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "charset.h"
#include "csv.h"
#include "files.h"
#include "formats.h"
#include "keepass_xml.h"
#include "record_store.h"
#include "text.h"

namespace fs = std::filesystem;

namespace {

const char kSettingsName[] = "KSys.dat";
const char kDatabaseName[] = "Kestal.dat";

void Out(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void Say(const std::string& line)
{
    Out(line + "\n");
}

void Warn(const std::string& line)
{
    std::fprintf(stderr, "kestal-tool: %s\n", line.c_str());
}

// Fails a command with a one-line message.
int Fail(const std::string& why)
{
    Warn(why);
    return 2;
}

std::string FileIn(const std::string& folder, const char* name)
{
    return (fs::path(folder) / name).string();
}

// The folder as the program writes it into its settings: absolute, with a trailing
// backslash; on Linux in Wine's form, on the Z: drive that Wine maps to "/".
std::string WindowsForm(const std::string& folder)
{
    std::string path = fs::absolute(fs::path(folder)).lexically_normal().string();
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty() || path.back() != '\\')
        path += '\\';
#ifdef _WIN32
    return path;
#else
    return "Z:" + path;
#endif
}

// Two folders in the program's form name the same folder (Windows ignores case).
bool SameFolder(std::string a, std::string b)
{
    for (std::string* s : {&a, &b}) {
        if (s->empty() || s->back() != '\\')
            *s += '\\';
        for (char& c : *s)
            c = (char)std::tolower((unsigned char)c);
    }
    return a == b;
}

// The text of a record field, cut at its terminator or at the field's last byte, as the
// program reads it.
std::string FieldText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size - 1));
}

void ResetStore()
{
    std::memset(&RecordStore, 0, sizeof(RecordStore));
    std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    std::memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    std::memset(&KnownDatabase, 0, sizeof(KnownDatabase));
    ModifiedFlag = 0;
}

// Points the file routines at folder. False when it does not fit the folder field.
bool UseFolder(const std::string& folder)
{
    std::memset(SettingsBlock.folder, 0, sizeof(SettingsBlock.folder));
    if (folder.size() >= sizeof(SettingsBlock.folder))
        return false;
    CopyText(folder.c_str(), SettingsBlock.folder, sizeof(SettingsBlock.folder));
    return true;
}

// The settings of the folder and, with withDatabase, the records they count, as the program
// reads them at start-up, but always from the folder given. check and recover read the
// database file whole themselves, beyond the count, and leave it out here.
struct Loaded {
    int settings = -1;       // LoadSettings' code
    int database = -1;       // LoadDatabase's code, when the settings were read
    std::string namedFolder; // the database folder the settings name
};

Loaded Load(const Options& o, bool withDatabase = true)
{
    Loaded l;
    ResetStore();
    if (!UseFolder(o.folder))
        return l;
    l.settings = LoadSettings();
    if (l.settings != 0)
        return l;
    l.namedFolder = SettingsBlock.folder;
    UseFolder(o.folder);
    if (withDatabase)
        l.database = LoadDatabase();
    return l;
}

std::string SettingsProblem(int code)
{
    if (code == -1)
        return "the folder's path is too long for the program";
    if (code >= 1 && code <= 3)
        return "no settings file (KSys.dat)";
    if (code == 13)
        return "KSys.dat counts more than 1024 records; the program refuses it";
    return "KSys.dat cannot be read (error " + std::to_string(code) + ")";
}

bool LoadCodePage(const Options& o, charset::CodePage* cp)
{
    if (cp->Load(o.codePage))
        return true;
    Warn("code page " + std::to_string(o.codePage) + " is not available (1250 to 1258 are)");
    return false;
}

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

// Loads what list and export show, and the code page of its text; false, with the message
// given and *status set, when it cannot.
bool LoadForReading(const Options& o, charset::CodePage* cp, int* status)
{
    *status = 2;
    if (!LoadCodePage(o, cp))
        return false;
    Loaded l = Load(o);
    if (l.settings != 0) {
        *status = Fail(o.folder + ": " + SettingsProblem(l.settings));
        return false;
    }
    if (l.database != 0 && SettingsBlock.count > 0) {
        *status = Fail(o.folder + ": Kestal.dat cannot be read (error " + std::to_string(l.database) + ")");
        return false;
    }
    return true;
}

size_t Width(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

bool IsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

} // namespace

int List(const Options& o)
{
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<std::vector<std::string>> rows;
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        std::vector<std::string> row = {std::to_string(i), cp.ToUtf8(FieldText(r.website, sizeof(r.website))),
                                        cp.ToUtf8(FieldText(r.url, sizeof(r.url))),
                                        cp.ToUtf8(FieldText(r.userName, sizeof(r.userName)))};
        if (o.passwords)
            row.push_back(cp.ToUtf8(FieldText(r.password, sizeof(r.password))));
        rows.push_back(row);
    }
    if (!IsTerminal()) {
        // One record a line, tab-separated, for other programs; a tab or line break inside a
        // field would split it, so it becomes a space.
        for (std::vector<std::string>& row : rows) {
            std::string line;
            for (size_t c = 0; c < row.size(); ++c) {
                std::replace_if(row[c].begin(), row[c].end(), [](char ch) { return ch == '\t' || ch == '\n' || ch == '\r'; }, ' ');
                line += (c > 0 ? "\t" : "") + row[c];
            }
            Say(line);
        }
        return 0;
    }
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        widths.resize(row.size());
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        Say(line);
    }
    if (rows.empty())
        Warn(o.folder + ": no records");
    return 0;
}

int Export(const Options& o)
{
    formats::Format format = formats::ByName(o.format);
    if (format == formats::kUnknown || format == formats::kFirefoxCsv)
        return Fail("unknown export format '" + o.format +
                    "' (keepass-xml, keepassxc-csv, bitwarden-csv or browser-csv)");
    if (!o.output.empty() && !o.force && fs::exists(o.output))
        return Fail(o.output + " exists; --force replaces it");
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<Entry> entries = EntriesOfStore(cp);
    std::string document = format == formats::kKeePassXml ? keepass::Document(entries, formats::kGroup)
                                                          : formats::CsvDocument(format, entries);
    Warn("the export holds " + std::to_string(entries.size()) +
         " passwords in clear text: keep it private, and delete it once imported");
    if (o.output.empty()) {
        Out(document);
        return std::fflush(stdout) == 0 ? 0 : Fail("standard output could not be written");
    }
    // The program's own crash-safe write: a temporary file beside it, moved over in one step,
    // so an interrupted export leaves no partial file. New files are the owner's alone (the
    // tool runs with umask 077 on Linux).
    int result = WriteWholeFile(o.output.c_str(), document.data(), (uint32_t)document.size());
    if (result != 0)
        return Fail(o.output + " could not be written (write error " + std::to_string(result) + ")");
    return 0;
}

int Check(const Options& o)
{
    int findings = 0;
    auto find = [&](const std::string& text) {
        Say(text);
        ++findings;
    };
    Loaded l = Load(o, false);
    std::string databasePath = FileIn(o.folder, kDatabaseName);
    std::error_code error;
    bool hasDatabase = fs::is_regular_file(databasePath, error);
    if (l.settings != 0 && !hasDatabase)
        return Fail(o.folder + ": " + SettingsProblem(l.settings) + ", and no database file (Kestal.dat)");
    uint32_t count = 0;
    if (l.settings == 0) {
        count = SettingsBlock.count;
        Say("count: " + std::to_string(count) + " records");
        if (SameFolder(l.namedFolder, WindowsForm(o.folder))) {
            Say("database folder: " + l.namedFolder + " (this folder)");
        } else {
            find("database folder: the settings name " + l.namedFolder +
                 "; the program would look for the database there, not in this folder");
        }
    } else {
        find(SettingsProblem(l.settings));
    }

    std::vector<unsigned char> bytes;
    if (hasDatabase) {
        uintmax_t size = fs::file_size(databasePath, error);
        bytes.resize((size_t)size);
        int read = size == 0 ? 0 : ReadWholeFile(databasePath.c_str(), bytes.data(), (uint32_t)size);
        if (read != 0)
            return Fail(databasePath + " cannot be read (error " + std::to_string(read) + ")");
        uintmax_t whole = size / kRecordSize;
        Say("database file: " + std::to_string(size) + " bytes, " + std::to_string(whole) + " whole records");
        if (size % kRecordSize != 0)
            find("database file: ends in a partial record of " + std::to_string(size % kRecordSize) + " bytes");
        if (l.settings == 0 && whole > count)
            find("database file: " + std::to_string(whole - count) +
                 " records beyond the count, which the program never shows");
        if (l.settings == 0 && whole < count)
            find("database file: " + std::to_string(count - whole) + " records missing: the count says " +
                 std::to_string(count) + ", the file holds " + std::to_string(whole));
        if (whole > kSlotCount)
            find("database file: " + std::to_string(whole - kSlotCount) + " records beyond the 1024 the program holds");
    } else {
        find("no database file (Kestal.dat)" + std::string(count > 0 ? ", though the settings count records" : ""));
    }

    // Each whole record of the file, by the program's own rules: terminated fields, the
    // three fields Add requires, and FindDuplicate's folded comparison against the records
    // before it.
    uint32_t records = (uint32_t)std::min<size_t>(bytes.size() / kRecordSize, kSlotCount);
    std::memcpy(RecordStore.slots, bytes.data(), (size_t)records * kRecordSize);
    static const struct {
        const char* name;
        size_t offset, size;
    } fields[] = {{"website", offsetof(Record, website), kWebsiteSize},
                  {"URL", offsetof(Record, url), kUrlSize},
                  {"user name", offsetof(Record, userName), kUserNameSize},
                  {"password", offsetof(Record, password), kPasswordSize},
                  {"remarks", offsetof(Record, remarks), kRemarksSize}};
    for (uint32_t i = 0; i < records; ++i) {
        Record& r = RecordStore.slots[i];
        std::string at = "record " + std::to_string(i) + ": ";
        for (const auto& f : fields) {
            const char* text = (const char*)&r + f.offset;
            if (memchr(text, 0, f.size) == nullptr)
                find(at + f.name + " has no terminator; the program cuts it to " + std::to_string(f.size - 1) +
                     " characters");
        }
        for (const auto& f : {fields[1], fields[2], fields[3]}) {
            if (((const char*)&r + f.offset)[0] == 0)
                find(at + f.name + " is empty");
        }
        SettingsBlock.count = i; // FindDuplicate looks at the records before this one
        char website[kWebsiteSize], url[kUrlSize];
        CopyText(r.website, website, sizeof(website));
        CopyText(r.url, url, sizeof(url));
        uint32_t match = i == 0 ? kNoRecord : FindDuplicate(website, url);
        if (match != kNoRecord)
            find(at + "same website or URL as record " + std::to_string(match));
    }
    for (const char* name : {"KSys.dat.tmp", "Kestal.dat.tmp"}) {
        if (fs::exists(FileIn(o.folder, name), error))
            find(std::string(name) + ": left by an interrupted save; the program never reads it");
    }
    Say(findings == 0 ? "no findings" : std::to_string(findings) + (findings == 1 ? " finding" : " findings"));
    return findings == 0 ? 0 : 1;
}

int Recover(const Options& o)
{
    std::string databasePath = FileIn(o.folder, kDatabaseName);
    std::string settingsPath = FileIn(o.folder, kSettingsName);
    std::error_code error;
    if (!fs::is_regular_file(databasePath, error))
        return Fail(o.folder + ": no database file (Kestal.dat) to recover");
    uintmax_t size = fs::file_size(databasePath, error);
    uintmax_t whole = size / kRecordSize;
    uint32_t count = (uint32_t)std::min<uintmax_t>(whole, kSlotCount);
    if (size % kRecordSize != 0)
        Say("Kestal.dat ends in a partial record of " + std::to_string(size % kRecordSize) + " bytes, left alone");
    if (whole > kSlotCount)
        Say("Kestal.dat holds " + std::to_string(whole) + " records; the program shows the first 1024");
    std::string folder = WindowsForm(o.folder);
    if (folder.size() >= kFolderSize)
        return Fail(o.folder + ": the folder's path is too long for the program");

    // The old settings, read as the program reads them; a file it refuses still gives its
    // password bytes.
    Loaded l = Load(o, false);
    Settings block = {};
    bool hadSettings = fs::exists(settingsPath, error);
    if (hadSettings) {
        if (ReadWholeFile(settingsPath.c_str(), &block, kSettingsFileSize) != 0)
            return Fail(settingsPath + " cannot be read");
    }
    if (l.settings == 0 && block.count == count && SameFolder(l.namedFolder, folder)) {
        Say("nothing to change: the settings count " + std::to_string(count) + " records in " + folder);
        return 0;
    }
    std::string backup;
    if (hadSettings) {
        backup = settingsPath + ".bak";
        for (int n = 1; fs::exists(backup, error); ++n)
            backup = settingsPath + ".bak." + std::to_string(n);
        if (!fs::copy_file(settingsPath, backup, error))
            return Fail("the old settings could not be kept as " + backup);
    }
    uint32_t oldCount = block.count;
    std::string oldFolder = FieldText(block.folder, sizeof(block.folder));
    Settings recovered = {};
    recovered.count = count;
    CopyText(folder.c_str(), recovered.folder, sizeof(recovered.folder));
    std::memcpy(recovered.password, block.password, kStoredPasswordLength); // kept as it was
    int result = WriteWholeFile(settingsPath.c_str(), &recovered, kSettingsFileSize);
    if (result != 0)
        return Fail(settingsPath + " could not be written (write error " + std::to_string(result) + ")");
    if (!hadSettings) {
        Say("wrote KSys.dat: count " + std::to_string(count) + ", folder " + folder);
        return 0;
    }
    if (oldCount != count)
        Say("count: " + std::to_string(oldCount) + " -> " + std::to_string(count));
    if (!SameFolder(oldFolder, folder))
        Say("folder: " + oldFolder + " -> " + folder);
    Say("the old settings are kept as " + fs::path(backup).filename().string());
    return 0;
}

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
    std::vector<csv::Row> rows;
    std::string error;
    if (!csv::Parse(text.str(), &rows, &error))
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
        std::string named = hadSettings ? l.namedFolder : WindowsForm(o.folder);
        UseFolder(o.folder);
        int result = SaveDatabase();
        if (result != 0)
            return Fail(o.folder + ": Kestal.dat could not be written (write error " + std::to_string(result) +
                        "); both files are as they were");
        if (named.size() >= kFolderSize)
            return Fail(o.folder + ": the folder's path is too long for the settings");
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
