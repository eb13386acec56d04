// A 64-bit fingerprint of a run of bytes, fed in pieces of any size: what the program
// remembers of the database file it last read whole or wrote. Any change of a byte changes
// it (but for a chance of one in 2^64), and it runs at close to memory speed, so that
// fingerprinting 512 KiB adds little to a load or a save. The value is xxHash's XXH3 64-bit
// hash with its default secret and no seed, the same on every build.
#pragma once

#include <stdint.h>

// Room for xxHash's XXH3 streaming state, which lives wherever the caller keeps its
// Fingerprint (on the stack, usually): no heap is involved. fingerprint.cpp checks that the
// state fits and is aligned.
enum { kFingerprintStateSize = 640 };

struct Fingerprint {
    alignas(64) unsigned char state[kFingerprintStateSize];
};

void StartFingerprint(Fingerprint* f);
void AddToFingerprint(Fingerprint* f, const void* bytes, uint32_t length);
uint64_t FinishFingerprint(const Fingerprint* f);
// The three steps at once.
uint64_t FingerprintOf(const void* bytes, uint32_t length);

// The hash is xxHash's, compiled for the build's baseline and, where the build can choose at
// run time (natively on x86), for AVX2 and AVX-512 as well; the first fingerprint picks the
// widest this processor and system run. Every kernel gives the same values.
enum { kFingerprintBaseline = 0, kFingerprintAvx2 = 1, kFingerprintAvx512 = 2 };
// The widest kernel this build and this processor can run.
int FingerprintKernelsAvailable();
// Uses kernel from now on, or the widest available when kernel is -1 or not available;
// returns the kernel now in use. For tests that compare the kernels.
int UseFingerprintKernel(int kernel);
