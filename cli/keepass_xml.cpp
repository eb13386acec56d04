#include "keepass_xml.h"

#include <cctype>
#include <cstring>
#include <map>

#include "charset.h"
#include "header.h"
#include "readers.h"

namespace keepass {

// Appends text to out escaped for an element's content, dropping what KeePassXC would
// refuse. Runs of characters that need nothing are copied in one piece.
void AppendEscaped(std::string* out, const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        size_t plain = at;
        while (plain < text.size()) {
            unsigned char b = (unsigned char)text[plain];
            if (b >= 0x80 || (b < 0x20 && b != '\t' && b != '\n') || b == '&' || b == '<' || b == '>' || b == '"' ||
                b == '\'')
                break;
            ++plain;
        }
        out->append(text, at, plain - at);
        at = plain;
        if (at >= text.size())
            break;
        size_t start = at;
        char32_t c;
        if (!charset::NextUtf8(text, &at, &c)) {
            ++at; // not UTF-8: the text was made by this tool, so this cannot happen
            continue;
        }
        switch (c) {
        case '&': *out += "&amp;"; break;
        case '<': *out += "&lt;"; break;
        case '>': *out += "&gt;"; break;
        case '"': *out += "&quot;"; break;
        case '\'': *out += "&apos;"; break;
        case '\r':
            if (at >= text.size() || text[at] != '\n')
                *out += '\n';
            break;
        default:
            if ((c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF)
                break;
            out->append(text, start, at - start);
        }
    }
}

std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(6 * text.size()); // at its longest: growing would leave copies in freed memory
    AppendEscaped(&out, text);
    return out;
}

static void AddString(std::string* xml, const char* key, const std::string& value)
{
    *xml += "\t\t\t\t<String>\n\t\t\t\t\t<Key>";
    *xml += key;
    *xml += "</Key>\n\t\t\t\t\t<Value>";
    AppendEscaped(xml, value);
    *xml += "</Value>\n\t\t\t\t</String>\n";
}

std::string Document(const std::vector<Entry>& entries, const std::string& group)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                      "<KeePassFile>\n\t<Root>\n\t\t<Group>\n\t\t\t<Name>";
    // Grown once: about 400 bytes of markup an entry, and its text.
    size_t size = 256;
    for (const Entry& e : entries)
        size += 400 + e.title.size() + e.userName.size() + e.password.size() + e.url.size() + e.notes.size();
    xml.reserve(size);
    AppendEscaped(&xml, group);
    xml += "</Name>\n";
    for (const Entry& e : entries) {
        xml += "\t\t\t<Entry>\n";
        AddString(&xml, "Title", e.title);
        AddString(&xml, "UserName", e.userName);
        AddString(&xml, "Password", e.password);
        AddString(&xml, "URL", e.url);
        AddString(&xml, "Notes", e.notes);
        xml += "\t\t\t</Entry>\n";
    }
    xml += "\t\t</Group>\n\t</Root>\n</KeePassFile>\n";
    return xml;
}

} // namespace keepass

// Reading KeePass 2 XML: the export of KeePass 2 (File > Export, "KeePass XML (2.x)") and of
// KeePassXC (Database > Export > XML, keepassxc-cli export -f xml).
namespace documents {

namespace {

bool IsTrue(const std::string& value)
{
    return header::Folded(value) == "true";
}

// The standard strings of an entry, by their keys.
const struct {
    const char* key;
    std::string Fields::*field;
    bool login; // part of what logs in: without it the entry is no login
} kKeys[] = {{"Title", &Fields::title, false},
             {"URL", &Fields::url, true},
             {"UserName", &Fields::userName, true},
             {"Password", &Fields::password, true},
             {"Notes", &Fields::notes, false}};

struct Found {
    Fields fields;
    std::string group; // its path
    std::string uuid;  // in hexadecimal, as field references name it
};

struct Reading {
    Table* table;
    std::string recycleBin; // the UUID (base64) of the recycle bin group, or empty
    int recycled = 0;       // entries left out with it
    std::vector<Found> entries;
};

// A UUID as KeePass writes it in XML (base64 of its 16 bytes) in the upper-case
// hexadecimal its field references use; empty when it is not base64.
std::string HexOfBase64(const std::string& text)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0, count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const char* at = c == '\0' ? nullptr : std::strchr(kDigits, c);
        if (at == nullptr)
            return "";
        bits = (bits << 6) | (unsigned)(at - kDigits);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back((char)((bits >> count) & 0xFF));
        }
    }
    std::string hex;
    for (char b : bytes) {
        hex.push_back("0123456789ABCDEF"[((unsigned char)b) >> 4]);
        hex.push_back("0123456789ABCDEF"[((unsigned char)b) & 15]);
    }
    return hex;
}

// Replaces each field reference in *text ("{REF:P@I:UUID}": the password of the entry of
// that UUID; T title, U user name, A URL, N notes) by the field it names, as KeePass shows
// it. False when one names an entry the file does not hold, or is of another kind (a search
// by text), which the tool does not follow. References nest, so a few in each of a chain
// of entries multiply: a field's expansion stops with *tooLong set once its text would pass
// kMaxResolved bytes or it has followed kMaxReferences references in all.
const size_t kMaxResolved = 4096;
const int kMaxReferences = 64;

bool Resolve(std::string* text, const Reading& r, const std::map<std::string, size_t>& byUuid, int depth,
             int* followed, bool* tooLong)
{
    for (size_t at = text->find("{REF:"); at != std::string::npos; at = text->find("{REF:", at)) {
        size_t end = text->find('}', at);
        if (end == std::string::npos || end < at + 9 || text->compare(at + 6, 3, "@I:") != 0 || depth > 8)
            return false;
        if (++*followed > kMaxReferences) {
            *tooLong = true;
            return false;
        }
        std::string uuid = text->substr(at + 9, end - at - 9);
        for (char& c : uuid)
            c = (char)std::toupper((unsigned char)c);
        auto found = byUuid.find(uuid);
        if (found == byUuid.end())
            return false;
        const Fields& f = r.entries[found->second].fields;
        std::string value;
        switch ((*text)[at + 5]) {
        case 'T': value = f.title; break;
        case 'U': value = f.userName; break;
        case 'P': value = f.password; break;
        case 'A': value = f.url; break;
        case 'N': value = f.notes; break;
        default: return false;
        }
        if (!Resolve(&value, r, byUuid, depth + 1, followed, tooLong))
            return false;
        if (text->size() - (end + 1 - at) + value.size() > kMaxResolved) {
            *tooLong = true;
            return false;
        }
        text->replace(at, end + 1 - at, value);
        at += value.size();
    }
    return true;
}

int CountEntries(const xml::Node* group)
{
    int n = 0;
    for (const xml::Node* c = group->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "Entry"))
            ++n;
        else if (xml::Is(c, "Group"))
            n += CountEntries(c);
    }
    return n;
}

// An entry's standard fields; its history (older versions of it) and other strings are not
// logins of their own.
void ReadEntry(const xml::Node* entry, const std::string& group, Reading* r)
{
    Fields fields;
    for (const xml::Node* s = entry->first_node(); s != nullptr; s = s->next_sibling()) {
        if (!xml::Is(s, "String"))
            continue;
        std::string key = xml::TextOf(xml::Child(s, "Key"));
        const xml::Node* value = xml::Child(s, "Value");
        for (const auto& k : kKeys) {
            if (key != k.key)
                continue;
            // Exports write their protected values in clear, marked ProtectInMemory.
            // "Protected" marks a value enciphered with the key of the database it came
            // from, which an XML file does not carry: its text is not the value.
            if (!IsTrue(xml::Attribute(value, "Protected"))) {
                fields.*k.field = xml::TextOf(value);
                continue;
            }
            std::string why = std::string("the ") + k.key +
                              " value is enciphered (Protected=\"True\") with the key of the database it came from";
            if (k.login && fields.unreadable.empty())
                fields.unreadable = why + "; export the database as XML again";
            else if (!k.login)
                fields.changes.push_back(why + ": left out");
        }
    }
    r->entries.push_back({fields, group, HexOfBase64(xml::TextOf(xml::Child(entry, "UUID")))});
}

void ReadGroup(const xml::Node* group, const std::string& parent, Reading* r)
{
    if (!r->recycleBin.empty() && xml::TextOf(xml::Child(group, "UUID")) == r->recycleBin) {
        r->recycled += CountEntries(group);
        return;
    }
    std::string name = xml::TextOf(xml::Child(group, "Name"));
    std::string path = parent.empty() ? name : parent + "/" + name;
    for (const xml::Node* c = group->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "Entry"))
            ReadEntry(c, path, r);
        else if (xml::Is(c, "Group"))
            ReadGroup(c, path, r);
    }
}

} // namespace

bool ReadKeePass(const xml::Node* root, Table* table, std::string* error)
{
    const xml::Node* groups = xml::Child(root, "Root");
    if (groups == nullptr) {
        *error = "a KeePass XML document without its <Root> element";
        return false;
    }
    Reading r;
    r.table = table;
    // The recycle bin holds deleted entries; KeePass counts it only while it is enabled, and
    // an all-zero UUID names none.
    const xml::Node* meta = xml::Child(root, "Meta");
    std::string enabled = xml::TextOf(xml::Child(meta, "RecycleBinEnabled"));
    std::string bin = xml::TextOf(xml::Child(meta, "RecycleBinUUID"));
    if (!IsTrue(enabled) && !enabled.empty())
        bin.clear();
    if (bin.find_first_not_of("A=") != std::string::npos)
        r.recycleBin = bin;
    for (const xml::Node* c = groups->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "Group"))
            ReadGroup(c, "", &r);
    }
    // Fields that refer to another entry's take its text, as KeePass shows them.
    std::map<std::string, size_t> byUuid;
    for (size_t i = 0; i < r.entries.size(); ++i) {
        if (!r.entries[i].uuid.empty())
            byUuid.emplace(r.entries[i].uuid, i);
    }
    for (const Found& read : r.entries) {
        Fields f = read.fields;
        for (const auto& k : kKeys) {
            int followed = 0;
            bool tooLong = false;
            if (Resolve(&(f.*k.field), r, byUuid, 0, &followed, &tooLong) || !f.unreadable.empty())
                continue;
            if (tooLong)
                f.unreadable = std::string("the ") + k.key + " value's references to other entries ({REF:...}) expand to more than " +
                               std::to_string(kMaxResolved) + " bytes or " + std::to_string(kMaxReferences) + " references";
            else if (k.login)
                f.unreadable = std::string("the ") + k.key +
                               " value refers to another entry's ({REF:...}) that the file does not hold";
        }
        AddEntry(table, "group", read.group, f);
    }
    if (r.recycled > 0)
        table->notes.push_back(std::to_string(r.recycled) + (r.recycled == 1 ? " entry" : " entries") +
                               " of the recycle bin " + (r.recycled == 1 ? "was" : "were") + " left out");
    return true;
}

} // namespace documents
