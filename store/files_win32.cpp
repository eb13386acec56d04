// The file boundary on Windows: thin wrappers over the Win32 kernel calls.
#include "os_files.h"

#include <windows.h>

static HANDLE Handle(OsFile file)
{
    return (HANDLE)file;
}

// Others may read the file while it is open, never write it.
static int Open(const char* path, DWORD access, DWORD disposition, OsFile* file)
{
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return (int)GetLastError();
    *file = (OsFile)h;
    return 0;
}

int OsOpenForRead(const char* path, OsFile* file)
{
    return Open(path, GENERIC_READ, OPEN_EXISTING, file);
}

int OsRead(OsFile file, void* buffer, uint32_t length, uint32_t* got)
{
    DWORD n = 0;
    BOOL ok = ReadFile(Handle(file), buffer, length, &n, NULL);
    *got = n;
    return ok ? 0 : (int)GetLastError();
}

int OsCreateForWrite(const char* path, OsFile* file)
{
    return Open(path, GENERIC_WRITE, CREATE_ALWAYS, file);
}

int OsWrite(OsFile file, const void* buffer, uint32_t length, uint32_t* written)
{
    DWORD n = 0;
    BOOL ok = WriteFile(Handle(file), buffer, length, &n, NULL);
    *written = n;
    return ok ? 0 : (int)GetLastError();
}

int OsFlush(OsFile file)
{
    return FlushFileBuffers(Handle(file)) ? 0 : (int)GetLastError();
}

int OsClose(OsFile file)
{
    return CloseHandle(Handle(file)) ? 0 : (int)GetLastError();
}

int OsReplace(const char* from, const char* target)
{
    // API oddity: ReplaceFileA can fail after the target is already gone, so the move is
    // done with MoveFileExA, which replaces the target in one step or leaves it alone.
    if (MoveFileExA(from, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return (int)GetLastError();
}

int OsDelete(const char* path)
{
    return DeleteFileA(path) ? 0 : (int)GetLastError();
}

void OsPause(unsigned milliseconds)
{
    Sleep(milliseconds);
}

size_t OsModulePath(char* destination, size_t size)
{
    DWORD n = GetModuleFileNameA(NULL, destination, (DWORD)size);
    // A path cut to the buffer returns the full size (and is terminated only on newer
    // systems): treat it as not fitting.
    if (n == 0 || n >= size)
        return 0;
    return n;
}

int OsFileSize(const char* path, uint64_t* size)
{
    // Read from the folder entry, so a file that another program holds without sharing can
    // still be measured.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return (int)GetLastError();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return kErrorAccessDenied;
    *size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return 0;
}
