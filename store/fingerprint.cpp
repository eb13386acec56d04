#include "fingerprint.h"

#include <string.h>

// The round and merge of a well-known 64-bit stripe hash: each word is multiplied in, rotated
// and multiplied again, so a changed bit reaches every bit of its lane; the four lanes keep
// the multiplier busy instead of waiting on one chain.
static const uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
static const uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
static const uint64_t kPrime3 = 0x165667B19E3779F9ull;

static uint64_t RotateLeft(uint64_t value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

static uint64_t Round(uint64_t lane, uint64_t word)
{
    lane += word * kPrime2;
    return RotateLeft(lane, 31) * kPrime1;
}

static uint64_t WordAt(const unsigned char* bytes)
{
    uint64_t word;
    memcpy(&word, bytes, sizeof(word)); // the machine's byte order; the value stays in memory
    return word;
}

static void AddStripe(Fingerprint* f, const unsigned char* stripe)
{
    for (int i = 0; i < 4; ++i)
        f->lanes[i] = Round(f->lanes[i], WordAt(stripe + 8 * i));
}

void StartFingerprint(Fingerprint* f)
{
    f->lanes[0] = kPrime1 + kPrime2;
    f->lanes[1] = kPrime2;
    f->lanes[2] = 0;
    f->lanes[3] = 0 - kPrime1;
    f->length = 0;
    f->pendingLength = 0;
}

void AddToFingerprint(Fingerprint* f, const void* bytes, uint32_t length)
{
    const unsigned char* p = (const unsigned char*)bytes;
    f->length += length;
    if (f->pendingLength > 0) {
        uint32_t take = 32 - f->pendingLength < length ? 32 - f->pendingLength : length;
        memcpy(f->pending + f->pendingLength, p, take);
        f->pendingLength += take;
        p += take;
        length -= take;
        if (f->pendingLength < 32)
            return;
        AddStripe(f, f->pending);
        f->pendingLength = 0;
    }
    for (; length >= 32; p += 32, length -= 32)
        AddStripe(f, p);
    memcpy(f->pending, p, length);
    f->pendingLength = length;
}

uint64_t FinishFingerprint(const Fingerprint* f)
{
    uint64_t hash = RotateLeft(f->lanes[0], 1) + RotateLeft(f->lanes[1], 7) +
                    RotateLeft(f->lanes[2], 12) + RotateLeft(f->lanes[3], 18);
    for (int i = 0; i < 4; ++i)
        hash = (hash ^ Round(0, f->lanes[i])) * kPrime1 + kPrime3;
    hash += f->length;
    for (uint32_t i = 0; i < f->pendingLength; ++i)
        hash = RotateLeft(hash ^ (f->pending[i] * kPrime3), 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    return hash;
}

uint64_t FingerprintOf(const void* bytes, uint32_t length)
{
    Fingerprint f;
    StartFingerprint(&f);
    AddToFingerprint(&f, bytes, length);
    return FinishFingerprint(&f);
}
