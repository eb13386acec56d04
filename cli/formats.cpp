#include "formats.h"

#include <algorithm>
#include <cctype>

namespace formats {

const char kGroup[] = "Password Kestal";

namespace {

struct Layout {
    Format format;
    const char* name;
    std::vector<std::string> header;
    int title, url, userName, password, notes; // columns, -1 for none
    bool quoteAll;                             // every field quoted
};

const std::vector<Layout>& Layouts()
{
    static const std::vector<Layout> layouts = {
        {kKeePassXcCsv, "keepassxc-csv",
         {"Group", "Title", "Username", "Password", "URL", "Notes", "TOTP", "Icon", "Last Modified", "Created"},
         1, 4, 2, 3, 5, true},
        {kBitwardenCsv, "bitwarden-csv",
         {"folder", "favorite", "type", "name", "notes", "fields", "reprompt", "login_uri", "login_username",
          "login_password", "login_totp"},
         3, 7, 8, 9, 4, false},
        {kBrowserCsv, "browser-csv", {"name", "url", "username", "password", "note"}, 0, 1, 2, 3, 4, false},
        {kFirefoxCsv, "firefox-csv",
         {"url", "username", "password", "httpRealm", "formActionOrigin", "guid", "timeCreated", "timeLastUsed",
          "timePasswordChanged"},
         -1, 0, 1, 2, -1, true},
    };
    return layouts;
}

const Layout* LayoutOf(Format format)
{
    for (const Layout& l : Layouts()) {
        if (l.format == format)
            return &l;
    }
    return nullptr;
}

std::string Folded(std::string text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

// The fields of one exported entry in layout's columns.
std::vector<std::string> FieldsOf(const Layout& l, const Entry& e)
{
    std::vector<std::string> fields(l.header.size());
    switch (l.format) {
    case kKeePassXcCsv:
        fields[0] = kGroup;
        fields[7] = "0"; // the standard key icon
        break;
    case kBitwardenCsv:
        fields[0] = kGroup;
        fields[2] = "login";
        fields[6] = "0";
        break;
    default:
        break;
    }
    if (l.title >= 0)
        fields[l.title] = e.title;
    fields[l.url] = e.url;
    fields[l.userName] = e.userName;
    fields[l.password] = e.password;
    if (l.notes >= 0)
        fields[l.notes] = e.notes;
    return fields;
}

} // namespace

Format ByName(const std::string& name)
{
    if (name == "keepass-xml")
        return kKeePassXml;
    for (const Layout& l : Layouts()) {
        if (name == l.name)
            return l.format;
    }
    return kUnknown;
}

std::string CsvDocument(Format format, const std::vector<Entry>& entries)
{
    const Layout* l = LayoutOf(format);
    if (l == nullptr)
        return "";
    std::string text = csv::FormatRow(l->header, l->quoteAll);
    for (const Entry& e : entries)
        text += csv::FormatRow(FieldsOf(*l, e), l->quoteAll);
    return text;
}

Format ByHeader(const std::vector<std::string>& header)
{
    for (const Layout& l : Layouts()) {
        // Chromium-based browsers write the browser format without its last column.
        size_t least = l.format == kBrowserCsv ? l.header.size() - 1 : l.header.size();
        if (header.size() < least || header.size() > l.header.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < header.size() && same; ++i)
            same = Folded(header[i]) == Folded(l.header[i]);
        if (same)
            return l.format;
    }
    return kUnknown;
}

bool EntryOfRow(Format format, const csv::Row& row, Entry* entry, std::string* why)
{
    const Layout* l = LayoutOf(format);
    auto field = [&](int column) { return column >= 0 && column < (int)row.fields.size() ? row.fields[column] : ""; };
    if (l == nullptr || (int)row.fields.size() <= std::max(l->url, std::max(l->userName, l->password))) {
        *why = "too few fields";
        return false;
    }
    if (format == kBitwardenCsv && Folded(field(2)) != "login") {
        *why = "not a login (type \"" + field(2) + "\")";
        return false;
    }
    *entry = Entry();
    entry->line = row.line;
    entry->title = field(l->title);
    entry->url = field(l->url);
    entry->userName = field(l->userName);
    entry->password = field(l->password);
    entry->notes = field(l->notes);
    if (format == kFirefoxCsv)
        entry->title = HostOf(entry->url);
    return true;
}

std::string HostOf(const std::string& url)
{
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority = authority.substr(at + 1);
    if (!authority.empty() && authority[0] == '[') // an IPv6 address keeps its brackets
        return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

} // namespace formats
