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
    std::string databasePath = FileIn(o.folder, kDatabaseName);
    std::string settingsPath = FileIn(o.folder, kSettingsName);
    std::error_code error;
    if (!fs::is_directory(o.folder, error))
        return Fail(o.folder + ": no such folder");
    if (!fs::is_regular_file(databasePath, error))
        return Fail(o.folder + ": no database file (Kestal.dat) to recover");
    uintmax_t size = fs::file_size(databasePath, error);
    uintmax_t whole = size / kRecordSize;
    uint32_t count = (uint32_t)std::min<uintmax_t>(whole, kSlotCount);
    if (size % kRecordSize != 0)
        Warn("Kestal.dat ends in a partial record of " + std::to_string(size % kRecordSize) + " bytes, left alone");
    if (whole > kSlotCount)
        Warn("Kestal.dat holds " + std::to_string(whole) + " records; the program shows the first 1024");
    charset::CodePage cp;
    if (!LoadCodePage(o, &cp))
        return 2;
    std::string folder, why;
    if (!SettingsFolderOf(o.folder, cp, &folder, &why))
        return Fail(o.folder + ": " + why);

    // The old settings, read as the program reads them; a file it refuses still gives its
    // password bytes.
    Loaded l = Load(o, false);
    Settings block = {};
    bool hadSettings = fs::exists(settingsPath, error);
    if (hadSettings) {
        if (ReadWholeFile(settingsPath.c_str(), &block, kSettingsFileSize) != 0)
            return Fail(settingsPath + " cannot be read");
    }
    if (l.settings == 0 && block.count == count && ::SameFolder(l.namedFolder.c_str(), folder.c_str())) {
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
