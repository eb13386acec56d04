// kestal-tool's export and import of 1024 records (import from CSV, KeePass 2 XML and
// Bitwarden JSON), each beside its floor: reading and writing the files involved, with the
// same crash-safe write (create, write, fsync, close, rename, fsync of the folder) the tool's
// own writes make. The encrypted export beside its key derivation alone, at the build's
// everyday cost.
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

#include <nlohmann/json.hpp>

#include "bench_stats.h"
#include "commands.h"
#include "files.h"
#include "formats.h"
#include "kdbx.h"
#include "keepass_xml.h"
#include "record_store.h"

namespace {

std::string Folder; // host form, with a trailing '/'

// The scratch folder, made on first use, and removed at exit.
const std::string& Scratch()
{
    if (Folder.empty()) {
        char dir[] = "/tmp/kestal-bench-tool-XXXXXX";
        if (mkdtemp(dir) == NULL)
            abort();
        Folder = std::string(dir) + "/";
        atexit([] { std::filesystem::remove_all(Folder); });
    }
    return Folder;
}

std::string Make(const std::string& name)
{
    std::string path = Scratch() + name;
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

// The 1024 logins every import reads, in each format's own layout.
Entry Login(int i)
{
    Entry e;
    e.title = "Site " + std::to_string(i);
    e.url = "https://site" + std::to_string(i) + ".example/";
    e.userName = "user" + std::to_string(i);
    e.password = "pass,word" + std::to_string(i);
    e.notes = "caf\xC3\xA9";
    return e;
}

std::string Csv()
{
    std::string path = Scratch() + "in.csv";
    if (access(path.c_str(), F_OK) != 0) {
        std::string text = "name,url,username,password,note\n";
        for (int i = 0; i < kSlotCount; ++i)
            text += "Site " + std::to_string(i) + ",https://site" + std::to_string(i) + ".example/,user" +
                    std::to_string(i) + ",\"pass,word" + std::to_string(i) + "\",caf\xC3\xA9\n";
        SafeWrite(path, text.data(), text.size());
    }
    return path;
}

// KeePass 2 XML as the tool's own export writes it.
std::string KeePassXml()
{
    std::string path = Scratch() + "in.xml";
    if (access(path.c_str(), F_OK) != 0) {
        std::vector<Entry> entries;
        for (int i = 0; i < kSlotCount; ++i)
            entries.push_back(Login(i));
        std::string text = keepass::Document(entries, "Imported");
        SafeWrite(path, text.data(), text.size());
    }
    return path;
}

// Bitwarden's unencrypted JSON export, laid out as Bitwarden lays it out.
std::string BitwardenJson()
{
    std::string path = Scratch() + "in.json";
    if (access(path.c_str(), F_OK) != 0) {
        nlohmann::json items = nlohmann::json::array();
        for (int i = 0; i < kSlotCount; ++i) {
            Entry e = Login(i);
            items.push_back({{"id", std::to_string(i)},
                             {"organizationId", nullptr},
                             {"folderId", nullptr},
                             {"type", 1},
                             {"reprompt", 0},
                             {"name", e.title},
                             {"notes", e.notes},
                             {"favorite", false},
                             {"login",
                              {{"uris", {{{"match", nullptr}, {"uri", e.url}}}},
                               {"username", e.userName},
                               {"password", e.password},
                               {"totp", nullptr}}},
                             {"collectionIds", nullptr}});
        }
        nlohmann::json document = {{"encrypted", false}, {"folders", nlohmann::json::array()}, {"items", items}};
        std::string text = document.dump(2);
        SafeWrite(path, text.data(), text.size());
    }
    return path;
}

// An import of 1024 logins into an empty folder.
void ImportInto(benchmark::State& state, const std::string& folder, const std::string& input)
{
    Options o;
    o.folder = Make(folder);
    o.input = input;
    for (auto _ : state) {
        state.PauseTiming();
        unlink((o.folder + "/KSys.dat").c_str());
        unlink((o.folder + "/Kestal.dat").c_str());
        state.ResumeTiming();
        if (Import(o) != 0)
            abort();
    }
}

// Its floor: the input read, then 1024 records and the settings written.
void ImportFloor(benchmark::State& state, const std::string& folder, const std::string& input)
{
    std::string into = Make(folder);
    std::vector<char> records((size_t)kSlotCount * kRecordSize, 'r'), settings(kSettingsFileSize, 's');
    for (auto _ : state) {
        benchmark::DoNotOptimize(Slurp(input));
        SafeWrite(into + "/Kestal.dat", records.data(), records.size());
        SafeWrite(into + "/KSys.dat", settings.data(), settings.size());
    }
}

void BM_Import1024(benchmark::State& state)
{
    ImportInto(state, "import", Csv());
}

void BM_Import1024_floor(benchmark::State& state)
{
    ImportFloor(state, "import-floor", Csv());
}

void BM_Import1024_KeePassXml(benchmark::State& state)
{
    ImportInto(state, "import-xml", KeePassXml());
}

void BM_Import1024_KeePassXml_floor(benchmark::State& state)
{
    ImportFloor(state, "import-xml-floor", KeePassXml());
}

void BM_Import1024_BitwardenJson(benchmark::State& state)
{
    ImportInto(state, "import-json", BitwardenJson());
}

void BM_Import1024_BitwardenJson_floor(benchmark::State& state)
{
    ImportFloor(state, "import-json-floor", BitwardenJson());
}

// The password on standard input, as a pipe gives it.
void PasswordOnStandardInput()
{
    int ends[2];
    if (pipe(ends) != 0 || write(ends[1], "pass phrase\n", 12) != 12 || dup2(ends[0], 0) < 0)
        abort();
    close(ends[0]);
    close(ends[1]);
}

void BM_ExportKdbx1024(benchmark::State& state)
{
    Options o;
    o.folder = Database();
    o.format = "kdbx";
    o.output = Folder + "export.kdbx";
    o.force = true;
    for (auto _ : state) {
        state.PauseTiming();
        PasswordOnStandardInput();
        state.ResumeTiming();
        if (Export(o) != 0)
            abort();
    }
}

// The key derivation alone: the composite key of the password through the build's KDF.
void BM_KeyDerivation(benchmark::State& state)
{
    unsigned char composite[32], seed[32] = {7}, key[32];
    kdbx::CompositeKey("pass phrase", composite);
    for (auto _ : state) {
        if (!kdbx::TransformKey(composite, kdbx::DefaultKdf(), seed, key))
            abort();
        benchmark::DoNotOptimize(key);
    }
}

} // namespace

// About a second each: one run a repetition.
#define KESTAL_BENCH_SLOW(name) KESTAL_BENCH(name)->Iterations(1)->Repetitions(5)

KESTAL_BENCH(BM_Export1024);
KESTAL_BENCH(BM_Export1024_floor);
KESTAL_BENCH(BM_Import1024);
KESTAL_BENCH(BM_Import1024_floor);
KESTAL_BENCH(BM_Import1024_KeePassXml);
KESTAL_BENCH(BM_Import1024_KeePassXml_floor);
KESTAL_BENCH(BM_Import1024_BitwardenJson);
KESTAL_BENCH(BM_Import1024_BitwardenJson_floor);
KESTAL_BENCH_SLOW(BM_ExportKdbx1024);
KESTAL_BENCH_SLOW(BM_KeyDerivation);

BENCHMARK_MAIN();
