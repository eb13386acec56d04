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
    // The settings of the folder given, and the database where the program reads it.
    Place place = Locate(o, cp);
    std::string databasePath = FileIn(place.folder, kDatabaseName);
    std::error_code error;
    bool hasDatabase = fs::is_regular_file(databasePath, error);
    if (place.settings == 3 && !hasDatabase)
        return Fail(o.folder + ": " + SettingsProblem(place.settings));
    if (place.settings != 0 && !hasDatabase)
        return Fail(o.folder + ": " + SettingsProblem(place.settings) + ", and no database file (Kestal.dat)");
    uint32_t count = 0;
    if (place.settings == 0) {
        count = place.block.count;
        Say("count: " + std::to_string(count) + " records");
        if (place.elsewhere) {
            Say("database folder: " + place.namedShown + " (named by the settings in " + place.givenShown + ")");
            if (place.givenDatabase == 0)
                note(place.givenShown + " holds a Kestal.dat of its own, which the program does not read");
        } else if (!place.unreachable.empty()) {
            find("database folder: the settings name " +
                 (place.named.empty() ? std::string("no folder") : place.namedShown + ", " + place.unreachable) +
                 "; the program would look for the database there, not in this folder (" +
                 Suggested("recover", o.folder) + " makes them name this folder)");
        } else {
            Say("database folder: " + cp.ToUtf8(place.named) + " (this folder)");
        }
    } else {
        find(SettingsProblem(place.settings));
    }

    std::vector<unsigned char> bytes;
    if (hasDatabase) {
        uintmax_t size = fs::file_size(databasePath, error);
        bytes.resize((size_t)size);
        int read = size == 0 ? 0 : ReadWholeFile(databasePath.c_str(), bytes.data(), (uint32_t)size);
        if (read != 0)
            return Fail(databasePath + " cannot be read (error " + std::to_string(read) + ")");
        uintmax_t whole = size / kRecordSize;
        // The program counts a partial last record too, its missing bytes empty.
        uintmax_t held = (size + kRecordSize - 1) / kRecordSize;
        uint32_t shown = (uint32_t)std::min<uintmax_t>(held, kSlotCount);
        Say("database file: " + std::to_string(size) + " bytes, " + std::to_string(whole) + " whole records");
        if (size % kRecordSize != 0)
            find("database file: ends in a partial record of " + std::to_string(size % kRecordSize) +
                 " bytes, which the program shows as record " + std::to_string(whole) +
                 " with its missing bytes empty");
        // The program shows every record the file holds, whatever the count, and writes the
        // right count at its next save.
        if (place.settings == 0 && shown > count)
            note("database file: " + std::to_string(shown - count) + " records beyond the count of " +
                 std::to_string(count) + ", which the program shows all the same; its next save counts them");
        if (place.settings == 0 && shown < count)
            note("database file: " + std::to_string(count - shown) + " records fewer than the count of " +
                 std::to_string(count) + "; the program shows the " + std::to_string(shown) +
                 " there are, and its next save counts them");
        if (whole > kSlotCount)
            find("database file: " + std::to_string(whole - kSlotCount) + " records beyond the 1024 the program holds");
    } else if (place.settings == 0 && count == 0) {
        Say("database file: none yet, as for a folder with no records");
    } else {
        find("no database file (Kestal.dat)" + std::string(count > 0 ? ", though the settings count records" : ""));
    }

    // Each record the program shows, by its own rules: terminated fields, the three fields
    // Add requires, and FindDuplicate's folded comparison against the records before it.
    // Only an empty password is a finding: the program keeps and shows the rest.
    uint32_t records = (uint32_t)std::min<size_t>((bytes.size() + kRecordSize - 1) / kRecordSize, kSlotCount);
    std::memset(RecordStore.slots, 0, sizeof(RecordStore.slots));
    if (!bytes.empty())
        std::memcpy(RecordStore.slots, bytes.data(), std::min(bytes.size(), sizeof(RecordStore.slots)));
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
    for (const std::string& folder : {place.folder, place.elsewhere ? o.folder : std::string()}) {
        for (const char* name : {"KSys.dat.tmp", "Kestal.dat.tmp"}) {
            if (!folder.empty() && fs::exists(FileIn(folder, name), error))
                find(std::string(name) + (place.elsewhere ? " in " + Shown(SystemToUtf8(folder)) : std::string()) +
                     ": left by an interrupted save; the program never reads it");
        }
    }
    Say((findings == 0 ? "no findings" : std::to_string(findings) + (findings == 1 ? " finding" : " findings")) +
        (notes == 0 ? "" : " (" + std::to_string(notes) + (notes == 1 ? " note)" : " notes)")));
    return findings == 0 ? 0 : 1;
}
