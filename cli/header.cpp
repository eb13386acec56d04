#include "header.h"

#include <cctype>

namespace header {

namespace {

// The names each field goes by in the exports of browsers and password managers.
const struct {
    Field field;
    const char* names[7];
} kNames[] = {
    {kUrl, {"url", "login_uri", "login_urls", "website", "origin", "hostname", nullptr}},
    {kUserName, {"username", "login_username", "user", "login", "account", nullptr}},
    {kPassword, {"password", "login_password", nullptr}},
    {kTitle, {"name", "title", "display_name", nullptr}},
    {kNotes, {"notes", "note", "extra", "comments", "comment", nullptr}},
};

const char* const kFieldNames[kFieldCount] = {"title", "URL", "user name", "password", "notes"};

int FieldOf(const std::string& folded)
{
    for (const auto& f : kNames) {
        for (int i = 0; f.names[i] != nullptr; ++i) {
            if (folded == f.names[i])
                return f.field;
        }
    }
    return -1;
}

} // namespace

std::string Folded(const std::string& name)
{
    size_t first = name.find_first_not_of(" \t");
    size_t last = name.find_last_not_of(" \t");
    std::string text = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

bool Map(const std::vector<std::string>& names, Columns* columns, std::string* error)
{
    *columns = Columns();
    columns->width = names.size();
    std::string found;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i < 12)
            found += (i > 0 ? ", " : "") + ("\"" + names[i] + "\"");
        else if (i == 12)
            found += " and " + std::to_string(names.size() - 12) + " more";
        std::string name = Folded(names[i]);
        if (name == "type" && columns->type < 0)
            columns->type = (int)i;
        int field = FieldOf(name);
        if (field < 0)
            continue;
        if (columns->of[field] >= 0) {
            // Two columns for one field: taking either could put the wrong text in it.
            *error = "columns " + std::to_string(columns->of[field] + 1) + " (\"" + names[columns->of[field]] +
                     "\") and " + std::to_string(i + 1) + " (\"" + names[i] + "\") both name the " +
                     kFieldNames[field];
            return false;
        }
        columns->of[field] = (int)i;
        if (field == kUrl)
            columns->joinedUris = name == "login_uri";
    }
    if (!columns->joinedUris)
        columns->type = -1; // Bitwarden's alone: another program's "type" may mean anything
    std::string missing;
    for (Field f : {kUrl, kUserName, kPassword}) {
        if (columns->of[f] < 0)
            missing += std::string(missing.empty() ? "" : ", ") + kFieldNames[f];
    }
    if (!missing.empty()) {
        *error = "the first row is not a header naming a URL, a user name and a password column (no " + missing +
                 " column; found " + found + ")";
        return false;
    }
    return true;
}

} // namespace header
