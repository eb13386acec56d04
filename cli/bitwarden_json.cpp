// Reading Bitwarden's JSON export (Tools > Export vault, ".json"): "items", each of a type
// (1 login, 2 secure note, 3 card, 4 identity, 5 SSH key) with its name and notes, a login's
// user name, password and URIs under "login", and the "folders" (or, from an organization,
// the "collections") they are filed in. An export Bitwarden enciphered says
// "encrypted": true and holds nothing readable without the account or its password.
#include <map>

#include <nlohmann/json.hpp>

#include "readers.h"

namespace documents {

namespace {

using Json = nlohmann::json;

// A member that must be text when present; *where names it for the refusal.
bool TextAt(const Json& object, const char* key, const std::string& where, std::string* text, std::string* error)
{
    text->clear();
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (!it->is_string()) {
        *error = where + "." + key + " is not text";
        return false;
    }
    *text = it->get<std::string>();
    return true;
}

// Folder or collection ids to their names.
std::map<std::string, std::string> NamesOf(const Json& list)
{
    std::map<std::string, std::string> names;
    if (!list.is_array())
        return names;
    for (const Json& f : list) {
        if (f.is_object() && f.contains("id") && f["id"].is_string() && f.contains("name") && f["name"].is_string())
            names[f["id"].get<std::string>()] = f["name"].get<std::string>();
    }
    return names;
}

// The item's type as the report names it: one of Bitwarden's by its number; otherwise an
// integer or a short text as written, never more of what the file holds.
std::string TypeName(const Json* type)
{
    static const char* const kNames[] = {"login", "secure note", "card", "identity", "SSH key"};
    if (type == nullptr || type->is_null())
        return "none";
    if (type->is_number_integer() && type->get<long long>() >= 1 && type->get<long long>() <= 5)
        return kNames[type->get<long long>() - 1];
    if (type->is_number_integer())
        return std::to_string(type->get<long long>());
    if (type->is_string() && type->get_ref<const std::string&>().size() <= 20)
        return "\"" + type->get<std::string>() + "\"";
    return "of another kind";
}

// Bitwarden nests its exports a few levels deep. Deeper nesting is refused before the tree
// is built, as copying or printing it recurses once per level.
const int kMaxDepth = 64;

bool NestedTooDeep(const std::string& text)
{
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

bool ReadItem(const Json& item, const std::string& where, const std::map<std::string, std::string>& folders,
              const std::map<std::string, std::string>& collections, Table* table, std::string* error)
{
    if (!item.is_object()) {
        *error = where + " is not an object";
        return false;
    }
    Fields f;
    auto type = item.find("type");
    f.type = TypeName(type == item.end() ? nullptr : &*type);
    if (!TextAt(item, "name", where, &f.title, error) || !TextAt(item, "notes", where, &f.notes, error))
        return false;
    std::string folder, folderId;
    const char* folderWord = "folder";
    if (!TextAt(item, "folderId", where, &folderId, error))
        return false;
    if (folders.count(folderId) != 0) {
        folder = folders.at(folderId);
    } else if (item.contains("collectionIds") && item["collectionIds"].is_array() && !item["collectionIds"].empty() &&
               item["collectionIds"][0].is_string() && collections.count(item["collectionIds"][0].get<std::string>())) {
        folder = collections.at(item["collectionIds"][0].get<std::string>());
        folderWord = "collection";
    }
    auto login = item.find("login");
    if (f.type == "login" && login != item.end() && !login->is_null()) {
        if (!login->is_object()) {
            *error = where + ".login is not an object";
            return false;
        }
        if (!TextAt(*login, "username", where + ".login", &f.userName, error) ||
            !TextAt(*login, "password", where + ".login", &f.password, error))
            return false;
        auto uris = login->find("uris");
        if (uris != login->end() && uris->is_array()) {
            // The first URI is the record's; the program keeps one.
            std::vector<std::string> all;
            for (size_t i = 0; i < uris->size(); ++i) {
                std::string uri, at = where + ".login.uris[" + std::to_string(i) + "]";
                const Json& u = (*uris)[i];
                if (!u.is_object()) {
                    *error = at + " is not an object";
                    return false;
                }
                if (!TextAt(u, "uri", at, &uri, error))
                    return false;
                if (!uri.empty())
                    all.push_back(uri);
            }
            if (!all.empty())
                f.url = all[0];
            if (all.size() > 1) {
                std::string change = "the first of " + std::to_string(all.size()) + " URIs was kept; not kept:";
                for (size_t i = 1; i < all.size(); ++i)
                    change += (i > 1 ? ", " : " ") + all[i];
                f.changes.push_back(change);
            }
        }
    }
    AddEntry(table, folderWord, folder, f);
    return true;
}

} // namespace

bool ReadBitwarden(const std::string& text, Table* table, std::string* error)
{
    if (NestedTooDeep(text)) {
        *error = "JSON nested more than " + std::to_string(kMaxDepth) + " levels deep, which no Bitwarden export is";
        return false;
    }
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& e) {
        size_t at = e.byte == 0 ? 0 : e.byte - 1;
        bool cutShort = at >= text.size();
        if (cutShort)
            at = text.find_last_not_of(" \t\r\n"); // the line of the last character
        int line = 1;
        for (size_t i = 0; i < at && i < text.size(); ++i)
            line += text[i] == '\n';
        if (cutShort)
            *error = "the JSON ends at line " + std::to_string(line) + " before it is complete: the file was cut short";
        else
            *error = "line " + std::to_string(line) + ": not well-formed JSON";
        return false;
    } catch (const Json::exception&) {
        // A number beyond what a double holds: Bitwarden writes none. (The parser's own
        // message quotes the file, which may hold passwords.)
        *error = "JSON holding a number too large to read";
        return false;
    } catch (const std::bad_alloc&) {
        *error = "too large to read";
        return false;
    }
    if (!document.is_object()) {
        *error = "JSON that is not a Bitwarden export (no \"items\")";
        return false;
    }
    auto encrypted = document.find("encrypted");
    if (encrypted != document.end() && encrypted->is_boolean() && encrypted->get<bool>()) {
        *error = "an encrypted Bitwarden export, which only Bitwarden can open: export it unencrypted or as CSV";
        return false;
    }
    auto items = document.find("items");
    if (items == document.end() || !items->is_array()) {
        *error = "JSON that is not a Bitwarden export (no \"items\")";
        return false;
    }
    auto folderList = document.find("folders"), collectionList = document.find("collections");
    std::map<std::string, std::string> folders, collections;
    if (folderList != document.end())
        folders = NamesOf(*folderList);
    if (collectionList != document.end())
        collections = NamesOf(*collectionList);
    for (size_t i = 0; i < items->size(); ++i) {
        if (!ReadItem((*items)[i], "items[" + std::to_string(i) + "]", folders, collections, table, error)) {
            *error = "not a Bitwarden export as Bitwarden writes it: " + *error;
            return false;
        }
    }
    return true;
}

} // namespace documents
