// A 64-bit fingerprint of a run of bytes, fed in pieces of any size: what the program
// remembers of the database file it last read whole or wrote. Any change of a byte changes
// it (but for a chance of one in 2^64), and it runs at close to memory speed, so that
// fingerprinting 512 KiB adds little to a load or a save.
#pragma once

#include <stdint.h>

struct Fingerprint {
    uint64_t lanes[4];         // four independent accumulators, one per 8-byte word of 32
    uint64_t length;           // bytes fed so far
    unsigned char pending[32]; // bytes waiting for a whole 32-byte stripe
    uint32_t pendingLength;
};

void StartFingerprint(Fingerprint* f);
void AddToFingerprint(Fingerprint* f, const void* bytes, uint32_t length);
uint64_t FinishFingerprint(const Fingerprint* f);
// The three steps at once.
uint64_t FingerprintOf(const void* bytes, uint32_t length);
