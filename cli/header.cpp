#include "header.h"

#include <cctype>

namespace header {

namespace {

// The names the exports of browsers and password managers give their columns. A weak name
// takes its field only when no other column names it: KeePass 2 calls its title "Account"
// beside a "Login Name", where Chromium's importer reads "account" as the user name; Zoho
// Vault has both a "Description" and "Notes".
struct Name {
    const char* name; // folded
    int field;        // a Field or kEmail
    bool weak;
    int otherwise;    // a weak name's field when its own is taken, or kIgnored
};

const Name kNames[] = {
    // URL: browsers, Bitwarden, Synology, KeePass ("Web Site"), Passpack and Encryptr
    // ("Site URL"), Zoho Vault ("Password URL", "Secret URL"), Avast ("web"), Passbolt
    // ("URI"), Keeper ("Website Address"), 1Password ("Login URL"), Blur ("domain").
    {"url", kUrl, false, kIgnored},
    {"login_uri", kUrl, false, kIgnored},
    {"login_urls", kUrl, false, kIgnored},
    {"website", kUrl, false, kIgnored},
    {"web site", kUrl, false, kIgnored},
    {"website address", kUrl, false, kIgnored},
    {"site url", kUrl, false, kIgnored},
    {"login url", kUrl, false, kIgnored},
    {"password url", kUrl, false, kIgnored},
    {"secret url", kUrl, false, kIgnored},
    {"origin", kUrl, false, kIgnored},
    {"hostname", kUrl, false, kIgnored},
    {"uri", kUrl, false, kIgnored},
    {"web", kUrl, false, kIgnored},
    {"domain", kUrl, true, kIgnored},
    // User name: browsers, Bitwarden, KeePass ("Login Name"), RoboForm, SafeInCloud and
    // True Key ("Login"), Passpack ("User ID"), Yoti ("User name").
    {"username", kUserName, false, kIgnored},
    {"user name", kUserName, false, kIgnored},
    {"user_name", kUserName, false, kIgnored},
    {"login_username", kUserName, false, kIgnored},
    {"user", kUserName, false, kIgnored},
    {"login", kUserName, false, kIgnored},
    {"login name", kUserName, false, kIgnored},
    {"user id", kUserName, false, kIgnored},
    {"userid", kUserName, false, kIgnored},
    {"account", kUserName, true, kTitle},
    // Password: RoboForm writes "Pwd".
    {"password", kPassword, false, kIgnored},
    {"login_password", kPassword, false, kIgnored},
    {"pwd", kPassword, false, kIgnored},
    {"passwd", kPassword, false, kIgnored},
    // Title: Encryptr and Passman ("Label"), Passpack ("Entry Name"), Zoho Vault
    // ("Password Name", "Secret Name"), Myki ("nickname"), Meldium ("DisplayName"),
    // Password Safe's text export ("Group/Title").
    {"name", kTitle, false, kIgnored},
    {"title", kTitle, false, kIgnored},
    {"display_name", kTitle, false, kIgnored},
    {"displayname", kTitle, false, kIgnored},
    {"label", kTitle, false, kIgnored},
    {"entry name", kTitle, false, kIgnored},
    {"password name", kTitle, false, kIgnored},
    {"secret name", kTitle, false, kIgnored},
    {"nickname", kTitle, false, kIgnored},
    {"group/title", kTitle, false, kIgnored},
    // Notes: LastPass ("extra"), KeePass ("Comments"), Myki ("additionalInfo"), True Key
    // ("memo"), Passman ("description").
    {"notes", kNotes, false, kIgnored},
    {"note", kNotes, false, kIgnored},
    {"extra", kNotes, false, kIgnored},
    {"comments", kNotes, false, kIgnored},
    {"comment", kNotes, false, kIgnored},
    {"additionalinfo", kNotes, false, kIgnored},
    {"additional info", kNotes, false, kIgnored},
    {"memo", kNotes, false, kIgnored},
    {"remarks", kNotes, false, kIgnored},
    {"description", kNotes, true, kIgnored},
    // E-mail: Proton Pass, NordPass, Passpack, Passman, Blur, 1Password, Password Safe.
    {"email", kEmail, false, kIgnored},
    {"e-mail", kEmail, false, kIgnored},
    {"email address", kEmail, false, kIgnored},
    {"e-mail address", kEmail, false, kIgnored},
};

const char* const kFieldNames[kFieldCount] = {"title", "URL", "user name", "password", "notes"};

const Name* NameOf(const std::string& folded)
{
    for (const Name& n : kNames) {
        if (folded == n.name)
            return &n;
    }
    return nullptr;
}

std::string Quoted(const std::string& name)
{
    return "\"" + name + "\"";
}

const char kColumnsHint[] = "If the file has no header row, name its columns in order with --columns LIST, e.g. "
                            "--columns title,url,username,password,notes";

// Gives each column its field, the strong names first; *error when two strong names claim
// one field. names are as the file (or the user) wrote them, for the messages.
bool Resolve(const std::vector<std::string>& names, bool quote, Columns* columns, std::string* error)
{
    *columns = Columns();
    columns->width = names.size();
    if (!names.empty()) {
        std::string last = Folded(names.back());
        columns->spills = last.compare(0, 9, "rf_fields") == 0 || last.compare(0, 8, "rffields") == 0;
    }
    for (bool weak : {false, true}) {
        for (size_t i = 0; i < names.size(); ++i) {
            std::string name = Folded(names[i]);
            if (!weak && name == "type" && columns->type < 0)
                columns->type = (int)i;
            if (!weak && name == "secretdata" && columns->secretData < 0)
                columns->secretData = (int)i;
            const Name* n = NameOf(name);
            if (n == nullptr || n->weak != weak)
                continue;
            if (n->field == kEmail) {
                if (columns->email < 0)
                    columns->email = (int)i; // a second address column is left alone
                continue;
            }
            int field = n->field;
            if (weak && columns->of[field] >= 0)
                field = n->otherwise;
            if (field == kIgnored || (weak && columns->of[field] >= 0))
                continue;
            if (columns->of[field] >= 0) {
                // Two columns for one field: taking either could put the wrong text in it.
                // Names the user typed are quoted; a file's first row may be data instead.
                *error = "columns " + std::to_string(columns->of[field] + 1) +
                         (quote ? " (" + Quoted(names[columns->of[field]]) + ")" : "") + " and " +
                         std::to_string(i + 1) + (quote ? " (" + Quoted(names[i]) + ")" : "") + " both name the " +
                         kFieldNames[field] + (quote ? "" : std::string(". ") + kColumnsHint);
                return false;
            }
            columns->of[field] = (int)i;
            if (field == kUrl)
                columns->joinedUris = name == "login_uri";
        }
    }
    // Bitwarden's and Proton Pass's (whose header has a "vault") item types: another
    // program's "type" may mean anything (NordPass calls its logins "password").
    bool protonPass = false;
    for (const std::string& name : names)
        protonPass = protonPass || Folded(name) == "vault";
    if (!columns->joinedUris && !protonPass)
        columns->type = -1;
    if (columns->of[kUserName] < 0 && columns->email >= 0) {
        columns->of[kUserName] = columns->email; // the address is the user name
        columns->email = -1;
    }
    return true;
}

// The fields no column gives, or empty. Zoho Vault keeps the user name and password in
// its SecretData column.
std::string Missing(const Columns& columns)
{
    std::vector<std::string> fields;
    for (Field f : {kUrl, kUserName, kPassword}) {
        if (columns.of[f] < 0 && (f == kUrl || columns.secretData < 0))
            fields.push_back(kFieldNames[f]);
    }
    std::string missing;
    for (size_t i = 0; i < fields.size(); ++i)
        missing += (i == 0 ? "" : i + 1 == fields.size() ? " or " : ", ") + fields[i];
    return missing;
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

int FieldOfName(const std::string& folded)
{
    const Name* n = NameOf(folded);
    return n == nullptr ? kIgnored : n->field;
}

bool Map(const std::vector<std::string>& names, Columns* columns, std::string* error)
{
    if (!Resolve(names, false, columns, error))
        return false;
    std::string missing = Missing(*columns);
    if (missing.empty())
        return true;
    // Only the names the tool knows are quoted: when the first row is data, the others are
    // a title, a user name, a password.
    std::string known;
    size_t others = 0;
    for (const std::string& name : names) {
        if (NameOf(Folded(name)) != nullptr)
            known += (known.empty() ? "" : ", ") + Quoted(name);
        else
            ++others;
    }
    *error = "the first row is not a header naming a URL, a user name (or e-mail) and a password column: it names "
             "no " + missing + " column (" +
             (known.empty() ? "it holds no column name the tool knows" : "the names the tool knows in it: " + known) +
             (others == 0 ? "" : ", and " + std::to_string(others) + " other fields, not shown") + "). " + kColumnsHint;
    return false;
}

bool MapNamed(const std::string& list, Columns* columns, std::string* error)
{
    std::vector<std::string> names(1);
    for (char c : list) {
        if (c == ',')
            names.emplace_back();
        else
            names.back().push_back(c);
    }
    if (!Resolve(names, true, columns, error)) {
        *error = "--columns: " + *error;
        return false;
    }
    columns->spills = true;
    std::string missing = Missing(*columns);
    if (missing.empty())
        return true;
    *error = "--columns names no " + missing + " column (" + NamesHelp() + ")";
    return false;
}

bool IsFieldValueHeader(const std::vector<std::string>& names)
{
    return names.size() >= 3 && Folded(names[0]) == "title" && Folded(names[1]) == "field" &&
           Folded(names[2]) == "value";
}

std::string NamesHelp()
{
    std::string text;
    for (int field : {(int)kTitle, (int)kUrl, (int)kUserName, (int)kEmail, (int)kPassword, (int)kNotes}) {
        text += std::string(text.empty() ? "" : "; ") + (field == kEmail ? "e-mail" : kFieldNames[field]) + ": ";
        bool first = true;
        for (const Name& n : kNames) {
            if (n.field != field && !(n.weak && n.otherwise == field))
                continue;
            text += std::string(first ? "" : ", ") + n.name + (n.weak ? "*" : "");
            first = false;
        }
    }
    return text;
}

} // namespace header
