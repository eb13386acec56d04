// KDBX 4, the encrypted database format of KeePass 2, KeePassXC, KeePassDX, Strongbox and
// others: the records leave in one file protected by a password, never in clear. The file
// is KDBX 4.0 without compression: AES-256-CBC, Argon2id or AES-KDF, HMAC-SHA-256 blocks,
// and a ChaCha20 inner stream over the passwords.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"

namespace kdbx {

enum class Kdf { kAes, kArgon2id };

// The key derivation and its cost.
struct KdfSettings {
    Kdf kdf = Kdf::kAes;
    uint64_t rounds = 0;     // AES-KDF: encryptions of the key
    uint64_t iterations = 0; // Argon2id: passes over the memory
    uint64_t memory = 0;     // Argon2id: bytes
    uint32_t lanes = 0;      // Argon2id: parallelism
};

// This build's key derivation at the cost that takes about one second on the machine it
// was measured on: Argon2id where the build has Argon2, AES-KDF otherwise.
KdfSettings DefaultKdf();
// Settings that cost milliseconds, for tests only: peers accept them all the same.
KdfSettings TestKdf(Kdf kdf);
// "Argon2id (64 MiB, 2 lanes, 12 iterations)", "AES-KDF (9000000 rounds)".
std::string Describe(const KdfSettings& kdf);

// The database of entries (UTF-8 text) in one group named group, protected by password
// (UTF-8): appended to *file. False, with *why, when the system's cryptography failed.
bool Write(const std::vector<Entry>& entries, const std::string& group, const std::string& password,
           const KdfSettings& kdf, std::string* file, std::string* why);

// The pieces the file is made of, for the tests.

// The composite key of a password alone: SHA-256 of SHA-256 of its bytes.
bool CompositeKey(const std::string& password, unsigned char* out32);
// The composite key transformed by the key derivation under seed (32 bytes): 32 bytes.
bool TransformKey(const unsigned char* composite32, const KdfSettings& kdf, const unsigned char* seed32,
                  unsigned char* out32);
// The HMAC key of block index (UINT64_MAX for the header) from the HMAC base key (64 bytes):
// SHA-512 of the index (64-bit little-endian) and the base key, 64 bytes.
bool BlockKey(const unsigned char* base64Bytes, uint64_t index, unsigned char* out64);
// The inner stream's key stream: ChaCha20 keyed by the first 32 bytes of SHA-512 of
// innerKey and the next 12 as nonce; size bytes.
bool InnerStream(const std::string& innerKey, size_t size, std::string* stream);

// Standard base64 with padding.
std::string Base64(const std::string& bytes);

} // namespace kdbx
