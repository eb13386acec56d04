#include "keepass_xml.h"

#include "charset.h"

namespace keepass {

// Appends text to out escaped for an element's content, dropping what KeePassXC would
// refuse. Runs of characters that need nothing are copied in one piece.
static void AppendEscaped(std::string* out, const std::string& text)
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
