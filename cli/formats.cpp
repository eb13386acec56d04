#include "formats.h"

#include <algorithm>

#include "header.h"

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
    if (name == "kdbx")
        return kKdbx;
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

bool HeaderFits(Format format, const std::vector<std::string>& header)
{
    // The columns every version of each format has written: KeePassX and KeePassXC up to
    // 2.5 wrote the first six of KeePassXC's columns, Bitwarden before 2021 had no
    // "reprompt", browsers before notes no "note".
    static const struct {
        Format format;
        std::vector<std::string> marks;
    } kMarks[] = {
        {kKeePassXcCsv, {"group", "title", "username", "password", "url", "notes"}},
        {kBitwardenCsv, {"type", "name", "login_uri", "login_username", "login_password"}},
        {kBrowserCsv, {"name", "url", "username", "password"}},
        {kFirefoxCsv, {"url", "username", "password", "httprealm", "formactionorigin", "guid"}},
    };
    for (const auto& m : kMarks) {
        if (m.format != format)
            continue;
        for (const std::string& mark : m.marks) {
            if (std::find_if(header.begin(), header.end(),
                             [&](const std::string& name) { return header::Folded(name) == mark; }) == header.end())
                return false;
        }
        return true;
    }
    return false;
}

Format ByHeader(const std::vector<std::string>& header)
{
    for (Format f : {kKeePassXcCsv, kBitwardenCsv, kFirefoxCsv, kBrowserCsv}) {
        if (HeaderFits(f, header))
            return f;
    }
    return kUnknown;
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
