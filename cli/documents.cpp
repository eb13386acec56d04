#include "documents.h"

#include <utility>

#include "header.h"
#include "readers.h"
#include "xml_document.h"

namespace documents {

namespace {

const struct {
    Kind kind;
    const char* name;
    const char* description;
} kKinds[] = {
    {kKeePassXml, "keepass-xml", "a KeePass 2 XML export"},
    {kKeePassXXml, "keepassx-xml", "a KeePassX 0.4 XML export"},
    {kPwSafeXml, "pwsafe-xml", "a Password Safe XML export"},
    {kBitwardenJson, "bitwarden-json", "a Bitwarden JSON export"},
};

// The first character that is not white space, after a byte order mark.
char FirstCharacter(const std::string& text)
{
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    at = text.find_first_not_of(" \t\r\n", at);
    return at == std::string::npos ? '\0' : text[at];
}

} // namespace

void AddEntry(Table* table, const char* groupWord, const std::string& group, const Fields& fields)
{
    import_rules::Item item;
    item.where = "entry " + std::to_string(table->items.size() + 1);
    if (!group.empty())
        item.where += std::string(" (") + groupWord + " " + group + ")";
    item.text[header::kTitle] = fields.title;
    item.text[header::kUrl] = fields.url;
    item.text[header::kUserName] = fields.userName;
    item.text[header::kPassword] = fields.password;
    item.text[header::kNotes] = fields.notes;
    if (!fields.unreadable.empty())
        item.notALogin = fields.unreadable;
    else if (!fields.type.empty() && fields.type != "login")
        item.notALogin = "not a login (type \"" + fields.type + "\")";
    item.changes = fields.changes;
    table->items.push_back(std::move(item));
}

bool Read(const std::string& text, Table* table, std::string* error)
{
    *table = Table();
    char first = FirstCharacter(text);
    if (first == '{') {
        table->kind = kBitwardenJson;
        return ReadBitwarden(text, table, error);
    }
    if (first != '<')
        return true; // CSV
    std::unique_ptr<xml::Document> document = xml::Parse(text, error);
    if (!document)
        return false;
    const xml::Node* root = xml::Root(*document);
    if (xml::Is(root, "KeePassFile")) {
        table->kind = kKeePassXml;
        return ReadKeePass(root, table, error);
    }
    if (xml::Is(root, "database")) {
        table->kind = kKeePassXXml;
        return ReadKeePassX(root, table, error);
    }
    if (xml::Is(root, "passwordsafe")) {
        table->kind = kPwSafeXml;
        return ReadPasswordSafe(root, table, error);
    }
    std::string name(root->name(), root->name_size());
    if (name.size() > 40) {
        size_t cut = 40;
        while (cut > 0 && ((unsigned char)name[cut] & 0xC0) == 0x80)
            --cut; // between characters
        name = name.substr(0, cut) + "...";
    }
    *error = "an XML document of a kind the tool does not read (its root element is <" + name +
             ">; it reads KeePass 2, KeePassX 0.4 and Password Safe XML exports)";
    return false;
}

Kind KindOfName(const std::string& name)
{
    for (const auto& k : kKinds) {
        if (name == k.name)
            return k.kind;
    }
    return kCsv;
}

const char* NameOf(Kind kind)
{
    for (const auto& k : kKinds) {
        if (k.kind == kind)
            return k.name;
    }
    return "csv";
}

const char* Description(Kind kind)
{
    for (const auto& k : kKinds) {
        if (k.kind == kind)
            return k.description;
    }
    return "a CSV file";
}

} // namespace documents
