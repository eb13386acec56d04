// Store operations at 1024 records, each beside its floor: the plain memory or file work
// that the operation cannot do without.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "bench_stats.h"
#include "files.h"
#include "record_store.h"
#include "text.h"

namespace {

char folder[256];       // program form, for the store
char posixFolder[256];  // host form, for the floors

void Fill(uint32_t count)
{
    memset(&RecordStore, 0, sizeof(RecordStore));
    SettingsBlock.count = 0;
    for (uint32_t i = 0; i < count; ++i) {
        memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        snprintf(WorkingRecord.website, kWebsiteSize, "Website number %u", i);
        snprintf(WorkingRecord.url, kUrlSize, "https://site%u.example/login", i);
        snprintf(WorkingRecord.userName, kUserNameSize, "user%u", i);
        snprintf(WorkingRecord.password, kPasswordSize, "password-%u", i);
        snprintf(WorkingRecord.remarks, kRemarksSize, "remark %u", i);
        AppendRecord();
    }
}

void SetUpFolder()
{
    if (folder[0] != 0)
        return;
    char dir[] = "/tmp/kestal-bench-XXXXXX";
    if (mkdtemp(dir) == NULL)
        abort();
    snprintf(posixFolder, sizeof(posixFolder), "%s/", dir);
    snprintf(folder, sizeof(folder), "%s", posixFolder);
    for (char* p = folder; *p; ++p)
        if (*p == '/')
            *p = '\\';
    strcpy(SettingsBlock.folder, folder);
}

void BM_AppendRecord(benchmark::State& state)
{
    Fill(1023);
    for (auto _ : state) {
        SettingsBlock.count = 1023;
        AppendRecord();
        benchmark::ClobberMemory();
    }
}

// The record's 512 bytes copied into the last slot.
void BM_AppendRecord_floor(benchmark::State& state)
{
    Fill(1023);
    for (auto _ : state) {
        memcpy(&RecordStore.slots[1023], &WorkingRecord, sizeof(Record));
        benchmark::ClobberMemory();
    }
}

void BM_FindDuplicateMissing(benchmark::State& state)
{
    Fill(1024);
    for (auto _ : state) {
        uint32_t found = FindDuplicate("Nowhere to be found", "https://missing.example/");
        benchmark::DoNotOptimize(found);
    }
}

// The website and URL fields of all 1024 records read once (256 KiB), looking for a byte
// none of them holds.
void BM_FindDuplicateMissing_floor(benchmark::State& state)
{
    Fill(1024);
    for (auto _ : state) {
        for (uint32_t i = 0; i < kSlotCount; ++i)
            benchmark::DoNotOptimize(memchr(&RecordStore.slots[i], 0xFF, kWebsiteSize + kUrlSize));
    }
}

void BM_DeleteFirstOf1024(benchmark::State& state)
{
    Fill(1024);
    for (auto _ : state) {
        SettingsBlock.count = 1024;
        RecordStore.current = 0;
        DeleteCurrentRecord();
        benchmark::ClobberMemory();
    }
}

// The 1023 following records moved down one slot.
void BM_DeleteFirstOf1024_floor(benchmark::State& state)
{
    Fill(1024);
    for (auto _ : state) {
        memmove(&RecordStore.slots[0], &RecordStore.slots[1], 1023 * sizeof(Record));
        benchmark::ClobberMemory();
    }
}

void BM_LoadDatabase(benchmark::State& state)
{
    SetUpFolder();
    Fill(1024);
    strcpy(SettingsBlock.folder, folder);
    if (SaveDatabase() != 0)
        abort();
    for (auto _ : state) {
        if (LoadDatabase() != 0)
            abort();
        benchmark::ClobberMemory();
    }
}

// One open, one read of 512 KiB, one close.
void BM_LoadDatabase_floor(benchmark::State& state)
{
    SetUpFolder();
    std::string path = std::string(posixFolder) + "Kestal.dat";
    for (auto _ : state) {
        int fd = open(path.c_str(), O_RDONLY);
        ssize_t n = read(fd, RecordStore.slots, sizeof(RecordStore.slots));
        close(fd);
        if (n != (ssize_t)sizeof(RecordStore.slots))
            abort();
        benchmark::ClobberMemory();
    }
}

void BM_SaveDatabase(benchmark::State& state)
{
    SetUpFolder();
    Fill(1024);
    strcpy(SettingsBlock.folder, folder);
    for (auto _ : state) {
        if (SaveDatabase() != 0)
            abort();
    }
}

// Create, write 512 KiB, fsync, close, rename over the target.
void BM_SaveDatabase_floor(benchmark::State& state)
{
    SetUpFolder();
    std::string temp = std::string(posixFolder) + "floor.tmp";
    std::string target = std::string(posixFolder) + "floor.dat";
    for (auto _ : state) {
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n = write(fd, RecordStore.slots, sizeof(RecordStore.slots));
        fsync(fd);
        close(fd);
        if (n != (ssize_t)sizeof(RecordStore.slots) || rename(temp.c_str(), target.c_str()) != 0)
            abort();
    }
}

} // namespace

KESTAL_BENCH(BM_AppendRecord);
KESTAL_BENCH(BM_AppendRecord_floor);
KESTAL_BENCH(BM_FindDuplicateMissing);
KESTAL_BENCH(BM_FindDuplicateMissing_floor);
KESTAL_BENCH(BM_DeleteFirstOf1024);
KESTAL_BENCH(BM_DeleteFirstOf1024_floor);
KESTAL_BENCH(BM_LoadDatabase);
KESTAL_BENCH(BM_LoadDatabase_floor);
KESTAL_BENCH(BM_SaveDatabase);
KESTAL_BENCH(BM_SaveDatabase_floor);

BENCHMARK_MAIN();
