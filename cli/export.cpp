#include "commands.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "crypto.h"
#include "console.h"
#include "folder.h"
#include "files.h"
#include "formats.h"
#include "kdbx.h"
#include "keepass_xml.h"
#include "password_input.h"
#include "private_file.h"
#include "record_store.h"

namespace fs = std::filesystem;
using namespace tool;

namespace {

// The entries of the records in memory, as UTF-8. Every entry has a title: the website, or
// else the host of the URL, or else "Record N" (N as the program numbers records, from 0).
// The entries are made in place in a vector sized once, so that no reallocation leaves
// copies of them in freed memory, and the code page's copies of the user names and
// passwords are wiped. This only narrows the copies: the records are in memory in clear.
std::vector<Entry> EntriesOfStore(const charset::CodePage& cp)
{
    std::vector<Entry> entries;
    entries.reserve(SettingsBlock.count);
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        entries.emplace_back();
        Entry& e = entries.back();
        e.title = cp.ToUtf8(FieldText(r.website, sizeof(r.website)));
        e.url = cp.ToUtf8(FieldText(r.url, sizeof(r.url)));
        std::string userName = FieldText(r.userName, sizeof(r.userName));
        e.userName = cp.ToUtf8(userName);
        crypto::Wipe(&userName);
        std::string password = FieldText(r.password, sizeof(r.password));
        e.password = cp.ToUtf8(password);
        crypto::Wipe(&password);
        e.notes = cp.ToUtf8(FieldText(r.remarks, sizeof(r.remarks)));
        if (e.title.empty())
            e.title = formats::HostOf(e.url);
        if (e.title.empty())
            e.title = "Record " + std::to_string(i);
    }
    return entries;
}

// The key derivation of an encrypted export: the build's own, unless the tests' variable
// KESTAL_TEST_KDF asks for the cheapest cost ("fast": the build's own KDF; "aes" or
// "argon2id": that one), which is said on standard error each time. A password typed on a
// terminal is never given the test cost (see ExportKdbx).
bool KdfOfExport(kdbx::KdfSettings* kdf)
{
    *kdf = kdbx::DefaultKdf();
    const char* test = std::getenv("KESTAL_TEST_KDF");
    if (test == nullptr || *test == '\0')
        return true;
    std::string name = test;
    if (name == "fast")
        *kdf = kdbx::TestKdf(kdf->kdf);
    else if (name == "aes")
        *kdf = kdbx::TestKdf(kdbx::Kdf::kAes);
    else if (name == "argon2id" && crypto::HasArgon2())
        *kdf = kdbx::TestKdf(kdbx::Kdf::kArgon2id);
    else
        return false;
    Warn("KESTAL_TEST_KDF is set: the key derivation is " + kdbx::Describe(*kdf) + ", for tests only");
    return true;
}

// Whether stream is a terminal. On Windows a console, which GetConsoleMode tells: _isatty
// is true for any character device, NUL too, where a database may well be sent.
bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// The entries' text, wiped once written.
void WipeEntries(std::vector<Entry>* entries)
{
    for (Entry& e : *entries) {
        crypto::Wipe(&e.password);
        crypto::Wipe(&e.userName);
    }
}

// The records as a KDBX 4 database protected by a password read from the user: to
// standard output or through a private file, as the other formats.
int ExportKdbx(const Options& o, bool toStandardOutput)
{
    const char* test = std::getenv("KESTAL_TEST_KDF");
    if (test != nullptr && *test != '\0' && PasswordIsTyped())
        return Fail("KESTAL_TEST_KDF is set, whose key derivation is for tests only: unset it to export "
                    "with a password typed on a terminal; nothing was written");
    kdbx::KdfSettings kdf;
    if (!KdfOfExport(&kdf))
        return Fail("KESTAL_TEST_KDF names no key derivation of this build");
    if (toStandardOutput && IsTerminal(stdout))
        return Fail("a KDBX database is not text: name a file with -o FILE (or -o - into a pipe)");
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<Entry> entries = EntriesOfStore(cp);
    std::string password, why;
    if (!ReadNewPassword(&password, &why)) {
        WipeEntries(&entries);
        return Fail(why + "; nothing was written");
    }
    std::string database;
    bool made = kdbx::Write(entries, formats::kGroup, password, kdf, &database, &why);
    crypto::Wipe(&password);
    WipeEntries(&entries);
    if (!made)
        return Fail(why + "; nothing was written");
    if (toStandardOutput) {
        Out(database);
        if (std::fflush(stdout) != 0)
            return Fail("standard output could not be written");
    } else if (!WritePrivateFile(o.output, database, o.force, &why)) {
        return Fail(o.output + " was not written: " + why);
    }
    Warn(std::to_string(entries.size()) + " records exported, encrypted with the password (" + kdbx::Describe(kdf) +
         ")");
    return status;
}

} // namespace

int Export(const Options& o)
{
    formats::Format format = formats::ByName(o.format);
    if (format == formats::kUnknown || format == formats::kFirefoxCsv)
        return Fail("unknown export format '" + o.format +
                    "' (kdbx, keepass-xml, keepassxc-csv, bitwarden-csv or browser-csv)");
    bool toStandardOutput = o.output.empty() || o.output == "-";
    std::error_code error;
    if (!toStandardOutput && !o.force && fs::exists(fs::symlink_status(o.output, error)))
        return Fail(o.output + " exists; --force replaces it");
    if (format == formats::kKdbx)
        return ExportKdbx(o, toStandardOutput);
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<Entry> entries = EntriesOfStore(cp);
    std::string document = format == formats::kKeePassXml ? keepass::Document(entries, formats::kGroup)
                                                          : formats::CsvDocument(format, entries);
    // The warning follows the passwords out, never a refusal or a failed write.
    std::string warning = "the export holds " + std::to_string(entries.size()) +
                          " passwords in clear text: keep it private, and delete it once imported";
    if (toStandardOutput) {
        Out(document);
        if (std::fflush(stdout) != 0 || StandardOutputFailed())
            return Fail("standard output could not be written");
        Warn(warning);
        return status;
    }
    std::string why;
    if (!WritePrivateFile(o.output, document, o.force, &why))
        return Fail(o.output + " was not written: " + why);
    Warn(warning);
    return status;
}
