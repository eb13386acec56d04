// The one boundary between the store and the operating system's file services.
// files_win32.cpp implements it with the Win32 calls, files_posix.cpp for the native build;
// both give the same result codes: 0 for success, otherwise a Windows error code
// (2 file not found, 3 path not found, 5 access denied, 32 sharing violation, ...).
// Paths may use '\' or '/' as separators.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef intptr_t OsFile; // an open file; only meaningful between an open and its close

enum {
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorInvalidData = 13,
    kErrorSharingViolation = 32,
    kErrorLockViolation = 33,
    kErrorFilenameTooLong = 206
};

int OsOpenForRead(const char* path,  // file to open; it must exist
                  OsFile* file);      // receives the open file on success
int OsRead(OsFile file,               // file opened for reading
           void* buffer,              // where the bytes go
           uint32_t length,           // bytes wanted; fewer arrive at the end of the file
           uint32_t* got);            // receives the number of bytes read
int OsCreateForWrite(const char* path, // file to create, replacing one of the same name
                     OsFile* file);     // receives the open file on success
int OsWrite(OsFile file,              // file opened for writing
            const void* buffer,       // bytes to write
            uint32_t length,          // how many
            uint32_t* written);       // receives how many the system took
int OsFlush(OsFile file);             // forces written bytes to the disk
int OsClose(OsFile file);             // closes the file
int OsReplace(const char* from,       // a closed file in the same folder as target
              const char* target);    // replaced by from in one step
int OsDelete(const char* path);       // removes a file
int OsFileSize(const char* path,      // file to measure; it need not be openable
               uint64_t* size);       // receives its length in bytes
void OsPause(unsigned milliseconds);  // waits a little before a retry
// Writes the full path of the running executable, with '\' separators, into destination
// and returns its length; 0 when the path does not fit in size bytes.
size_t OsModulePath(char* destination, size_t size);
