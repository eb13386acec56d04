#include "private_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tool {

std::string TemporaryName(const std::string& path, int n)
{
    return n == 0 ? path + ".tmp" : path + "." + std::to_string(n) + ".tmp";
}

#ifdef _WIN32

namespace {

// A security descriptor whose access list lets the current user read, write and delete the
// file and nobody else anything, and takes nothing from the folder's inherited entries
// (protected). Wine turns it into a Unix mode of 0640 under a server umask of 022 (it gives
// the group the owner's read access), 0600 under 077; no execute bit, which
// FILE_ALL_ACCESS would add.
struct OwnerOnly {
    SECURITY_DESCRIPTOR descriptor;
    alignas(8) unsigned char user[256]; // TOKEN_USER and the SID after it
    alignas(8) unsigned char acl[512];
};

bool MakeOwnerOnly(OwnerOnly* s)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    BOOL got = GetTokenInformation(token, TokenUser, s->user, sizeof(s->user), &size);
    CloseHandle(token);
    if (!got)
        return false;
    PSID sid = ((TOKEN_USER*)s->user)->User.Sid;
    PACL acl = (PACL)s->acl;
    return InitializeAcl(acl, sizeof(s->acl), ACL_REVISION) &&
           AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE, sid) &&
           InitializeSecurityDescriptor(&s->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&s->descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&s->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

std::string ErrorText(DWORD code)
{
    return "Windows error " + std::to_string(code);
}

// Writes, flushes and closes; false, with *why, when any step fails. A write on a full disk
// can report success with fewer bytes written: the count is checked first.
bool WriteAll(HANDLE file, const std::string& bytes, std::string* why)
{
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 20), written = 0;
        BOOL result = WriteFile(file, bytes.data() + done, chunk, &written, NULL);
        if (written == 0 || !result) {
            *why = written == 0 && result ? "the disk is full" : ErrorText(GetLastError());
            ok = false;
        }
        done += written;
    }
    if (ok && !FlushFileBuffers(file)) {
        *why = ErrorText(GetLastError());
        ok = false;
    }
    if (!CloseHandle(file) && ok) {
        *why = ErrorText(GetLastError());
        ok = false;
    }
    return ok;
}

} // namespace

bool WritePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string* why)
{
    static OwnerOnly ownerOnly;
    if (!MakeOwnerOnly(&ownerOnly)) {
        *why = "its access list could not be made (" + ErrorText(GetLastError()) + ")";
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &ownerOnly.descriptor, FALSE};
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int n = 0; n < kTemporaryNames && file == INVALID_HANDLE_VALUE; ++n) {
        temporary = TemporaryName(path, n);
        // CREATE_NEW fails on any existing name, a link included, and never opens it.
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD error = GetLastError();
        if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            *why = temporary + " could not be created (" + ErrorText(error) + ")";
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        *why = "every temporary name from " + TemporaryName(path, 0) + " to " +
               TemporaryName(path, kTemporaryNames - 1) + " is taken";
        return false;
    }
    if (!WriteAll(file, bytes, why)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing path, in one step.
    // Another program holding the path open makes it fail for a moment: a few short tries.
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0), error = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (MoveFileExA(temporary.c_str(), path.c_str(), flags))
            return true;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            break;
        Sleep(25);
    }
    DeleteFileA(temporary.c_str());
    *why = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? "it exists; --force replaces it"
                                                                         : ErrorText(error);
    return false;
}

#else

namespace {

std::string ErrorText(int error)
{
    return std::strerror(error);
}

bool WriteAll(int fd, const std::string& bytes, std::string* why)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = n == 0 ? "the disk is full" : ErrorText(errno);
            close(fd);
            return false;
        }
        done += (size_t)n;
    }
    if (fsync(fd) != 0) {
        *why = ErrorText(errno);
        close(fd);
        return false;
    }
    if (close(fd) != 0) {
        *why = ErrorText(errno);
        return false;
    }
    return true;
}

// The folder of path, flushed so that the new name survives a crash; a failure here loses
// nothing that was not already written.
void SyncFolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool WritePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string* why)
{
    std::string temporary;
    int fd = -1;
    for (int n = 0; n < kTemporaryNames && fd < 0; ++n) {
        temporary = TemporaryName(path, n);
        // O_EXCL: never an existing file, and with O_NOFOLLOW never through a link, whatever
        // stands at the name; 0600 before a byte is written.
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            *why = temporary + " could not be created (" + ErrorText(errno) + ")";
            return false;
        }
    }
    if (fd < 0) {
        *why = "every temporary name from " + TemporaryName(path, 0) + " to " +
               TemporaryName(path, kTemporaryNames - 1) + " is taken";
        return false;
    }
    // The umask may have taken bits away, never added any; this makes sure of it.
    if (fchmod(fd, 0600) != 0) {
        *why = ErrorText(errno);
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    if (!WriteAll(fd, bytes, why)) {
        unlink(temporary.c_str());
        return false;
    }
    if (replace) {
        // rename() replaces a link at path itself, never its target.
        if (rename(temporary.c_str(), path.c_str()) != 0) {
            *why = ErrorText(errno);
            unlink(temporary.c_str());
            return false;
        }
    } else {
        // link() fails on any existing path, a dangling link included, in one step. File
        // systems without hard links get a look first and rename(), which leaves a moment
        // in which another program could create path and lose it.
        int error = link(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
        struct stat st;
        if (error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS) {
            error = lstat(path.c_str(), &st) == 0 ? EEXIST : rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
            if (error == 0) {
                SyncFolderOf(path);
                return true;
            }
        }
        unlink(temporary.c_str());
        if (error != 0) {
            *why = error == EEXIST ? "it exists; --force replaces it" : ErrorText(error);
            return false;
        }
    }
    SyncFolderOf(path);
    return true;
}

#endif

} // namespace tool
