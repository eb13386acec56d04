// The two files of a database folder and the routines that move them between disk and
// memory.
//
//   "Kestal.dat"  count x 512 bytes: slots 0 to count - 1 of the record table, no header.
//   "KSys.dat"    320 bytes: the count (4 bytes, little-endian), the database folder
//                 (256 bytes), the first 60 bytes of the password.
//
// Result codes. Reads return 0 or the operating system's error code (2 file not found,
// 3 path not found, 13 a settings file whose count is larger than the table, 206 a path too
// long for the path buffer, ...). Writes return:
//    0  success
//   -1  the file could not be created or opened for writing (or its path does not fit)
//   -2  the system took a different number of bytes than asked for
//   -3  the write, the flush or the final replace of the old file failed
// A write goes to a temporary file in the same folder that replaces the old file only once
// it is complete and on disk, so a failed save leaves the previous file exactly as it was.
#pragma once

#include <stdint.h>

#include "record_store.h"

extern char PathBuffer[kPathSize]; // every file path is built here just before use

// Writes the folder of the running executable, with its trailing backslash, into
// destination (kFolderSize bytes). Returns 0, or 206 with destination empty when the
// folder is longer than the field can hold.
int ProgramFolder(char* destination);
// The folder part of a full file path, as ProgramFolder gives it; same results.
int FolderOfPath(const char* path, char* destination);

int ReadWholeFile(const char* path, void* buffer, uint32_t length);
int WriteWholeFile(const char* path, const void* buffer, uint32_t length);

int LoadSettings();  // reads KSys.dat from the folder named in the settings block
int SaveSettings();  // writes KSys.dat there, with the count in memory
// Reads every record Kestal.dat holds (its size / 512 rounded up, at most 1024; a partial
// last record with its missing bytes zero) into the table and makes that the count,
// whatever count the settings named. A failed read changes neither.
int LoadDatabase();
int SaveDatabase();

extern uint32_t DatabaseBytesRead; // how many bytes the last LoadDatabase brought in
extern int DatabaseHoldsMore;      // 1 when the last LoadDatabase met a file of more than 1024 records

// Writes KSys.dat into the database folder for a save of the settings on their own: its
// count is the number of records Kestal.dat in that folder holds now (its size / 512,
// rounded up, at most 1024; 0 when there is none), so that settings saved without the
// records never hide records on disk or promise ones that are not there. The count in
// memory is not changed. -1 when the folder's database cannot be measured (held in a way
// that hides its size, or a folder in its place); otherwise as WriteWholeFile.
int SaveSettingsKeepingFileCount();

// After a save of both files into a database folder other than the program folder, writes
// the same settings to KSys.dat beside the executable, so that the next start, which reads
// the settings there, opens the folder where the records now are. Returns 1 when the
// database folder is the program folder (nothing to do), otherwise as WriteWholeFile.
int SaveSettingsBesideProgram();

// What the database file looked like when this run last read it whole or wrote it: a save
// asks before it replaces a file that another program, or another copy of this one, has
// written since. The bytes are hashed rather than the size and time compared: another copy
// saving as many records within the time stamp's resolution (2 s on FAT), or a file copied
// back with its old time, would pass a time check; fingerprinting at most 512 KiB costs
// tens of microseconds.
struct KnownFile {
    int known;            // 0 until a read of the whole file or a write succeeds
    char path[kPathSize]; // the file it was
    uint32_t size;        // its length in bytes
    uint64_t hash;        // the fingerprint of its bytes (fingerprint.h)
};
extern KnownFile KnownDatabase;

// 1 when the database file of the folder now in the settings block exists, holds bytes,
// and is not what this run last read whole or wrote there (never read, a failed read,
// another folder, changed since, or held by another program now); 0 when a save may
// replace it, or when no save could (a missing folder, a folder in the file's place).
int DatabaseChangedOnDisk();

// Test hook: when set, called before each system call a save makes (create, write, flush,
// close, replace), numbered from 1 within the save; a non-zero return makes that call fail.
extern int (*FileFaultHook)(int callNumber);
