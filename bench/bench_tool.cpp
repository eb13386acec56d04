// kestal-tool's export and import of 1024 records, each beside its floor: reading and
// writing the files involved, with the same crash-safe write (create, write, fsync, close,
// rename, fsync of the folder) the tool's own writes make.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "commands.h"
#include "files.h"
#include "record_store.h"

namespace {

std::string Folder; // host form, with a trailing '/'

std::string Make(const std::string& name)
{
    if (Folder.empty()) {
        char dir[] = "/tmp/kestal-bench-tool-XXXXXX";
        if (mkdtemp(dir) == NULL)
            abort();
        Folder = std::string(dir) + "/";
        atexit([] { std::filesystem::remove_all(Folder); });
    }
    std::string path = Folder + name;
    mkdir(path.c_str(), 0700);
    return path;
}

// A database folder of 1024 records, saved as the program saves them.
std::string Database()
{
    static std::string db;
    if (!db.empty())
        return db;
    db = Make("db");
    memset(&RecordStore, 0, sizeof(RecordStore));
    memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    snprintf(SettingsBlock.folder, kFolderSize, "%s/", db.c_str());
    for (uint32_t i = 0; i < kSlotCount; ++i) {
        memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        snprintf(WorkingRecord.website, kWebsiteSize, "Website number %u & more", i);
        snprintf(WorkingRecord.url, kUrlSize, "https://site%u.example/login?a=1&b=2", i);
        snprintf(WorkingRecord.userName, kUserNameSize, "user%u", i);
        snprintf(WorkingRecord.password, kPasswordSize, "pass\"word,%u", i);
        snprintf(WorkingRecord.remarks, kRemarksSize, "caf\xE9 remark %u", i);
        AppendRecord();
    }
    if (SaveDatabase() != 0 || SaveSettings() != 0)
        abort();
    return db;
}

std::string Slurp(const std::string& path)
{
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY);
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof(chunk))) > 0)
        bytes.append(chunk, (size_t)n);
    close(fd);
    return bytes;
}

void SafeWrite(const std::string& path, const void* bytes, size_t length)
{
    std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ssize_t n = write(fd, bytes, length);
    fsync(fd);
    close(fd);
    if (n != (ssize_t)length || rename(temp.c_str(), path.c_str()) != 0)
        abort();
    // The folder too, so that the new name survives a crash, as the tool's writes and the
    // store's saves do.
    int folder = open(path.substr(0, path.rfind('/')).c_str(), O_RDONLY | O_DIRECTORY);
    fsync(folder);
    close(folder);
}

const char kXml[] = "keepass-xml";

void BM_Export1024(benchmark::State& state)
{
    Options o;
    o.folder = Database();
    o.format = kXml;
    o.output = Folder + "export.xml";
    o.force = true;
    for (auto _ : state) {
        if (Export(o) != 0)
            abort();
    }
}

// Both files read, and an output file of the export's size written.
void BM_Export1024_floor(benchmark::State& state)
{
    std::string db = Database();
    size_t size = Slurp(Folder + "export.xml").size();
    if (size == 0)
        abort(); // the export runs first
    std::vector<char> output(size, 'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(Slurp(db + "/KSys.dat"));
        benchmark::DoNotOptimize(Slurp(db + "/Kestal.dat"));
        SafeWrite(Folder + "floor.xml", output.data(), output.size());
    }
}

std::string Csv()
{
    std::string path = Folder + "in.csv";
    if (access(path.c_str(), F_OK) != 0) {
        std::string text = "name,url,username,password,note\n";
        for (int i = 0; i < kSlotCount; ++i)
            text += "Site " + std::to_string(i) + ",https://site" + std::to_string(i) + ".example/,user" +
                    std::to_string(i) + ",\"pass,word" + std::to_string(i) + "\",caf\xC3\xA9\n";
        SafeWrite(path, text.data(), text.size());
    }
    return path;
}

void BM_Import1024(benchmark::State& state)
{
    Options o;
    o.folder = Make("import");
    o.input = Csv();
    for (auto _ : state) {
        state.PauseTiming();
        unlink((o.folder + "/KSys.dat").c_str());
        unlink((o.folder + "/Kestal.dat").c_str());
        state.ResumeTiming();
        if (Import(o) != 0)
            abort();
    }
}

// The CSV read, then 1024 records and the settings written.
void BM_Import1024_floor(benchmark::State& state)
{
    std::string csvPath = Csv();
    std::string folder = Make("import-floor");
    std::vector<char> records((size_t)kSlotCount * kRecordSize, 'r'), settings(kSettingsFileSize, 's');
    for (auto _ : state) {
        benchmark::DoNotOptimize(Slurp(csvPath));
        SafeWrite(folder + "/Kestal.dat", records.data(), records.size());
        SafeWrite(folder + "/KSys.dat", settings.data(), settings.size());
    }
}

} // namespace

KESTAL_BENCH(BM_Export1024);
KESTAL_BENCH(BM_Export1024_floor);
KESTAL_BENCH(BM_Import1024);
KESTAL_BENCH(BM_Import1024_floor);

BENCHMARK_MAIN();
