// A save must never replace, unasked, a database file this run has not read or that has
// changed since; reads wait out a file held for a moment; an empty folder names no file.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "fingerprint.h"
#include "store_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class KnownDatabaseTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        UseFolder(dir.Path());
    }
    // A database file of count records written by someone else, as it would be on disk.
    void WriteForeignDatabase(const std::string& folder, uint32_t count, char fill)
    {
        WriteBytes(folder + "Kestal.dat", std::vector<unsigned char>(count * kRecordSize, (unsigned char)fill));
    }
    TempFolder dir;
};

} // namespace

TEST_F(KnownDatabaseTest, MissingAndEmptyFilesSaveWithoutAQuestion)
{
    EXPECT_EQ(0, DatabaseChangedOnDisk());
    WriteBytes(dir.File("Kestal.dat"), {});
    EXPECT_EQ(0, DatabaseChangedOnDisk());
    UseFolder(dir.File("missing\\"));
    EXPECT_EQ(0, DatabaseChangedOnDisk());
}

TEST_F(KnownDatabaseTest, AFileReadWholeOrWrittenIsKnownUntilItChanges)
{
    WriteForeignDatabase(dir.Path(), 3, 'a');
    EXPECT_EQ(1, DatabaseChangedOnDisk()) << "never read in this run";

    SettingsBlock.count = 3;
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_EQ(0, DatabaseChangedOnDisk());

    // Another program changes one byte: same size, other contents.
    std::vector<unsigned char> bytes = ReadBytes(dir.File("Kestal.dat"));
    ASSERT_EQ(3u * kRecordSize, bytes.size());
    bytes[700] = 'b';
    WriteBytes(dir.File("Kestal.dat"), bytes);
    EXPECT_EQ(1, DatabaseChangedOnDisk());

    // Our own save makes the file known again, and so does reading it back.
    Add("new");
    ASSERT_EQ(0, SaveDatabase());
    EXPECT_EQ(0, DatabaseChangedOnDisk());
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_EQ(0, DatabaseChangedOnDisk());

    // Another copy of the program saved the same number of records since.
    WriteForeignDatabase(dir.Path(), 4, 'c');
    EXPECT_EQ(1, DatabaseChangedOnDisk());
}

TEST_F(KnownDatabaseTest, AnotherFolderIsNotKnownAndAReadThatGotNothingForgetsNothing)
{
    TempFolder other;
    WriteForeignDatabase(dir.Path(), 2, 'a');
    WriteForeignDatabase(other.Path(), 2, 'a'); // the same bytes, another file
    SettingsBlock.count = 2;
    ASSERT_EQ(0, LoadDatabase());
    UseFolder(other.Path());
    EXPECT_EQ(1, DatabaseChangedOnDisk());

    // Back to the first folder, whose file was read whole: a load that fails before it
    // reads a byte (a missing folder, a missing file) changed nothing in memory, so the
    // file read before is still known and a save needs no question.
    UseFolder(dir.Path());
    ASSERT_EQ(0, LoadDatabase());
    UseFolder(dir.File("missing\\"));
    EXPECT_EQ(3, LoadDatabase());
    UseFolder(other.Path());
    RemovePath(other.File("Kestal.dat"));
    EXPECT_EQ(2, LoadDatabase());
    UseFolder(dir.Path());
    EXPECT_EQ(0, DatabaseChangedOnDisk()) << "a read that got nothing forgets nothing";
}

TEST_F(KnownDatabaseTest, RecordsBeyondTheCountAreReadAndKnown)
{
    // The settings say 2, the file holds 3: all three are read, so a save drops none and
    // needs no question.
    WriteForeignDatabase(dir.Path(), 3, 'a');
    SettingsBlock.count = 2;
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_EQ(3u, SettingsBlock.count);
    EXPECT_EQ(0, DatabaseChangedOnDisk());

    // Fewer records than the count: the file is known as it is, and the count follows it.
    WriteForeignDatabase(dir.Path(), 1, 'a');
    ASSERT_EQ(0, LoadDatabase());
    EXPECT_EQ(1u, SettingsBlock.count);
    EXPECT_EQ(0, DatabaseChangedOnDisk());
}

TEST_F(KnownDatabaseTest, AnEmptyFolderNamesNoFileAtTheRootOfTheDrive)
{
    UseFolder("");
    SettingsBlock.count = 1;
    EXPECT_EQ(3, LoadSettings());
    EXPECT_EQ(3, LoadDatabase());
    EXPECT_EQ(-1, SaveSettings());
    EXPECT_EQ(-1, SaveDatabase());
    EXPECT_EQ(0, DatabaseChangedOnDisk());
    EXPECT_FALSE(Exists("\\KSys.dat"));
    EXPECT_FALSE(Exists("\\Kestal.dat"));
}

#ifdef _WIN32
namespace {

// Holds a file open without any sharing for a while on another thread, as a backup tool or
// a virus scanner does.
struct Holder {
    HANDLE file;
    DWORD milliseconds;
    static DWORD WINAPI Release(void* parameter)
    {
        Holder* self = (Holder*)parameter;
        Sleep(self->milliseconds);
        CloseHandle(self->file);
        return 0;
    }
};

HANDLE HoldWithoutSharing(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

} // namespace

TEST_F(KnownDatabaseTest, ReadsWaitOutAFileHeldForAMoment)
{
    SettingsBlock.count = 2;
    ASSERT_EQ(0, SaveSettings());
    WriteForeignDatabase(dir.Path(), 2, 'a');

    Holder brief = {HoldWithoutSharing(dir.File("Kestal.dat")), 30};
    ASSERT_NE(INVALID_HANDLE_VALUE, brief.file);
    HANDLE thread = CreateThread(NULL, 0, Holder::Release, &brief, 0, NULL);
    EXPECT_EQ(0, LoadDatabase());
    EXPECT_EQ('a', RecordStore.slots[1].website[0]);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    EXPECT_EQ(0, DatabaseChangedOnDisk());

    // Held for longer than the retries last: the sharing violation is the answer, and a
    // database nobody can read now cannot be told unchanged.
    HANDLE held = HoldWithoutSharing(dir.File("KSys.dat"));
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(32, LoadSettings());
    CloseHandle(held);
    held = HoldWithoutSharing(dir.File("Kestal.dat"));
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(32, LoadDatabase());
    EXPECT_EQ(1, DatabaseChangedOnDisk());
    CloseHandle(held);
}
#endif

TEST(Fingerprint, IsTheSameFedInAnyPiecesAndSeesEveryByte)
{
    std::vector<unsigned char> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (unsigned char)(i * 131 + 7);
    const uint64_t whole = FingerprintOf(bytes.data(), (uint32_t)bytes.size());
    for (uint32_t piece : {1u, 3u, 31u, 32u, 33u, 100u, 999u}) {
        Fingerprint f;
        StartFingerprint(&f);
        for (uint32_t at = 0; at < bytes.size(); at += piece)
            AddToFingerprint(&f, &bytes[at], std::min<uint32_t>(piece, (uint32_t)bytes.size() - at));
        EXPECT_EQ(whole, FinishFingerprint(&f)) << "pieces of " << piece;
    }
    // A change of any one byte, a shorter run or a longer one, changes the value.
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] ^= 0x01;
        EXPECT_NE(whole, FingerprintOf(bytes.data(), (uint32_t)bytes.size())) << "byte " << i;
        bytes[i] ^= 0x01;
    }
    EXPECT_NE(whole, FingerprintOf(bytes.data(), (uint32_t)bytes.size() - 1));
    bytes.push_back(0);
    EXPECT_NE(whole, FingerprintOf(bytes.data(), (uint32_t)bytes.size()));
}

// The database is read and remembered in chunks of 4096 bytes and whole; the value must not
// depend on how the bytes came, at any length (the short inputs hashed at once, the long ones
// through the buffer of 256 bytes and the blocks of 1024, a full database of 512 KiB), nor on
// which of the kernels this processor runs computed it.
TEST(Fingerprint, AgreesAtEveryLengthInEveryKernelAndIsXxh3)
{
    std::vector<unsigned char> bytes(512 * 1024);
    uint32_t x = 1;
    for (unsigned char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = (unsigned char)(x >> 16);
    }
    const uint32_t lengths[] = {1, 3, 16, 17, 128, 129, 240, 241, 255, 256, 257, 1023, 1024,
                                1025, 4096, 4097, 65536 + 13, 512 * 1024};
    std::vector<uint64_t> baseline;
    const int widest = FingerprintKernelsAvailable();
    for (int kernel = kFingerprintBaseline; kernel <= widest; ++kernel) {
        ASSERT_EQ(kernel, UseFingerprintKernel(kernel));
        // xxHash's own published value for no bytes at all (XXH3, 64 bits, no seed).
        EXPECT_EQ(0x2D06800538D394C2ull, FingerprintOf("", 0)) << "kernel " << kernel;
        std::set<uint64_t> seen;
        for (size_t n = 0; n < sizeof(lengths) / sizeof(lengths[0]); ++n) {
            const uint32_t length = lengths[n];
            const uint64_t whole = FingerprintOf(bytes.data(), length);
            if (kernel == kFingerprintBaseline)
                baseline.push_back(whole);
            else
                EXPECT_EQ(baseline[n], whole) << "kernel " << kernel << ", length " << length;
            EXPECT_TRUE(seen.insert(whole).second) << "length " << length << " repeats a value";
            for (uint32_t piece : {1u, 7u, 64u, 255u, 4096u}) {
                if (piece == 1 && length > 4096)
                    continue; // byte by byte says nothing more at this size and takes long
                Fingerprint f;
                StartFingerprint(&f);
                for (uint32_t at = 0; at < length; at += piece)
                    AddToFingerprint(&f, &bytes[at], std::min(piece, length - at));
                EXPECT_EQ(whole, FinishFingerprint(&f))
                    << "kernel " << kernel << ", length " << length << " in pieces of " << piece;
            }
        }
        // Finishing does not end the run: more bytes may follow.
        Fingerprint f;
        StartFingerprint(&f);
        AddToFingerprint(&f, bytes.data(), 300);
        const uint64_t first = FinishFingerprint(&f);
        AddToFingerprint(&f, bytes.data() + 300, 700);
        EXPECT_EQ(FingerprintOf(bytes.data(), 300), first);
        EXPECT_EQ(FingerprintOf(bytes.data(), 1000), FinishFingerprint(&f));
    }
    std::cout << "fingerprint kernels compared: " << widest + 1 << std::endl;
    UseFingerprintKernel(-1);
}
