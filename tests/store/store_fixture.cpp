#include "store_fixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

// Test paths are built with '\' like the program's own; the filesystem library wants the
// host's form.
static fs::path Host(const std::string& path)
{
#ifdef _WIN32
    return fs::path(path);
#else
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return fs::path(p);
#endif
}

TempFolder::TempFolder()
{
    static std::atomic<unsigned> serial{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() /
                   ("kestal-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    fs::create_directories(dir);
    path_ = dir.string();
    std::replace(path_.begin(), path_.end(), '/', '\\');
    if (path_.back() != '\\')
        path_ += '\\';
}

TempFolder::~TempFolder()
{
    RemovePath(path_);
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(Host(path), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool Exists(const std::string& path)
{
    return fs::exists(Host(path));
}

void MakeFolder(const std::string& path)
{
    fs::create_directories(Host(path));
}

void RemovePath(const std::string& path)
{
    std::error_code ignored;
    fs::remove_all(Host(path), ignored);
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Host(folder)))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned char> Image(const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(p, p + size);
}

std::vector<unsigned char> TableImage(uint32_t count)
{
    return Image(RecordStore.slots, (size_t)count * kRecordSize);
}

std::vector<unsigned char> SettingsImage()
{
    return Image(&SettingsBlock, kSettingsFileSize);
}

void ResetStore()
{
    std::memset(&RecordStore, 0, sizeof(RecordStore));
    std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    std::memset(&SettingsBlock, 0, sizeof(SettingsBlock));
    std::memset(StatusText, 0, sizeof(StatusText));
    std::memset(PathBuffer, 0, sizeof(PathBuffer));
    std::memset(&KnownDatabase, 0, sizeof(KnownDatabase));
    ModifiedFlag = 0;
    FileFaultHook = nullptr;
}

void UseFolder(const std::string& folder)
{
    std::memset(SettingsBlock.folder, 0, sizeof(SettingsBlock.folder));
    std::strncpy(SettingsBlock.folder, folder.c_str(), sizeof(SettingsBlock.folder) - 1);
}

void SetWorking(const char* website, const char* url, const char* user, const char* password,
                const char* remarks)
{
    std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    std::strncpy(WorkingRecord.website, website, sizeof(WorkingRecord.website) - 1);
    std::strncpy(WorkingRecord.url, url, sizeof(WorkingRecord.url) - 1);
    std::strncpy(WorkingRecord.userName, user, sizeof(WorkingRecord.userName) - 1);
    std::strncpy(WorkingRecord.password, password, sizeof(WorkingRecord.password) - 1);
    std::strncpy(WorkingRecord.remarks, remarks, sizeof(WorkingRecord.remarks) - 1);
}

void Add(const char* website, const char* url)
{
    SetWorking(website, url);
    AppendRecord();
}
