// The encrypted export: its primitives against published vectors, a database KeePassXC
// wrote opened with this tool's key schedule, and the tool's own databases taken apart
// field by field.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "crypto.h"
#include "kdbx.h"

namespace {

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back((char)std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

uint64_t LE(const std::string& s, size_t at, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | (unsigned char)s[at + i];
    return value;
}

std::string LEBytes(uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back((char)(value >> (8 * i)));
    return out;
}

std::string Base64Decoded(const std::string& text)
{
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(digits, c);
        if (c == '=' || at == nullptr)
            continue;
        bits = bits << 6 | (uint32_t)(at - digits);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back((char)(bits >> count));
        }
    }
    return out;
}

std::string Sha256(const std::string& bytes)
{
    unsigned char out[32];
    EXPECT_TRUE(crypto::Sha256(bytes.data(), bytes.size(), out));
    return std::string((const char*)out, 32);
}

std::string Hmac(const std::string& key, const std::string& bytes)
{
    unsigned char out[32];
    EXPECT_TRUE(crypto::HmacSha256((const unsigned char*)key.data(), key.size(), bytes.data(), bytes.size(), out));
    return std::string((const char*)out, 32);
}

const char kAesCipher[] = "31c1f2e6bf714350be5805216afc5aff";
const char kAesKdf[] = "c9d9f39a628a4460bf740d08c18a4fea";
const char kArgon2id[] = "9e298b1956db4773b23dfc3ec6f0a1e6";

// A KDBX 4 database taken apart and opened with a password, checking every hash and HMAC
// on the way: what a reader such as KeePassXC does.
struct Opened {
    std::string error;                   // empty when it opened
    uint64_t version = 0;                // major << 16 | minor
    std::map<int, std::string> fields;   // of the outer header
    std::map<std::string, std::string> kdf; // its parameters' values
    std::map<std::string, int> kdfTypes;    // and their types
    size_t blocks = 0;                   // HMAC blocks, the closing empty one included
    uint64_t innerStream = 0;            // the inner stream's id
    std::string innerKey;
    std::string xml;
    std::vector<std::string> passwords;  // the protected values, revealed, in document order
};

Opened Open(const std::string& file, const std::string& password)
{
    Opened o;
    size_t at = 12;
    if (file.size() < at || LE(file, 0, 4) != 0x9AA2D903 || LE(file, 4, 4) != 0xB54BFB67) {
        o.error = "not a KDBX file";
        return o;
    }
    o.version = (LE(file, 10, 2) << 16) | LE(file, 8, 2);
    for (;;) {
        if (at + 5 > file.size()) {
            o.error = "header cut short";
            return o;
        }
        int id = (unsigned char)file[at];
        size_t size = (size_t)LE(file, at + 1, 4);
        o.fields[id] = file.substr(at + 5, size);
        at += 5 + size;
        if (id == 0)
            break;
    }
    std::string header = file.substr(0, at);
    if (file.substr(at, 32) != Sha256(header)) {
        o.error = "header hash";
        return o;
    }
    std::string d = o.fields[11];
    for (size_t p = 2; p < d.size() && d[p] != 0;) {
        int type = (unsigned char)d[p];
        size_t nameSize = (size_t)LE(d, p + 1, 4);
        std::string name = d.substr(p + 5, nameSize);
        size_t valueSize = (size_t)LE(d, p + 5 + nameSize, 4);
        o.kdf[name] = d.substr(p + 9 + nameSize, valueSize);
        o.kdfTypes[name] = type;
        p += 9 + nameSize + valueSize;
    }
    kdbx::KdfSettings kdf;
    std::string uuid = Hex(o.kdf["$UUID"]);
    kdf.kdf = uuid == kArgon2id ? kdbx::Kdf::kArgon2id : kdbx::Kdf::kAes;
    if (kdf.kdf == kdbx::Kdf::kAes)
        kdf.rounds = LE(o.kdf["R"], 0, 8);
    else {
        kdf.iterations = LE(o.kdf["I"], 0, 8);
        kdf.memory = LE(o.kdf["M"], 0, 8);
        kdf.lanes = (uint32_t)LE(o.kdf["P"], 0, 4);
    }
    unsigned char composite[32], transformed[32], base[64], key[64];
    if (!kdbx::CompositeKey(password, composite) ||
        !kdbx::TransformKey(composite, kdf, (const unsigned char*)o.kdf["S"].data(), transformed)) {
        o.error = "key derivation";
        return o;
    }
    std::string seed = o.fields[4] + std::string((const char*)transformed, 32);
    std::string master = Sha256(seed);
    seed += '\x01';
    EXPECT_TRUE(crypto::Sha512(seed.data(), seed.size(), base));
    EXPECT_TRUE(kdbx::BlockKey(base, UINT64_MAX, key));
    if (file.substr(at + 32, 32) != Hmac(std::string((const char*)key, 64), header)) {
        o.error = "header HMAC: wrong password";
        return o;
    }
    at += 64;
    std::string cipher;
    for (uint64_t index = 0;; ++index) {
        if (at + 36 > file.size()) {
            o.error = "block cut short";
            return o;
        }
        size_t size = (size_t)LE(file, at + 32, 4);
        std::string data = file.substr(at + 36, size);
        EXPECT_TRUE(kdbx::BlockKey(base, index, key));
        if (file.substr(at, 32) != Hmac(std::string((const char*)key, 64), LEBytes(index, 8) + LEBytes(size, 4) + data)) {
            o.error = "HMAC of block " + std::to_string(index);
            return o;
        }
        at += 36 + size;
        ++o.blocks;
        cipher += data;
        if (size == 0)
            break;
    }
    if (at != file.size()) {
        o.error = "bytes after the last block";
        return o;
    }
    std::string plain;
    if (!crypto::Aes256CbcDecrypt((const unsigned char*)master.data(), (const unsigned char*)o.fields[7].data(), cipher,
                                  &plain)) {
        o.error = "payload does not decrypt";
        return o;
    }
    size_t p = 0;
    for (;;) {
        int id = (unsigned char)plain[p];
        size_t size = (size_t)LE(plain, p + 1, 4);
        if (id == 1)
            o.innerStream = LE(plain, p + 5, 4);
        if (id == 2)
            o.innerKey = plain.substr(p + 5, size);
        p += 5 + size;
        if (id == 0)
            break;
    }
    o.xml = plain.substr(p);
    std::vector<std::string> hidden;
    size_t total = 0;
    const std::string open = "<Value Protected=\"True\">";
    for (size_t v = o.xml.find(open); v != std::string::npos; v = o.xml.find(open, v + 1)) {
        size_t start = v + open.size();
        hidden.push_back(Base64Decoded(o.xml.substr(start, o.xml.find('<', start) - start)));
        total += hidden.back().size();
    }
    std::string stream;
    EXPECT_TRUE(kdbx::InnerStream(o.innerKey, total, &stream));
    size_t used = 0;
    for (std::string& h : hidden) {
        for (char& c : h)
            c = (char)(c ^ stream[used++]);
        o.passwords.push_back(h);
    }
    return o;
}

std::string FileText(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string Written(const std::vector<Entry>& entries, const kdbx::KdfSettings& kdf, const std::string& password)
{
    std::string file, why;
    EXPECT_TRUE(kdbx::Write(entries, "Password Kestal", password, kdf, &file, &why)) << why;
    return file;
}

Entry Made(const std::string& title, const std::string& url, const std::string& user, const std::string& password,
           const std::string& notes)
{
    Entry e;
    e.title = title;
    e.url = url;
    e.userName = user;
    e.password = password;
    e.notes = notes;
    return e;
}

} // namespace

// The inner stream's ChaCha20 (RFC 8439 section 2.4.2 and appendix A.1: counter from 0,
// 96-bit nonce) and AES-256 (FIPS-197 C.3), from whichever library this build uses.
TEST(KdbxPrimitives, MatchThePublishedVectors)
{
    struct {
        const char* key;
        const char* nonce;
        size_t skip;            // bytes of the stream before the vector's block
        std::string plain;      // XORed with the stream
        const char* expected;   // hex
    } vectors[] = {
        {"0000000000000000000000000000000000000000000000000000000000000000", "000000000000000000000000", 0,
         std::string(64, '\0'),
         "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
         "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"},
        {"0000000000000000000000000000000000000000000000000000000000000000", "000000000000000000000000", 64,
         std::string(64, '\0'),
         "9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
         "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "000000000000004a00000000", 64,
         "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, sunscreen would be it.",
         "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0b"
         "f91b65c5524733ab8f593dabcd62b3571639d624e65152ab8f530c359f0861d8"},
    };
    for (const auto& v : vectors) {
        std::string key = FromHex(v.key), nonce = FromHex(v.nonce);
        std::string stream(v.skip + v.plain.size(), '\0');
        ASSERT_TRUE(crypto::ChaCha20Stream((const unsigned char*)key.data(), (const unsigned char*)nonce.data(),
                                           (unsigned char*)&stream[0], stream.size()));
        std::string out = v.plain;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = (char)(out[i] ^ stream[v.skip + i]);
        std::string expected = v.expected;
        EXPECT_EQ(expected, Hex(out).substr(0, expected.size())) << v.key << " from byte " << v.skip;
    }

    // AES-KDF is AES-256 repeated: one round is FIPS-197's vector. (More rounds than one
    // library call covers are proven by keepassxc-cli opening the tests' databases, whose
    // cost is 5000 rounds.)
    std::string key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    unsigned char block[16];
    std::memcpy(block, FromHex("00112233445566778899aabbccddeeff").data(), 16);
    ASSERT_TRUE(crypto::Aes256Rounds((const unsigned char*)key.data(), block, 1));
    EXPECT_EQ("8ea2b7ca516745bfeafc49904b496089", Hex(std::string((const char*)block, 16)));
    EXPECT_EQ("", kdbx::Base64(""));
    EXPECT_EQ("Zg==", kdbx::Base64("f"));
    EXPECT_EQ("Zm8=", kdbx::Base64("fo"));
    EXPECT_EQ("Zm9vYmFy", kdbx::Base64("foobar"));
}

// A database KeePassXC 2.7.4 wrote itself (an export of this tool's, to which keepassxc-cli
// added an entry: it rewrites the whole file with fresh seeds, IV and inner key), opened
// with this tool's key schedule: the composite key, AES-KDF, the master and HMAC keys, the
// header's and every block's HMAC key and the inner stream all agree with KeePassXC's.
TEST(KdbxPrimitives, OpenADatabaseKeePassXcWrote)
{
    std::string file = FileText(std::string(KESTAL_FIXTURES) + "../kdbx/keepassxc-aes.kdbx");
    ASSERT_FALSE(file.empty());
    Opened o = Open(file, "fixture");
    ASSERT_EQ("", o.error);
    EXPECT_EQ(0x40000u, o.version);
    EXPECT_EQ(3u, o.innerStream);
    EXPECT_EQ((std::vector<std::string>{"first secret", "second caf\xC3\xA9 \xE2\x82\xAC", "third from keepassxc"}),
              o.passwords);
    EXPECT_NE(std::string::npos, o.xml.find("<Value>Added by KeePassXC</Value>"));
    EXPECT_EQ("header HMAC: wrong password", Open(file, "Fixture").error);
}

class KdbxTest : public CliTest {};

// What the tool writes, taken apart: KDBX 4.0, AES-256-CBC without compression, the KDF
// and its parameters, a ChaCha20 inner stream, every field back as written, and none of
// them in the file in clear.
TEST_F(KdbxTest, TheDatabaseReadsBackFieldByField)
{
    std::vector<Entry> entries = {
        Made("Caf\xC3\xA9 & <Bar> \"q\" 'a'", "https://a.example/?x=1&y=2", "ann\xC3\xA9", "p\xC3\xA9<&>\"w0rd", "n\xC3\xB6te"),
        Made("second.example", "https://second.example/login", "bob", "", ""),
        Made("Third", "https://third.example", "carol", "\xE2\x82\xAC uro-sign secret", "line one\nline two"),
    };
    std::vector<kdbx::KdfSettings> kdfs = {kdbx::TestKdf(kdbx::Kdf::kAes)};
    if (crypto::HasArgon2())
        kdfs.push_back(kdbx::TestKdf(kdbx::Kdf::kArgon2id));
    for (const kdbx::KdfSettings& kdf : kdfs) {
        SCOPED_TRACE(kdbx::Describe(kdf));
        std::string file = Written(entries, kdf, "correct horse \xC3\xA9");
        Opened o = Open(file, "correct horse \xC3\xA9");
        ASSERT_EQ("", o.error);
        EXPECT_EQ(0x40000u, o.version);
        EXPECT_EQ(kAesCipher, Hex(o.fields[2]));
        EXPECT_EQ(std::string(4, '\0'), o.fields[3]); // no compression
        EXPECT_EQ(32u, o.fields[4].size());          // master seed
        EXPECT_EQ(16u, o.fields[7].size());          // IV
        EXPECT_EQ("\r\n\r\n", o.fields[0]);
        EXPECT_EQ(32u, o.kdf["S"].size());
        if (kdf.kdf == kdbx::Kdf::kAes) {
            EXPECT_EQ(kAesKdf, Hex(o.kdf["$UUID"]));
            EXPECT_EQ(5000u, LE(o.kdf["R"], 0, 8));
            EXPECT_EQ(0x05, o.kdfTypes["R"]);
        } else {
            EXPECT_EQ(kArgon2id, Hex(o.kdf["$UUID"]));
            EXPECT_EQ(1u << 20, LE(o.kdf["M"], 0, 8));
            EXPECT_EQ(1u, LE(o.kdf["I"], 0, 8));
            EXPECT_EQ(2u, LE(o.kdf["P"], 0, 4));
            EXPECT_EQ(0x13u, LE(o.kdf["V"], 0, 4));
            EXPECT_EQ(0x05, o.kdfTypes["M"]);
            EXPECT_EQ(0x04, o.kdfTypes["P"]);
        }
        EXPECT_EQ(3u, o.innerStream);
        EXPECT_EQ(64u, o.innerKey.size());
        EXPECT_EQ(2u, o.blocks); // the data, then the empty closing block
        EXPECT_EQ((std::vector<std::string>{entries[0].password, "", entries[2].password}), o.passwords);
        EXPECT_NE(std::string::npos, o.xml.find("<Value>Caf\xC3\xA9 &amp; &lt;Bar&gt; &quot;q&quot; &apos;a&apos;</Value>"));
        EXPECT_NE(std::string::npos, o.xml.find("<Value>https://a.example/?x=1&amp;y=2</Value>"));
        EXPECT_NE(std::string::npos, o.xml.find("<Value>line one\nline two</Value>"));
        for (const Entry& e : entries) {
            for (const std::string& field : {e.title, e.url, e.userName, e.password, e.notes}) {
                if (field.size() >= 3)
                    EXPECT_EQ(std::string::npos, file.find(field)) << field;
            }
        }
        EXPECT_EQ("header HMAC: wrong password", Open(file, "correct horse e").error);
    }
}

// Every database has seeds, IV, inner key and UUIDs of its own: two exports of the same
// records with the same password share none of them, and no two entries share a UUID.
TEST_F(KdbxTest, NoTwoDatabasesShareARandomValue)
{
    std::vector<Entry> entries(50, Made("Same", "https://same.example", "u", "same password", ""));
    Opened a = Open(Written(entries, kdbx::TestKdf(kdbx::Kdf::kAes), "pw"), "pw");
    Opened b = Open(Written(entries, kdbx::TestKdf(kdbx::Kdf::kAes), "pw"), "pw");
    ASSERT_EQ("", a.error);
    ASSERT_EQ("", b.error);
    EXPECT_NE(a.fields[4], b.fields[4]);
    EXPECT_NE(a.fields[7], b.fields[7]);
    EXPECT_NE(a.kdf["S"], b.kdf["S"]);
    EXPECT_NE(a.innerKey, b.innerKey);
    std::map<std::string, int> uuids;
    for (const Opened* o : {&a, &b}) {
        for (size_t at = o->xml.find("<UUID>"); at != std::string::npos; at = o->xml.find("<UUID>", at + 1))
            ++uuids[o->xml.substr(at + 6, 24)];
    }
    EXPECT_EQ(102u, uuids.size()); // a group and 50 entries in each
    EXPECT_EQ(std::vector<std::string>(50, "same password"), a.passwords);
}

// A payload over 1 MiB goes in several HMAC blocks, each checked, then the empty one; the
// inner stream runs on across all 1024 passwords.
TEST_F(KdbxTest, ALargeDatabaseSpansBlocks)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 1024; ++i)
        entries.push_back(Made("Site " + std::to_string(i), "https://s" + std::to_string(i) + ".example", "u",
                               "password number " + std::to_string(i), std::string(1200, 'n')));
    Opened o = Open(Written(entries, kdbx::TestKdf(kdbx::Kdf::kAes), "pw"), "pw");
    ASSERT_EQ("", o.error);
    EXPECT_EQ(3u, o.blocks);
    ASSERT_EQ(1024u, o.passwords.size());
    for (int i = 0; i < 1024; ++i)
        EXPECT_EQ("password number " + std::to_string(i), o.passwords[i]);
}
