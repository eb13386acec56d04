#include "commands.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "folder.h"
#include "folder_name.h"
#include "files.h"
#include "record_store.h"
#include "text.h"

namespace fs = std::filesystem;
using namespace tool;

int Check(const Options& o)
{
    int findings = 0;
    auto find = [&](const std::string& text) {
        Say(text);
        ++findings;
    };
    charset::CodePage cp;
    if (!LoadCodePage(o, &cp))
        return 2;
    // What the program keeps and shows as it is, though its "Add" would have asked first or
    // refused to create it: another account on a stored site, an empty URL or user name.
    int notes = 0;
    auto note = [&](const std::string& text) {
        Say("note: " + text);
        ++notes;
    };
    Loaded l = Load(o, false);
    std::string databasePath = FileIn(o.folder, kDatabaseName);
    std::error_code error;
    bool hasDatabase = fs::is_regular_file(databasePath, error);
    if (l.settings == 3 && !hasDatabase)
        return Fail(o.folder + ": " + SettingsProblem(l.settings));
    if (l.settings != 0 && !hasDatabase)
        return Fail(o.folder + ": " + SettingsProblem(l.settings) + ", and no database file (Kestal.dat)");
    uint32_t count = 0;
    if (l.settings == 0) {
        count = SettingsBlock.count;
        Say("count: " + std::to_string(count) + " records");
        // Compared as the program sees both: bytes of the files' code page.
        std::string ours, why;
        bool held = SettingsFolderOf(o.folder, cp, &ours, &why);
        if (held && ::SameFolder(l.namedFolder.c_str(), ours.c_str())) {
            Say("database folder: " + cp.ToUtf8(l.namedFolder) + " (this folder)");
        } else {
            find("database folder: the settings name " + cp.ToUtf8(l.namedFolder) +
                 "; the program would look for the database there, not in this folder" +
                 (held ? "" : " (" + why + ")"));
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
    } else if (l.settings == 0 && count == 0) {
        Say("database file: none yet, as for a folder with no records");
    } else {
        find("no database file (Kestal.dat)" + std::string(count > 0 ? ", though the settings count records" : ""));
    }

    // Each whole record of the file, by the program's own rules: terminated fields, the
    // three fields Add requires, and FindDuplicate's folded comparison against the records
    // before it. Only an empty password is a finding: the program keeps and shows the rest.
    uint32_t records = (uint32_t)std::min<size_t>(bytes.size() / kRecordSize, kSlotCount);
    if (records > 0)
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
        for (const auto& f : {fields[1], fields[2]}) {
            if (((const char*)&r + f.offset)[0] == 0)
                note(at + f.name + " is empty");
        }
        if (r.password[0] == 0)
            find(at + "password is empty");
        SettingsBlock.count = i; // FindDuplicate looks at the records before this one
        char website[kWebsiteSize], url[kUrlSize];
        CopyText(r.website, website, sizeof(website));
        CopyText(r.url, url, sizeof(url));
        uint32_t match = i == 0 ? kNoRecord : FindDuplicate(website, url);
        if (match != kNoRecord)
            note(at + "same website or URL as record " + std::to_string(match) + ", kept as another account");
    }
    for (const char* name : {"KSys.dat.tmp", "Kestal.dat.tmp"}) {
        if (fs::exists(FileIn(o.folder, name), error))
            find(std::string(name) + ": left by an interrupted save; the program never reads it");
    }
    Say((findings == 0 ? "no findings" : std::to_string(findings) + (findings == 1 ? " finding" : " findings")) +
        (notes == 0 ? "" : " (" + std::to_string(notes) + (notes == 1 ? " note)" : " notes)")));
    return findings == 0 ? 0 : 1;
}
