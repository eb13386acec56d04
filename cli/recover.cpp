#include "commands.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "folder.h"
#include "folder_name.h"
#include "files.h"
#include "record_store.h"
#include "text.h"

namespace fs = std::filesystem;
using namespace tool;

int Recover(const Options& o)
{
    std::error_code missing;
    if (!fs::is_directory(o.folder, missing))
        return Fail(o.folder + ": no such folder");
    charset::CodePage cp;
    if (!LoadCodePage(o, &cp))
        return 2;
    // The records are where the settings send the program, when they are there; otherwise
    // in the folder given, which the settings are then to name.
    Place place = Locate(o, cp, kMendSettings);
    std::string settingsPath = FileIn(o.folder, kSettingsName);
    std::error_code error;
    if (place.database != 0 || !fs::is_regular_file(FileIn(place.folder, kDatabaseName), error))
        return Fail(FolderShown(place) + ": no database file (Kestal.dat) to recover");
    // The file's count, as the program counts it: a partial last record is one.
    uint64_t size = place.size;
    uint64_t held = (size + kRecordSize - 1) / kRecordSize;
    uint32_t count = (uint32_t)std::min<uint64_t>(held, kSlotCount);
    if (size % kRecordSize != 0)
        Warn("Kestal.dat ends in a partial record of " + std::to_string(size % kRecordSize) +
             " bytes, which the program shows with its missing bytes empty: counted");
    if (held > kSlotCount)
        Warn("Kestal.dat holds " + std::to_string(held) + " records; the program shows the first 1024");
    std::string folder, why;
    if (place.elsewhere)
        folder = place.named; // the folder they name, as they name it
    else if (!SettingsFolderOf(o.folder, cp, &folder, &why))
        return Fail(o.folder + ": " + why);

    // The old settings, read as the program reads them; a file it refuses still gives its
    // password bytes.
    Settings block = {};
    bool hadSettings = fs::exists(settingsPath, error);
    if (hadSettings) {
        if (ReadWholeFile(settingsPath.c_str(), &block, kSettingsFileSize) != 0)
            return Fail(settingsPath + " cannot be read");
    }
    if (place.settings == 0 && block.count == count && ::SameFolder(place.named.c_str(), folder.c_str())) {
        Say("nothing to change: the settings count " + std::to_string(count) + " records in " + cp.ToUtf8(folder));
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
        Say("wrote KSys.dat: count " + std::to_string(count) + ", folder " + cp.ToUtf8(folder));
        return 0;
    }
    if (oldCount != count)
        Say("count: " + std::to_string(oldCount) + " -> " + std::to_string(count));
    if (!::SameFolder(oldFolder.c_str(), folder.c_str()))
        Say("folder: " + cp.ToUtf8(oldFolder) + " -> " + cp.ToUtf8(folder));
    Say("the old settings are kept as " + fs::path(backup).filename().string());
    return 0;
}
