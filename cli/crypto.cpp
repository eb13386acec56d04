#include "crypto.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
// The digest functions themselves (deprecated since OpenSSL 3.0, still in every 3.x): the
// EVP interface first starts OpenSSL's provider machinery, measured here at 1 to 2 ms a run,
// ten times the hashing of 1024 passwords, in a command that takes about 20 ms in all.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <errno.h>
#include <openssl/sha.h>
#include <sys/random.h>
#endif

namespace crypto {

#ifdef _WIN32

bool Sha1(const std::string& bytes, Sha1Digest* digest)
{
    // One provider for the whole run: opening it is the costly part.
    static BCRYPT_ALG_HANDLE algorithm = NULL;
    if (algorithm == NULL && BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, NULL, 0) < 0) {
        algorithm = NULL;
        return false;
    }
    BCRYPT_HASH_HANDLE hash = NULL;
    if (BCryptCreateHash(algorithm, &hash, NULL, 0, NULL, 0, 0) < 0)
        return false;
    bool done = BCryptHashData(hash, (PUCHAR)bytes.data(), (ULONG)bytes.size(), 0) >= 0 &&
                BCryptFinishHash(hash, digest->data(), (ULONG)digest->size(), 0) >= 0;
    BCryptDestroyHash(hash);
    return done;
}

bool RandomBytes(unsigned char* buffer, size_t size)
{
    return BCryptGenRandom(NULL, buffer, (ULONG)size, BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

#else

bool Sha1(const std::string& bytes, Sha1Digest* digest)
{
    static_assert(sizeof(Sha1Digest) == SHA_DIGEST_LENGTH, "a SHA-1 digest is 20 bytes");
    SHA_CTX context;
    return SHA1_Init(&context) == 1 && SHA1_Update(&context, bytes.data(), bytes.size()) == 1 &&
           SHA1_Final(digest->data(), &context) == 1;
}

bool RandomBytes(unsigned char* buffer, size_t size)
{
    // getrandom gives at most 32 MiB a call and may be interrupted by a signal.
    while (size > 0) {
        ssize_t n = getrandom(buffer, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        size -= (size_t)n;
    }
    return true;
}

#endif

} // namespace crypto
