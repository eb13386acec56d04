// Shared by the fuzz targets: a private folder for the files they read and write, a clean
// store, and the checks every target makes after each step.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The folder the targets' files live in, in the program's form ('\' separators, trailing
// backslash). Made once per process.
const char* FuzzFolder();

// Writes bytes as the named file inside FuzzFolder().
void WriteFuzzFile(const char* name, const uint8_t* data, size_t size);

// Zeroes every global of the store and points the settings at FuzzFolder().
void ResetForFuzz();

// Aborts unless the store is in a state the program can work with: at most 1024 records,
// current naming a slot, the folder terminated inside its field.
void CheckStoreInvariants();

// Aborts unless every field of the working record is terminated inside its size.
void CheckWorkingRecord();

#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition))     \
            __builtin_trap(); \
    } while (0)
