#include "kdbx.h"

#include <cstring>
#include <ctime>
#include <initializer_list>
#include <vector>

#include "crypto.h"
#include "keepass_xml.h"

namespace kdbx {

namespace {

// The cost of the key derivations, measured on the build machine (2 cores; see
// docs/PERFORMANCE.md): about one second of processor time each. Argon2id with KeePassXC's
// own memory and lanes, 20 passes: 1.1 s of processor time, which two idle cores share;
// AES-KDF, one block chain on one core: 24 million rounds.
const uint64_t kArgon2Memory = 64u << 20;
const uint32_t kArgon2Lanes = 2;
const uint64_t kArgon2Iterations = 20;
const uint64_t kAesRounds = 24000000;

// Identifiers of the format (UUIDs, in their byte order).
const unsigned char kAes256Cbc[16] = {0x31, 0xC1, 0xF2, 0xE6, 0xBF, 0x71, 0x43, 0x50,
                                      0xBE, 0x58, 0x05, 0x21, 0x6A, 0xFC, 0x5A, 0xFF};
// AES-KDF under the identifier KeePass 2 knows as well as KeePassXC.
const unsigned char kAesKdf[16] = {0xC9, 0xD9, 0xF3, 0x9A, 0x62, 0x8A, 0x44, 0x60,
                                   0xBF, 0x74, 0x0D, 0x08, 0xC1, 0x8A, 0x4F, 0xEA};
const unsigned char kArgon2idKdf[16] = {0x9E, 0x29, 0x8B, 0x19, 0x56, 0xDB, 0x47, 0x73,
                                        0xB2, 0x3D, 0xFC, 0x3E, 0xC6, 0xF0, 0xA1, 0xE6};
const uint32_t kSignature1 = 0x9AA2D903, kSignature2 = 0xB54BFB67;
const uint32_t kVersion = 0x00040000; // 4.0
const uint32_t kChaCha20 = 3;        // the inner stream's identifier
const size_t kBlockSize = 1u << 20;   // HMAC blocks of 1 MiB, closed by an empty one
// Seconds from 0001-01-01 to 1970-01-01: the format counts its times from the former.
const int64_t kEpochOffset = 62135596800LL;

// Outer header fields.
enum { kEndOfHeader = 0, kCipherId = 2, kCompression = 3, kMasterSeed = 4, kEncryptionIv = 7, kKdfParameters = 11 };
// Inner header fields.
enum { kInnerEnd = 0, kInnerStreamId = 1, kInnerStreamKey = 2 };
// Value types of the variant dictionary that holds the KDF parameters.
enum { kUInt32 = 0x04, kUInt64 = 0x05, kByteArray = 0x42 };

void PutLE(std::string* out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back((char)(value >> (8 * i)));
}

std::string Bytes(const unsigned char* bytes, size_t size)
{
    return std::string((const char*)bytes, size);
}

// One field of a header: its id, its size (32-bit) and its data.
void PutField(std::string* header, int id, const std::string& data)
{
    header->push_back((char)id);
    PutLE(header, data.size(), 4);
    *header += data;
}

void PutVariant(std::string* dictionary, int type, const char* name, const std::string& value)
{
    dictionary->push_back((char)type);
    PutLE(dictionary, std::strlen(name), 4);
    *dictionary += name;
    PutLE(dictionary, value.size(), 4);
    *dictionary += value;
}

std::string LE(uint64_t value, int bytes)
{
    std::string out;
    PutLE(&out, value, bytes);
    return out;
}

// The KDF parameters: a variant dictionary (version 1.0) closed by a zero byte.
std::string KdfParameters(const KdfSettings& kdf, const unsigned char* seed32)
{
    std::string d = LE(0x0100, 2);
    if (kdf.kdf == Kdf::kAes) {
        PutVariant(&d, kByteArray, "$UUID", Bytes(kAesKdf, 16));
        PutVariant(&d, kUInt64, "R", LE(kdf.rounds, 8));
        PutVariant(&d, kByteArray, "S", Bytes(seed32, 32));
    } else {
        PutVariant(&d, kByteArray, "$UUID", Bytes(kArgon2idKdf, 16));
        PutVariant(&d, kByteArray, "S", Bytes(seed32, 32));
        PutVariant(&d, kUInt32, "P", LE(kdf.lanes, 4));
        PutVariant(&d, kUInt64, "M", LE(kdf.memory, 8));
        PutVariant(&d, kUInt64, "I", LE(kdf.iterations, 8));
        PutVariant(&d, kUInt32, "V", LE(0x13, 4));
    }
    d.push_back(0);
    return d;
}

// A time as the format writes it: base64 of the seconds since 0001-01-01, 64-bit.
std::string Time(int64_t unixSeconds)
{
    return Base64(LE((uint64_t)(unixSeconds + kEpochOffset), 8));
}

void PutTimes(std::string* xml, const std::string& now, const char* indent)
{
    static const char* const names[] = {"CreationTime", "LastModificationTime", "LastAccessTime", "ExpiryTime",
                                        "LocationChanged"};
    *xml += indent;
    *xml += "<Times>\n";
    for (const char* name : names) {
        *xml += indent;
        *xml += "\t<" + std::string(name) + ">" + now + "</" + name + ">\n";
    }
    *xml += indent;
    *xml += "\t<Expires>False</Expires>\n";
    *xml += indent;
    *xml += "\t<UsageCount>0</UsageCount>\n";
    *xml += indent;
    *xml += "</Times>\n";
}

void PutString(std::string* xml, const char* key, const std::string& value)
{
    *xml += "\t\t\t\t<String>\n\t\t\t\t\t<Key>";
    *xml += key;
    *xml += "</Key>\n\t\t\t\t\t<Value>";
    keepass::AppendEscaped(xml, value);
    *xml += "</Value>\n\t\t\t\t</String>\n";
}

// The password, XORed with the next bytes of the inner stream (from *at), in base64.
void PutProtected(std::string* xml, const char* key, const std::string& value, const std::string& stream, size_t* at)
{
    std::string hidden = value;
    for (size_t i = 0; i < hidden.size(); ++i)
        hidden[i] = (char)(hidden[i] ^ stream[*at + i]);
    *at += hidden.size();
    *xml += "\t\t\t\t<String>\n\t\t\t\t\t<Key>";
    *xml += key;
    *xml += "</Key>\n\t\t\t\t\t<Value Protected=\"True\">";
    *xml += Base64(hidden);
    *xml += "</Value>\n\t\t\t\t</String>\n";
    crypto::Wipe(&hidden);
}

// The XML document: one group holding one entry per record, in their order. uuids holds
// 16 random bytes for the group, then for each entry.
std::string Document(const std::vector<Entry>& entries, const std::string& group, const std::string& uuids,
                     const std::string& stream)
{
    std::string now = Time((int64_t)std::time(nullptr));
    // Room for the whole document at once, escaping at its longest (6 bytes for a quote) and
    // the passwords in base64, so that growing never leaves a copy of its text in freed memory.
    size_t room = 4096 + 12 * group.size();
    for (const Entry& e : entries)
        room += 1200 + 6 * (e.title.size() + e.url.size() + e.userName.size() + e.notes.size()) +
                2 * e.password.size();
    std::string xml;
    xml.reserve(room);
    xml += "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n"
                      "<KeePassFile>\n\t<Meta>\n\t\t<Generator>kestal-tool</Generator>\n\t\t<DatabaseName>";
    xml += keepass::Escaped(group);
    xml += "</DatabaseName>\n\t\t<MemoryProtection>\n"
           "\t\t\t<ProtectTitle>False</ProtectTitle>\n\t\t\t<ProtectUserName>False</ProtectUserName>\n"
           "\t\t\t<ProtectPassword>True</ProtectPassword>\n\t\t\t<ProtectURL>False</ProtectURL>\n"
           "\t\t\t<ProtectNotes>False</ProtectNotes>\n\t\t</MemoryProtection>\n\t</Meta>\n"
           "\t<Root>\n\t\t<Group>\n\t\t\t<UUID>";
    xml += Base64(uuids.substr(0, 16));
    xml += "</UUID>\n\t\t\t<Name>";
    xml += keepass::Escaped(group);
    xml += "</Name>\n";
    PutTimes(&xml, now, "\t\t\t");
    xml += "\t\t\t<IsExpanded>True</IsExpanded>\n";
    size_t at = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        xml += "\t\t\t<Entry>\n\t\t\t\t<UUID>";
        xml += Base64(uuids.substr(16 * (i + 1), 16));
        xml += "</UUID>\n";
        PutTimes(&xml, now, "\t\t\t\t");
        PutString(&xml, "Title", e.title);
        PutString(&xml, "UserName", e.userName);
        PutProtected(&xml, "Password", e.password, stream, &at);
        PutString(&xml, "URL", e.url);
        PutString(&xml, "Notes", e.notes);
        xml += "\t\t\t</Entry>\n";
    }
    xml += "\t\t</Group>\n\t</Root>\n</KeePassFile>\n";
    return xml;
}

// Wipes the strings it names when it goes, whichever way the function that made it returns.
class WipedOnReturn {
public:
    WipedOnReturn(std::initializer_list<std::string*> texts) : texts_(texts) {}
    ~WipedOnReturn()
    {
        for (std::string* text : texts_)
            crypto::Wipe(text);
    }
    WipedOnReturn(const WipedOnReturn&) = delete;
    WipedOnReturn& operator=(const WipedOnReturn&) = delete;

private:
    std::vector<std::string*> texts_;
};

// The keys of a file, wiped when it goes.
struct Keys {
    unsigned char transformed[32];
    unsigned char master[32];  // of the cipher
    unsigned char hmacBase[64]; // of the blocks' and the header's HMAC keys
    ~Keys() { crypto::Wipe(this, sizeof(*this)); }
};

bool MakeKeys(const std::string& password, const KdfSettings& kdf, const unsigned char* seed32,
              const unsigned char* masterSeed32, Keys* keys)
{
    unsigned char composite[32];
    bool done = CompositeKey(password, composite) && TransformKey(composite, kdf, seed32, keys->transformed);
    crypto::Wipe(composite, sizeof(composite));
    unsigned char joined[65];
    std::memcpy(joined, masterSeed32, 32);
    std::memcpy(joined + 32, keys->transformed, 32);
    joined[64] = 1;
    done = done && crypto::Sha256(joined, 64, keys->master) && crypto::Sha512(joined, 65, keys->hmacBase);
    crypto::Wipe(joined, sizeof(joined));
    return done;
}

// The HMAC-SHA-256 of one block: its index, its size and its data.
bool BlockHmac(const unsigned char* hmacBase, uint64_t index, const char* data, size_t size, unsigned char* out32)
{
    unsigned char key[64];
    std::string message = LE(index, 8) + LE(size, 4);
    message.append(data, size);
    bool done = BlockKey(hmacBase, index, key) && crypto::HmacSha256(key, 64, message.data(), message.size(), out32);
    crypto::Wipe(key, sizeof(key));
    return done;
}

} // namespace

KdfSettings DefaultKdf()
{
    KdfSettings s;
    if (crypto::HasArgon2()) {
        s.kdf = Kdf::kArgon2id;
        s.iterations = kArgon2Iterations;
        s.memory = kArgon2Memory;
        s.lanes = kArgon2Lanes;
    } else {
        s.kdf = Kdf::kAes;
        s.rounds = kAesRounds;
    }
    return s;
}

KdfSettings TestKdf(Kdf kdf)
{
    KdfSettings s;
    s.kdf = kdf;
    s.rounds = 5000; // more than one library call of Aes256Rounds covers
    s.iterations = 1;
    s.memory = 1u << 20;
    s.lanes = 2;
    return s;
}

std::string Describe(const KdfSettings& kdf)
{
    if (kdf.kdf == Kdf::kAes)
        return "AES-KDF (" + std::to_string(kdf.rounds) + " rounds)";
    return "Argon2id (" + std::to_string(kdf.memory >> 20) + " MiB, " + std::to_string(kdf.lanes) + " lanes, " +
           std::to_string(kdf.iterations) + " iterations)";
}

bool CompositeKey(const std::string& password, unsigned char* out32)
{
    unsigned char inner[32];
    bool done = crypto::Sha256(password.data(), password.size(), inner) && crypto::Sha256(inner, 32, out32);
    crypto::Wipe(inner, sizeof(inner));
    return done;
}

bool TransformKey(const unsigned char* composite32, const KdfSettings& kdf, const unsigned char* seed32,
                  unsigned char* out32)
{
    if (kdf.kdf == Kdf::kArgon2id) {
        return kdf.iterations <= UINT32_MAX && (kdf.memory >> 10) <= UINT32_MAX &&
               crypto::Argon2id(composite32, 32, seed32, 32, (uint32_t)kdf.iterations, (uint32_t)(kdf.memory >> 10),
                                kdf.lanes, out32);
    }
    unsigned char blocks[32];
    std::memcpy(blocks, composite32, 32);
    bool done = crypto::Aes256Rounds(seed32, blocks, kdf.rounds) && crypto::Aes256Rounds(seed32, blocks + 16, kdf.rounds) &&
                crypto::Sha256(blocks, 32, out32);
    crypto::Wipe(blocks, sizeof(blocks));
    return done;
}

bool BlockKey(const unsigned char* base64Bytes, uint64_t index, unsigned char* out64)
{
    unsigned char joined[72];
    for (int i = 0; i < 8; ++i)
        joined[i] = (unsigned char)(index >> (8 * i));
    std::memcpy(joined + 8, base64Bytes, 64);
    bool done = crypto::Sha512(joined, sizeof(joined), out64);
    crypto::Wipe(joined, sizeof(joined));
    return done;
}

bool InnerStream(const std::string& innerKey, size_t size, std::string* stream)
{
    unsigned char hash[64];
    stream->assign(size, '\0');
    bool done = crypto::Sha512(innerKey.data(), innerKey.size(), hash) &&
                crypto::ChaCha20Stream(hash, hash + 32, (unsigned char*)&(*stream)[0], size);
    crypto::Wipe(hash, sizeof(hash));
    return done;
}

std::string Base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = (uint32_t)(unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size())
            n |= (uint32_t)(unsigned char)bytes[i + 1] << 8;
        if (i + 2 < bytes.size())
            n |= (unsigned char)bytes[i + 2];
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

bool Write(const std::vector<Entry>& entries, const std::string& group, const std::string& password,
           const KdfSettings& kdf, std::string* file, std::string* why)
{
    *why = "the system's cryptography failed";
    // Every random value at once: the master seed, the IV, the KDF's seed, the inner
    // stream's key, and the UUIDs of the group and the entries.
    const size_t kSeeds = 32 + 16 + 32 + 64;
    std::string random(kSeeds + 16 * (entries.size() + 1), '\0');
    std::string innerKey, stream, xml, payload;
    WipedOnReturn wiped{&random, &innerKey, &stream, &xml, &payload};
    if (!crypto::RandomBytes((unsigned char*)&random[0], random.size()))
        return false;
    const unsigned char* masterSeed = (const unsigned char*)random.data();
    const unsigned char* iv = masterSeed + 32;
    const unsigned char* kdfSeed = iv + 16;
    innerKey.assign(random, 80, 64);

    std::string header = LE(kSignature1, 4) + LE(kSignature2, 4) + LE(kVersion, 4);
    PutField(&header, kCipherId, Bytes(kAes256Cbc, 16));
    PutField(&header, kCompression, LE(0, 4));
    PutField(&header, kMasterSeed, Bytes(masterSeed, 32));
    PutField(&header, kEncryptionIv, Bytes(iv, 16));
    PutField(&header, kKdfParameters, KdfParameters(kdf, kdfSeed));
    PutField(&header, kEndOfHeader, "\r\n\r\n");

    Keys keys;
    if (!MakeKeys(password, kdf, kdfSeed, masterSeed, &keys))
        return false;

    // The payload: the inner header, then the XML with the passwords hidden by the inner stream.
    size_t hiddenBytes = 0;
    for (const Entry& e : entries)
        hiddenBytes += e.password.size();
    if (!InnerStream(innerKey, hiddenBytes, &stream))
        return false;
    xml = Document(entries, group, random.substr(kSeeds), stream);
    payload.reserve(xml.size() + 100);
    PutField(&payload, kInnerStreamId, LE(kChaCha20, 4));
    PutField(&payload, kInnerStreamKey, innerKey);
    PutField(&payload, kInnerEnd, "");
    payload += xml;
    crypto::Wipe(&xml);
    std::string cipher;
    if (!crypto::Aes256CbcEncrypt(keys.master, iv, payload, &cipher))
        return false;
    crypto::Wipe(&payload);

    // The header, its SHA-256, its HMAC, then the blocks of the ciphertext.
    unsigned char hash[32], headerKey[64], hmac[32];
    bool done = crypto::Sha256(header.data(), header.size(), hash) && BlockKey(keys.hmacBase, UINT64_MAX, headerKey) &&
                crypto::HmacSha256(headerKey, 64, header.data(), header.size(), hmac);
    crypto::Wipe(headerKey, sizeof(headerKey));
    if (!done)
        return false;
    std::string out = header + Bytes(hash, 32) + Bytes(hmac, 32);
    for (uint64_t index = 0, at = 0;; ++index) {
        size_t size = cipher.size() - at < kBlockSize ? cipher.size() - at : kBlockSize;
        if (!BlockHmac(keys.hmacBase, index, cipher.data() + at, size, hmac))
            return false;
        out += Bytes(hmac, 32) + LE(size, 4);
        out.append(cipher, at, size);
        at += size;
        if (size == 0)
            break;
    }
    *file += out;
    why->clear();
    return true;
}

} // namespace kdbx
