// The file boundary on Linux and other POSIX systems, for the native build and its tests.
// It answers with the same Windows error codes as the Win32 build and accepts both '\' and
// '/' as separators.
#include "os_files.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

enum { kErrorGenFailure = 31, kErrorDiskFull = 112 };

// Copies path with every '\' turned into '/'. Returns 0 when it does not fit.
static int ToPosix(const char* path, char* out, size_t size)
{
    size_t i = 0;
    for (; path[i] != 0; ++i) {
        if (i + 1 >= size)
            return 0;
        out[i] = path[i] == '\\' ? '/' : path[i];
    }
    out[i] = 0;
    return 1;
}

// Windows tells a missing file (2) from a missing folder (3); errno does not.
static int MissingCode(const char* posixPath)
{
    char folder[PATH_MAX];
    snprintf(folder, sizeof(folder), "%s", posixPath);
    char* slash = strrchr(folder, '/');
    if (slash == NULL)
        return kErrorFileNotFound;
    if (slash == folder)
        slash[1] = 0;
    else
        *slash = 0;
    struct stat info;
    if (stat(folder, &info) == 0 && S_ISDIR(info.st_mode))
        return kErrorFileNotFound;
    return kErrorPathNotFound;
}

static int ErrorCode(int error, const char* posixPath)
{
    switch (error) {
    case ENOENT: return MissingCode(posixPath);
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case ENOSPC: return kErrorDiskFull;
    default: return kErrorGenFailure;
    }
}

static int Open(const char* path, int flags, OsFile* file)
{
    char posixPath[PATH_MAX];
    if (!ToPosix(path, posixPath, sizeof(posixPath)))
        return kErrorFilenameTooLong;
    int fd = open(posixPath, flags | O_CLOEXEC, 0644);
    if (fd < 0)
        return ErrorCode(errno, posixPath);
    // Windows refuses to open a folder as a file; so do we.
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return kErrorAccessDenied;
    }
    *file = (OsFile)fd;
    return 0;
}

int OsOpenForRead(const char* path, OsFile* file)
{
    return Open(path, O_RDONLY, file);
}

// read() and write() may move fewer bytes than asked before the end of the file; ReadFile
// and WriteFile on a disk file do not, so keep going until the length, the end or an error.
static int Transfer(int fd, char* buffer, uint32_t length, uint32_t* moved, int writing)
{
    uint32_t total = 0;
    while (total < length) {
        ssize_t n = writing ? write(fd, buffer + total, length - total)
                            : read(fd, buffer + total, length - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *moved = total;
            return ErrorCode(errno, "");
        }
        if (n == 0)
            break;
        total += (uint32_t)n;
    }
    *moved = total;
    return 0;
}

int OsRead(OsFile file, void* buffer, uint32_t length, uint32_t* got)
{
    return Transfer((int)file, (char*)buffer, length, got, 0);
}

int OsCreateForWrite(const char* path, OsFile* file)
{
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC, file);
}

int OsWrite(OsFile file, const void* buffer, uint32_t length, uint32_t* written)
{
    return Transfer((int)file, (char*)buffer, length, written, 1);
}

int OsFlush(OsFile file)
{
    return fsync((int)file) == 0 ? 0 : ErrorCode(errno, "");
}

int OsClose(OsFile file)
{
    return close((int)file) == 0 ? 0 : ErrorCode(errno, "");
}

int OsReplace(const char* from, const char* target)
{
    char posixFrom[PATH_MAX];
    char posixTarget[PATH_MAX];
    if (!ToPosix(from, posixFrom, sizeof(posixFrom)) ||
        !ToPosix(target, posixTarget, sizeof(posixTarget)))
        return kErrorFilenameTooLong;
    if (rename(posixFrom, posixTarget) != 0)
        return ErrorCode(errno, posixTarget);

    // Make the new directory entry itself durable, as MOVEFILE_WRITE_THROUGH does.
    char* slash = strrchr(posixTarget, '/');
    if (slash != NULL) {
        if (slash == posixTarget)
            slash[1] = 0;
        else
            *slash = 0;
        int fd = open(posixTarget, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            fsync(fd);
            close(fd);
        }
    }
    return 0;
}

int OsDelete(const char* path)
{
    char posixPath[PATH_MAX];
    if (!ToPosix(path, posixPath, sizeof(posixPath)))
        return kErrorFilenameTooLong;
    return unlink(posixPath) == 0 ? 0 : ErrorCode(errno, posixPath);
}

void OsPause(unsigned milliseconds)
{
    struct timespec pause = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

size_t OsModulePath(char* destination, size_t size)
{
    ssize_t n = readlink("/proc/self/exe", destination, size);
    if (n <= 0 || (size_t)n >= size)
        return 0;
    destination[n] = 0;
    for (ssize_t i = 0; i < n; ++i) {
        if (destination[i] == '/')
            destination[i] = '\\';
    }
    return (size_t)n;
}

int OsFileSize(const char* path, uint64_t* size)
{
    char posixPath[PATH_MAX];
    if (!ToPosix(path, posixPath, sizeof(posixPath)))
        return kErrorFilenameTooLong;
    struct stat info;
    if (stat(posixPath, &info) != 0)
        return ErrorCode(errno, posixPath);
    if (S_ISDIR(info.st_mode))
        return kErrorAccessDenied;
    *size = (uint64_t)info.st_size;
    return 0;
}
