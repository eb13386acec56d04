// Shared set-up for the store tests: a clean store and a fresh folder on disk for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files.h"
#include "record_store.h"

// A unique empty folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    // The folder in the program's own form: '\' separators, with a trailing backslash.
    const std::string& Path() const { return path_; }
    // A file or folder inside it, also in the program's form.
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);
void RemovePath(const std::string& path); // a file, or a folder with all it holds
// Names of the entries of a folder, sorted.
std::vector<std::string> Entries(const std::string& folder);

// The bytes of a piece of memory, to compare with a file.
std::vector<unsigned char> Image(const void* data, size_t size);
// Slots 0 to count - 1 of the table, as the database file holds them.
std::vector<unsigned char> TableImage(uint32_t count);
// The first 320 bytes of the settings block, as the settings file holds them.
std::vector<unsigned char> SettingsImage();

// Zeroes every global of the store, as at process start.
void ResetStore();
// Points the settings block's folder field at folder, the rest of the field zeroed.
void UseFolder(const std::string& folder);

// Fills the working record; the remaining fields stay empty.
void SetWorking(const char* website, const char* url = "u", const char* user = "n",
                const char* password = "p", const char* remarks = "");
// Appends a record built with SetWorking.
void Add(const char* website, const char* url = "u");

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStore(); }
    void TearDown() override { FileFaultHook = nullptr; }
};
