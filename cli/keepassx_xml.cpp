// Reading KeePassX 0.4's XML export (File > Export to > KeePassX XML File): <database>
// holding nested <group>s, each with its <title> and its <entry>s, whose <comment> marks
// line breaks with <br/>.
#include "readers.h"

namespace documents {

namespace {

struct Reading {
    Table* table;
    int backups = 0; // entries of the Backup group left out
};

int CountEntries(const xml::Node* group)
{
    int n = 0;
    for (const xml::Node* c = group->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "entry"))
            ++n;
        else if (xml::Is(c, "group"))
            n += CountEntries(c);
    }
    return n;
}

void ReadGroup(const xml::Node* group, const std::string& parent, Reading* r)
{
    std::string title = xml::TextOf(xml::Child(group, "title"));
    // KeePassX 0.4 and KeePass 1 keep older versions of changed entries, and deleted ones,
    // in a top-level group named Backup: not logins to take in again.
    if (parent.empty() && title == "Backup") {
        r->backups += CountEntries(group);
        return;
    }
    std::string path = parent.empty() ? title : parent + "/" + title;
    for (const xml::Node* c = group->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "group")) {
            ReadGroup(c, path, r);
        } else if (xml::Is(c, "entry")) {
            Fields f;
            f.title = xml::TextOf(xml::Child(c, "title"));
            f.url = xml::TextOf(xml::Child(c, "url"));
            f.userName = xml::TextOf(xml::Child(c, "username"));
            f.password = xml::TextOf(xml::Child(c, "password"));
            f.notes = xml::TextOf(xml::Child(c, "comment"));
            AddEntry(r->table, "group", path, f);
        }
    }
}

} // namespace

bool ReadKeePassX(const xml::Node* root, Table* table, std::string* /*error*/)
{
    Reading r;
    r.table = table;
    for (const xml::Node* c = root->first_node(); c != nullptr; c = c->next_sibling()) {
        if (xml::Is(c, "group"))
            ReadGroup(c, "", &r);
    }
    if (r.backups > 0)
        table->notes.push_back(std::to_string(r.backups) + (r.backups == 1 ? " entry" : " entries") +
                               " of the Backup group (older versions and deleted entries) " +
                               (r.backups == 1 ? "was" : "were") + " left out");
    return true;
}

} // namespace documents
