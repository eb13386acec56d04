// Shared by the tool's tests: a database folder in the host's own form, CSV files, and the
// records on disk.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "commands.h"
#include "store_fixture.h"

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStore(); }
    // The folder as a user types it: '/' on Linux, '\' on Windows.
    std::string Folder() const
    {
        std::string f = dir.Path();
#ifndef _WIN32
        std::replace(f.begin(), f.end(), '\\', '/');
#endif
        return f;
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        WriteBytes(dir.File(name), std::vector<unsigned char>(text.begin(), text.end()));
        return Folder() + name;
    }
    Options ImportOf(const std::string& csvText)
    {
        Options o;
        o.input = Write("in.csv", csvText);
        o.folder = Folder() + "db";
        MakeFolder(dir.File("db"));
        return o;
    }
    // The records of Kestal.dat in the database folder, each as its five fields.
    std::vector<Record> Records() const
    {
        std::vector<unsigned char> bytes = ReadBytes(dir.File("db\\Kestal.dat"));
        std::vector<Record> records(bytes.size() / sizeof(Record));
        if (!records.empty())
            std::memcpy(records.data(), bytes.data(), records.size() * sizeof(Record));
        return records;
    }
    // Saves records (website, URL, user name, password, and remarks when given) into db/ as
    // the program would.
    void Database(const std::vector<std::vector<const char*>>& records)
    {
        MakeFolder(dir.File("db"));
        ResetStore();
        std::strcpy(SettingsBlock.folder, dir.File("db\\").c_str());
        for (const auto& r : records) {
            SetWorking(r[0], r[1], r[2], r[3], r.size() > 4 ? r[4] : "");
            AppendRecord();
        }
        ASSERT_EQ(0, SaveDatabase());
        ASSERT_EQ(0, SaveSettings());
        ResetStore();
    }
    uint32_t CountOnDisk() const
    {
        std::vector<unsigned char> bytes = ReadBytes(dir.File("db\\KSys.dat"));
        uint32_t count = 0;
        if (bytes.size() >= 4)
            std::memcpy(&count, bytes.data(), 4);
        return count;
    }
    TempFolder dir;
};
