// A save killed part-way: a child process runs the save and ends itself at the Nth system
// call of it, for every N. Whatever N, the file is exactly the old or exactly the new version,
// the next load reads that version (never a stray temporary), and the next save succeeds.
#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

int killAt; // the child dies just before this call of the save

int DieAtNth(int callNumber)
{
    if (callNumber == killAt)
        _exit(42);
    return 0;
}

class CrashTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        std::strcpy(SettingsBlock.folder, dir.Path().c_str());
    }

    // Runs save in a child that dies at call n; true when the child completed the save.
    bool SaveInChild(int n, const std::function<int()>& save)
    {
        pid_t child = fork();
        if (child == 0) {
            killAt = n;
            FileFaultHook = DieAtNth;
            _exit(save() == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_NE(1, WEXITSTATUS(status)) << "the save failed at call " << n;
        return WEXITSTATUS(status) == 0;
    }

    // For every N: old on disk, the child saves and dies at call N; then checks the file,
    // what a load brings back from it (as many bytes as the file holds), and that another
    // save still works. Returns the N at which the child first completed.
    int KillAtEveryCall(const std::string& name, const std::function<int()>& save,
                        const std::function<std::vector<unsigned char>(size_t)>& load,
                        const std::vector<unsigned char>& old, const std::vector<unsigned char>& now)
    {
        int n = 1;
        for (; n < 50; ++n) {
            WriteBytes(dir.File(name), old);
            bool completed = SaveInChild(n, save);
            std::vector<unsigned char> onDisk = ReadBytes(dir.File(name));
            EXPECT_TRUE(onDisk == old || onDisk == now) << "call " << n;
            if (completed) {
                EXPECT_EQ(now, onDisk) << "call " << n;
            }
            EXPECT_EQ(onDisk, load(onDisk.size())) << "call " << n;
            EXPECT_EQ(0, save()) << "call " << n;
            EXPECT_EQ(std::vector<std::string>{name}, Entries(dir.Path())) << "call " << n;
            if (completed)
                break;
        }
        EXPECT_LT(n, 50) << "the save never completed";
        return n;
    }

    TempFolder dir;
};

} // namespace

TEST_F(CrashTest, DatabaseSaveKilledAtEveryCall)
{
    for (const char* w : {"a", "b", "c"})
        Add(w);
    std::vector<unsigned char> now = TableImage(3);
    std::vector<unsigned char> old(2 * kRecordSize, 'o');
    // Each save starts from the same three records; each load starts from an empty table.
    auto save = [&] {
        std::memcpy(RecordStore.slots, now.data(), now.size());
        SettingsBlock.count = 3; // a load before it made the count the file's
        return SaveDatabase();
    };
    auto load = [&](size_t bytes) {
        std::memset(RecordStore.slots, 0, sizeof(RecordStore.slots));
        EXPECT_EQ(0, LoadDatabase());
        return TableImage((uint32_t)(bytes / kRecordSize));
    };
    // create, write, flush, close, replace; the sixth run completes.
    EXPECT_EQ(6, KillAtEveryCall("Kestal.dat", save, load, old, now));
}

TEST_F(CrashTest, SettingsSaveKilledAtEveryCall)
{
    SettingsBlock.count = 7;
    std::strcpy(SettingsBlock.password, "new");
    Settings saved = SettingsBlock;
    std::vector<unsigned char> now = SettingsImage();
    std::vector<unsigned char> old = now;
    old[0] = 2;
    old[260] = 'o';
    auto save = [&] {
        SettingsBlock = saved;
        return SaveSettings();
    };
    auto load = [&](size_t bytes) {
        EXPECT_EQ(0, LoadSettings());
        return Image(&SettingsBlock, bytes);
    };
    EXPECT_EQ(6, KillAtEveryCall("KSys.dat", save, load, old, now));
}

#endif
