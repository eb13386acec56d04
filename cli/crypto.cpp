#include "crypto.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#include <gcrypt.h>
#else
// SHA-1 through the digest functions themselves (deprecated since OpenSSL 3.0, still in every
// 3.x): the EVP interface first starts OpenSSL's provider machinery, measured here at 1 to 2 ms
// a run, ten times the hashing of 1024 passwords, in a command that takes about 20 ms in all.
// The encrypted export's ciphers and hashes go through EVP, where that start-up is small
// beside the key derivation.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <argon2.h>
#include <errno.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <sys/random.h>
#endif

namespace crypto {

namespace {

// How many rounds of the AES key transformation one library call covers: 64 KiB of zeros.
const size_t kRoundsPerCall = 4096;

} // namespace

#ifdef _WIN32

namespace {

// One provider per algorithm and flag for the whole run: opening one is the costly part.
BCRYPT_ALG_HANDLE Provider(const wchar_t* name, ULONG flags)
{
    static struct {
        const wchar_t* name;
        ULONG flags;
        BCRYPT_ALG_HANDLE handle;
    } open[6] = {};
    for (auto& p : open) {
        if (p.handle != NULL && p.name == name && p.flags == flags)
            return p.handle;
        if (p.handle == NULL) {
            if (BCryptOpenAlgorithmProvider(&p.handle, name, NULL, flags) < 0) {
                p.handle = NULL;
                return NULL;
            }
            p.name = name;
            p.flags = flags;
            return p.handle;
        }
    }
    return NULL;
}

bool Hash(const wchar_t* algorithm, ULONG flags, const unsigned char* key, size_t keySize, const void* bytes,
          size_t size, unsigned char* out, size_t outSize)
{
    BCRYPT_ALG_HANDLE provider = Provider(algorithm, flags);
    BCRYPT_HASH_HANDLE hash = NULL;
    if (provider == NULL || BCryptCreateHash(provider, &hash, NULL, 0, (PUCHAR)key, (ULONG)keySize, 0) < 0)
        return false;
    bool done = BCryptHashData(hash, (PUCHAR)bytes, (ULONG)size, 0) >= 0 &&
                BCryptFinishHash(hash, out, (ULONG)outSize, 0) >= 0;
    BCryptDestroyHash(hash);
    return done;
}

// An AES-256-CBC key; NULL when BCrypt would not make one.
BCRYPT_KEY_HANDLE AesKey(const unsigned char* key)
{
    BCRYPT_ALG_HANDLE aes = Provider(BCRYPT_AES_ALGORITHM, 0);
    if (aes == NULL)
        return NULL;
    static bool chained = false;
    if (!chained) {
        if (BCryptSetProperty(aes, BCRYPT_CHAINING_MODE, (PUCHAR)BCRYPT_CHAIN_MODE_CBC,
                              sizeof(BCRYPT_CHAIN_MODE_CBC), 0) < 0)
            return NULL;
        chained = true;
    }
    BCRYPT_KEY_HANDLE handle = NULL;
    if (BCryptGenerateSymmetricKey(aes, &handle, NULL, 0, (PUCHAR)key, 32, 0) < 0)
        return NULL;
    return handle;
}

} // namespace

bool Sha1(const std::string& bytes, Sha1Digest* digest)
{
    return Hash(BCRYPT_SHA1_ALGORITHM, 0, NULL, 0, bytes.data(), bytes.size(), digest->data(), digest->size());
}

bool RandomBytes(unsigned char* buffer, size_t size)
{
    return BCryptGenRandom(NULL, buffer, (ULONG)size, BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

bool Sha256(const void* bytes, size_t size, unsigned char* out)
{
    return Hash(BCRYPT_SHA256_ALGORITHM, 0, NULL, 0, bytes, size, out, 32);
}

bool Sha512(const void* bytes, size_t size, unsigned char* out)
{
    return Hash(BCRYPT_SHA512_ALGORITHM, 0, NULL, 0, bytes, size, out, 64);
}

bool HmacSha256(const unsigned char* key, size_t keySize, const void* bytes, size_t size, unsigned char* out)
{
    return Hash(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG, key, keySize, bytes, size, out, 32);
}

bool Aes256CbcEncrypt(const unsigned char* key, const unsigned char* iv, const std::string& plain,
                      std::string* cipher)
{
    BCRYPT_KEY_HANDLE handle = AesKey(key);
    if (handle == NULL)
        return false;
    unsigned char chain[16];
    std::memcpy(chain, iv, 16); // BCrypt moves the chain along in this buffer
    size_t start = cipher->size();
    cipher->resize(start + plain.size() + 16);
    ULONG written = 0;
    bool done = BCryptEncrypt(handle, (PUCHAR)plain.data(), (ULONG)plain.size(), NULL, chain, 16,
                              (PUCHAR)&(*cipher)[start], (ULONG)(plain.size() + 16), &written,
                              BCRYPT_BLOCK_PADDING) >= 0;
    BCryptDestroyKey(handle);
    cipher->resize(done ? start + written : start);
    return done;
}

bool Aes256CbcDecrypt(const unsigned char* key, const unsigned char* iv, const std::string& cipher,
                      std::string* plain)
{
    BCRYPT_KEY_HANDLE handle = AesKey(key);
    if (handle == NULL)
        return false;
    unsigned char chain[16];
    std::memcpy(chain, iv, 16);
    plain->resize(cipher.size() + 16);
    ULONG written = 0;
    bool done = BCryptDecrypt(handle, (PUCHAR)cipher.data(), (ULONG)cipher.size(), NULL, chain, 16,
                              (PUCHAR)&(*plain)[0], (ULONG)plain->size(), &written, BCRYPT_BLOCK_PADDING) >= 0;
    BCryptDestroyKey(handle);
    plain->resize(done ? written : 0);
    return done;
}

bool Aes256Rounds(const unsigned char* key, unsigned char* block, uint64_t rounds)
{
    BCRYPT_KEY_HANDLE handle = AesKey(key);
    if (handle == NULL)
        return false;
    std::vector<unsigned char> zeros(kRoundsPerCall * 16), out(kRoundsPerCall * 16);
    bool done = true;
    while (done && rounds > 0) {
        ULONG blocks = rounds < kRoundsPerCall ? (ULONG)rounds : (ULONG)kRoundsPerCall;
        ULONG written = 0;
        // The chain value (block) becomes the last block encrypted: the block encrypted
        // blocks times over.
        done = BCryptEncrypt(handle, zeros.data(), blocks * 16, NULL, block, 16, out.data(), blocks * 16, &written,
                             0) >= 0 &&
               written == blocks * 16;
        if (done)
            std::memcpy(block, &out[(blocks - 1) * 16], 16);
        rounds -= blocks;
    }
    BCryptDestroyKey(handle);
    Wipe(out.data(), out.size());
    return done;
}

bool ChaCha20Stream(const unsigned char* key, const unsigned char* nonce, unsigned char* out, size_t size)
{
    // libgcrypt wants its version checked once, before any other call.
    static bool ready = false;
    if (!ready) {
        if (gcry_check_version(GCRYPT_VERSION) == NULL)
            return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0); // keys are wiped here, no locked pool needed
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        ready = true;
    }
    gcry_cipher_hd_t cipher;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_CHACHA20, GCRY_CIPHER_MODE_STREAM, 0) != 0)
        return false;
    std::memset(out, 0, size);
    // A 12-byte nonce selects RFC 8439's layout, the counter starting at 0.
    bool done = gcry_cipher_setkey(cipher, key, 32) == 0 && gcry_cipher_setiv(cipher, nonce, 12) == 0 &&
                gcry_cipher_encrypt(cipher, out, size, NULL, 0) == 0;
    gcry_cipher_close(cipher);
    return done;
}

bool HasArgon2()
{
    return false;
}

bool Argon2id(const unsigned char*, size_t, const unsigned char*, size_t, uint32_t, uint32_t, uint32_t,
              unsigned char*)
{
    return false;
}

void Wipe(void* bytes, size_t size)
{
    SecureZeroMemory(bytes, size);
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

bool Sha256(const void* bytes, size_t size, unsigned char* out)
{
    unsigned int length = 0;
    return EVP_Digest(bytes, size, out, &length, EVP_sha256(), NULL) == 1 && length == 32;
}

bool Sha512(const void* bytes, size_t size, unsigned char* out)
{
    unsigned int length = 0;
    return EVP_Digest(bytes, size, out, &length, EVP_sha512(), NULL) == 1 && length == 64;
}

bool HmacSha256(const unsigned char* key, size_t keySize, const void* bytes, size_t size, unsigned char* out)
{
    unsigned int length = 0;
    return HMAC(EVP_sha256(), key, (int)keySize, (const unsigned char*)bytes, size, out, &length) != NULL &&
           length == 32;
}

namespace {

// Encrypts size bytes (a whole number of blocks when padding is off) with AES-256-CBC; the
// ciphertext goes to out, which has room for size + 16 bytes. The written length, or -1.
long CbcEncrypt(const unsigned char* key, const unsigned char* iv, const unsigned char* in, size_t size,
                unsigned char* out, bool padding)
{
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == NULL)
        return -1;
    int written = 0, last = 0;
    bool done = EVP_EncryptInit_ex(context, EVP_aes_256_cbc(), NULL, key, iv) == 1 &&
                EVP_CIPHER_CTX_set_padding(context, padding ? 1 : 0) == 1 &&
                EVP_EncryptUpdate(context, out, &written, in, (int)size) == 1 &&
                EVP_EncryptFinal_ex(context, out + written, &last) == 1;
    EVP_CIPHER_CTX_free(context);
    return done ? (long)written + last : -1;
}

} // namespace

bool Aes256CbcEncrypt(const unsigned char* key, const unsigned char* iv, const std::string& plain,
                      std::string* cipher)
{
    size_t start = cipher->size();
    cipher->resize(start + plain.size() + 16);
    long written = CbcEncrypt(key, iv, (const unsigned char*)plain.data(), plain.size(),
                              (unsigned char*)&(*cipher)[start], true);
    cipher->resize(written < 0 ? start : start + (size_t)written);
    return written >= 0;
}

bool Aes256CbcDecrypt(const unsigned char* key, const unsigned char* iv, const std::string& cipher,
                      std::string* plain)
{
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == NULL)
        return false;
    plain->resize(cipher.size() + 16);
    int written = 0, last = 0;
    bool done = EVP_DecryptInit_ex(context, EVP_aes_256_cbc(), NULL, key, iv) == 1 &&
                EVP_DecryptUpdate(context, (unsigned char*)&(*plain)[0], &written, (const unsigned char*)cipher.data(),
                                  (int)cipher.size()) == 1 &&
                EVP_DecryptFinal_ex(context, (unsigned char*)&(*plain)[0] + written, &last) == 1;
    EVP_CIPHER_CTX_free(context);
    plain->resize(done ? (size_t)(written + last) : 0);
    return done;
}

bool Aes256Rounds(const unsigned char* key, unsigned char* block, uint64_t rounds)
{
    std::vector<unsigned char> zeros(kRoundsPerCall * 16), out(kRoundsPerCall * 16 + 16);
    bool done = true;
    while (done && rounds > 0) {
        size_t blocks = rounds < kRoundsPerCall ? (size_t)rounds : kRoundsPerCall;
        // With block as the chain's start, the last block of the chain is block encrypted
        // blocks times over.
        done = CbcEncrypt(key, block, zeros.data(), blocks * 16, out.data(), false) == (long)(blocks * 16);
        if (done)
            std::memcpy(block, &out[(blocks - 1) * 16], 16);
        rounds -= blocks;
    }
    Wipe(out.data(), out.size()); // the chain: every step of the key's transformation
    return done;
}

bool ChaCha20Stream(const unsigned char* key, const unsigned char* nonce, unsigned char* out, size_t size)
{
    // libcrypto's IV is the 32-bit counter (little-endian, here 0) and the 96-bit nonce.
    unsigned char iv[16] = {};
    std::memcpy(iv + 4, nonce, 12);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == NULL)
        return false;
    std::memset(out, 0, size);
    int written = 0;
    bool done = EVP_EncryptInit_ex(context, EVP_chacha20(), NULL, key, iv) == 1;
    // EVP lengths are ints: a stream of any length goes in pieces.
    for (size_t at = 0; done && at < size;) {
        int piece = size - at > (1u << 30) ? (1 << 30) : (int)(size - at);
        done = EVP_EncryptUpdate(context, out + at, &written, out + at, piece) == 1 && written == piece;
        at += (size_t)piece;
    }
    EVP_CIPHER_CTX_free(context);
    return done;
}

bool HasArgon2()
{
    return true;
}

bool Argon2id(const unsigned char* password, size_t passwordSize, const unsigned char* salt, size_t saltSize,
              uint32_t iterations, uint32_t memoryKiB, uint32_t lanes, unsigned char* out)
{
    return argon2id_hash_raw(iterations, memoryKiB, lanes, password, passwordSize, salt, saltSize, out, 32) ==
           ARGON2_OK;
}

void Wipe(void* bytes, size_t size)
{
    OPENSSL_cleanse(bytes, size);
}

#endif

void Wipe(std::string* text)
{
    text->resize(text->capacity());
    if (!text->empty())
        Wipe(&(*text)[0], text->size());
    text->clear();
}

} // namespace crypto
