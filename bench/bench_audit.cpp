// audit's look-up in the breached-password list beside the peer's, which reads the whole
// list: 1024 records against generated lists sorted by hash of 1, 2 and 4 million lines,
// warm cache. Times whole runs of `kestal-tool audit --hibp` and of `keepassxc-cli analyze
// --hibp` on the same 4-million-line list and passwords, and the look-up of the 1024 hashes
// alone (in this process) on each list, whose cost must grow with the logarithm of the
// list's length, not with the length.
//   kestal_bench_audit KESTAL_TOOL WORK_FOLDER RUNS PEER_RUNS
// prints: ROW name median min max (microseconds)
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "charset.h"
#include "files.h"
#include "hash_list.h"
#include "record_store.h"

namespace {

double Now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

void Row(const char* name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("ROW %s %.1f %.1f %.1f\n", name, times[times.size() / 2], times.front(), times.back());
    std::fflush(stdout);
}

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "kestal_bench_audit: %s\n", what);
        std::exit(1);
    }
}

// Runs a program with standard input from a file and its output thrown away; its exit
// status. posix_spawn, not fork: the time measured is the program's, not that of copying
// this process's memory map.
int Run(const std::vector<std::string>& args, const std::string& input)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One warm-up run (the list into the page cache), then runs timed ones.
std::vector<double> Time(const std::vector<std::string>& args, const std::string& input, int expected, int runs)
{
    Check(Run(args, input) == expected, ("unexpected exit status of " + args[0]).c_str());
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        double start = Now();
        Run(args, input);
        times.push_back(Now() - start);
    }
    return times;
}

void WriteFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fclose(f) == 0,
          ("cannot write " + path).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    Check(argc == 5, "usage: kestal_bench_audit KESTAL_TOOL WORK_FOLDER RUNS PEER_RUNS");
    std::string tool = argv[1], work = std::string(argv[2]) + "/";
    int runs = std::atoi(argv[3]), peerRuns = std::atoi(argv[4]);
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work + "db");

    // 1024 records, every third password listed; some with letters of the code page.
    std::memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    std::snprintf(SettingsBlock.folder, kFolderSize, "%sdb/", work.c_str());
    charset::CodePage cp;
    Check(cp.Load(1252), "code page 1252");
    std::vector<hash_list::Line> listed;
    for (uint32_t i = 0; i < kSlotCount; ++i) {
        std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        std::snprintf(WorkingRecord.website, kWebsiteSize, "Site %u", i);
        std::snprintf(WorkingRecord.url, kUrlSize, "https://site%u.example/", i);
        std::snprintf(WorkingRecord.userName, kUserNameSize, "user%u", i);
        std::snprintf(WorkingRecord.password, kPasswordSize, "Pass-%u-caf\xE9-%s", i, i % 3 == 0 ? "listed" : "not");
        crypto::Sha1Digest d;
        Check(crypto::Sha1(cp.ToUtf8(WorkingRecord.password), &d), "SHA-1");
        if (i % 3 == 0)
            listed.push_back({d, std::to_string(i + 1)});
        AppendRecord();
    }
    Check(SaveDatabase() == 0 && SaveSettings() == 0, "cannot save the database");
    WriteFile(work + "pw", "pw\npw\n");
    Check(Run({tool, "export", work + "db", "--format", "keepass-xml", "-o", work + "kestal.xml"}, "/dev/null") == 0,
          "export");
    Check(Run({"keepassxc-cli", "import", "-q", "-p", work + "kestal.xml", work + "peer.kdbx"}, work + "pw") == 0,
          "keepassxc-cli import");

    // The lists: the first 1, 2 and 4 million of the same random hashes, and the listed ones.
    std::vector<hash_list::Line> random = hash_list::RandomLines(4000000 - listed.size(), 4);
    const char* names[] = {"1M", "2M", "4M"};
    for (int k = 0; k < 3; ++k) {
        std::vector<hash_list::Line> lines(random.begin(), random.begin() + (long)((1000000u << k) - listed.size()));
        lines.insert(lines.end(), listed.begin(), listed.end());
        hash_list::Sort(&lines);
        WriteFile(work + "list" + names[k] + ".txt", hash_list::Text(lines));
    }
    random.clear();
    random.shrink_to_fit();

    std::vector<crypto::Sha1Digest> digests;
    for (uint32_t i = 0; i < kSlotCount; ++i) {
        crypto::Sha1Digest d;
        Check(crypto::Sha1(cp.ToUtf8(RecordStore.slots[i].password), &d), "SHA-1");
        digests.push_back(d);
    }
    for (const char* n : names) {
        std::string list = work + "list" + n + ".txt";
        Row(("Audit1024_" + std::string(n)).c_str(), Time({tool, "audit", work + "db", "--hibp", list}, "/dev/null", 1, runs));
        std::vector<double> times;
        for (int r = 0; r <= runs; ++r) {
            double start = Now();
            pwned::List file;
            std::string error;
            std::vector<pwned::Answer> answers;
            Check(file.Open(list, &error) && file.Lookup(digests, &answers, &error), error.c_str());
            size_t found = 0;
            for (const pwned::Answer& a : answers)
                found += a.state == pwned::Answer::kFound;
            Check(found == listed.size(), "the look-up missed listed passwords");
            if (r > 0) // the first warms the cache
                times.push_back(Now() - start);
        }
        Row(("Lookup1024_" + std::string(n)).c_str(), times);
    }
    Row("Peer_analyze_4M", Time({"keepassxc-cli", "analyze", "-q", "--hibp", work + "list4M.txt", work + "peer.kdbx"},
                                work + "pw", 0, peerRuns));
    std::filesystem::remove_all(work);
    return 0;
}
