// The system's own cryptography, for audit and generate: SHA-1 for the look-up in the
// breached-password list, and random bytes from the system's cryptographic generator.
// libcrypto natively, BCrypt on Windows; nothing here computes a hash or a random number
// by itself.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace crypto {

using Sha1Digest = std::array<unsigned char, 20>;

// The SHA-1 digest of bytes. False when the system's hash could not be used.
bool Sha1(const std::string& bytes, Sha1Digest* digest);

// Fills buffer with size bytes from the system's cryptographic generator (getrandom on
// Linux, BCryptGenRandom on Windows). False when it gave fewer.
bool RandomBytes(unsigned char* buffer, size_t size);

} // namespace crypto
