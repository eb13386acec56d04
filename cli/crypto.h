// The system's own cryptography, for audit, generate and the encrypted export: SHA-1 for the
// look-up in the breached-password list, random bytes from the system's cryptographic
// generator, and what a KDBX 4 database is made with (SHA-256, SHA-512, HMAC-SHA-256,
// AES-256, ChaCha20, Argon2id). libcrypto and libargon2 natively; BCrypt on Windows, and
// libgcrypt there for ChaCha20, which BCrypt lacks. Nothing here computes a hash, a cipher
// or a random number by itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace crypto {

using Sha1Digest = std::array<unsigned char, 20>;

// The SHA-1 digest of bytes. False when the system's hash could not be used.
bool Sha1(const std::string& bytes, Sha1Digest* digest);

// Fills buffer with size bytes from the system's cryptographic generator (getrandom on
// Linux, BCryptGenRandom on Windows). False when it gave fewer.
bool RandomBytes(unsigned char* buffer, size_t size);

// SHA-256 (32 bytes into out) and SHA-512 (64 bytes) of size bytes.
bool Sha256(const void* bytes, size_t size, unsigned char* out);
bool Sha512(const void* bytes, size_t size, unsigned char* out);

// HMAC-SHA-256 of size bytes under a key of keySize bytes: 32 bytes into out.
bool HmacSha256(const unsigned char* key, size_t keySize, const void* bytes, size_t size, unsigned char* out);

// AES-256-CBC with PKCS#7 padding: plain encrypted under key (32 bytes) from iv (16 bytes),
// appended to *cipher.
bool Aes256CbcEncrypt(const unsigned char* key, const unsigned char* iv, const std::string& plain,
                      std::string* cipher);

// The reverse, for reading a database back: false when the padding is wrong.
bool Aes256CbcDecrypt(const unsigned char* key, const unsigned char* iv, const std::string& cipher,
                      std::string* plain);

// Encrypts the 16-byte block rounds times over with AES-256 under key (32 bytes), in place:
// the AES key transformation. Runs as CBC over blocks of zeros, whose chain is that same
// repeated encryption, so that each call to the library covers many rounds.
bool Aes256Rounds(const unsigned char* key, unsigned char* block, uint64_t rounds);

// size bytes of the ChaCha20 key stream (RFC 8439: 32-bit block counter from 0, 96-bit
// nonce) of key (32 bytes) and nonce (12 bytes).
bool ChaCha20Stream(const unsigned char* key, const unsigned char* nonce, unsigned char* out, size_t size);

// Whether this build has Argon2 (libargon2 natively; the Windows builds have none).
bool HasArgon2();
// Argon2id, version 0x13, of password under salt: 32 bytes into out. memoryKiB in KiB.
bool Argon2id(const unsigned char* password, size_t passwordSize, const unsigned char* salt, size_t saltSize,
              uint32_t iterations, uint32_t memoryKiB, uint32_t lanes, unsigned char* out);

// Overwrites size bytes with zeros in a way the compiler keeps (OPENSSL_cleanse /
// SecureZeroMemory): for keys and passwords once used.
void Wipe(void* bytes, size_t size);
// Wipes a string's whole buffer, then empties it.
void Wipe(std::string* text);

} // namespace crypto
