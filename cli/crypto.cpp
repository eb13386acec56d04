#include "crypto.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <errno.h>
#include <openssl/evp.h>
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
    unsigned int length = 0;
    return EVP_Digest(bytes.data(), bytes.size(), digest->data(), &length, EVP_sha1(), NULL) == 1 &&
           length == digest->size();
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
