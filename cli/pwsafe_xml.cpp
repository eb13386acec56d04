// Reading Password Safe's XML export (File > Export To > XML Format): <passwordsafe> holding
// one <entry> a record, its fields in CDATA sections; the group is a path of names joined by
// dots, and line breaks in the notes are written as the character the root's "delimiter"
// attribute names.
#include "readers.h"

namespace documents {

bool ReadPasswordSafe(const xml::Node* root, Table* table, std::string* /*error*/)
{
    std::string delimiter = xml::Attribute(root, "delimiter");
    for (const xml::Node* c = root->first_node(); c != nullptr; c = c->next_sibling()) {
        if (!xml::Is(c, "entry"))
            continue;
        Fields f;
        f.title = xml::TextOf(xml::Child(c, "title"));
        f.url = xml::TextOf(xml::Child(c, "url"));
        f.userName = xml::TextOf(xml::Child(c, "username"));
        f.password = xml::TextOf(xml::Child(c, "password"));
        f.notes = xml::TextOf(xml::Child(c, "notes"));
        // An entry kept for its e-mail address alone logs in with it.
        if (f.userName.empty())
            f.userName = xml::TextOf(xml::Child(c, "email"));
        if (!delimiter.empty()) {
            for (size_t at = f.notes.find(delimiter); at != std::string::npos;
                 at = f.notes.find(delimiter, at + 1)) {
                f.notes.replace(at, delimiter.size(), "\n");
            }
        }
        AddEntry(table, "group", xml::TextOf(xml::Child(c, "group")), f);
    }
    return true;
}

} // namespace documents
