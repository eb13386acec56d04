// A hostile file goes through what kestal-tool's import does with it: the readers of XML and
// JSON exports, or the CSV reader and the header mapping, then the rules each entry or row
// meets before it becomes a record. Whatever the bytes, a document is read or refused with
// a reason, rapidxml never descends deeper than the nesting guard counted, the CSV reader's
// rows write back and read again to the same fields, every record stored is one the program
// could have made, and the records go out as a browser's CSV and come back in byte for byte.
#include <string.h>

#include <algorithm>
#include <memory>

#include <string>
#include <vector>

#include "charset.h"
#include "csv.h"
#include "csv_import.h"
#include "documents.h"
#include "formats.h"
#include "fuzz_support.h"
#include "header.h"
#include "import_rules.h"
#include "record_store.h"
#include "text.h"
#include "xml_document.h"

namespace {

const charset::CodePage& Windows1252()
{
    static charset::CodePage cp;
    if (cp.Number() == 0)
        FUZZ_CHECK(cp.Load(1252));
    return cp;
}

std::string Text(const char* field, size_t size)
{
    FUZZ_CHECK(memchr(field, 0, size) != NULL);
    return std::string(field);
}

// Every stored record within the program's limits and the choices made.
void CheckRecords(const import_rules::Choices& choices)
{
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        std::string fields[] = {Text(r.website, sizeof(r.website)), Text(r.url, sizeof(r.url)),
                                Text(r.userName, sizeof(r.userName)), Text(r.password, sizeof(r.password)),
                                Text(r.remarks, sizeof(r.remarks))};
        size_t longest[] = {126, 126, 62, 62, 126};
        for (int f = 0; f < 5; ++f) {
            FUZZ_CHECK(fields[f].size() <= longest[f]);
            FUZZ_CHECK(fields[f].find_first_of("\r\n") == std::string::npos);
        }
        FUZZ_CHECK(!fields[3].empty());
        FUZZ_CHECK(choices.allowEmptyUrl || !fields[1].empty());
        FUZZ_CHECK(choices.allowEmptyUser || !fields[2].empty());
        for (uint32_t j = 0; j < i; ++j) {
            const Record& s = RecordStore.slots[j];
            FUZZ_CHECK(strcmp(s.url, r.url) != 0 || strcmp(s.userName, r.userName) != 0 ||
                       strcmp(s.password, r.password) != 0);
            // Two records that both leave the website empty are the same site only by URL,
            // as for the program's own Add.
            if (choices.skipSameSite)
                FUZZ_CHECK((r.website[0] == 0 || CompareText(s.website, r.website, 1) != 0) &&
                           CompareText(s.url, r.url, 1) != 0);
        }
    }
}

void ImportAll(const std::vector<import_rules::Item>& items, const import_rules::Choices& choices,
               import_rules::Tally* tally)
{
    for (const import_rules::Item& item : items)
        import_rules::ImportItem(item, Windows1252(), choices, tally);
    CheckStoreInvariants();
    FUZZ_CHECK(SettingsBlock.count == (uint32_t)tally->imported);
    FUZZ_CHECK(tally->imported + tally->skipped == (int)items.size());
    for (const std::string& report : tally->reports)
        FUZZ_CHECK(report.compare(0, 5, "line ") == 0);
}

// The deepest element of what rapidxml built.
int DepthOf(const xml::Node* node)
{
    int deepest = 0;
    for (const xml::Node* c = node->first_node(); c != nullptr; c = c->next_sibling()) {
        if (c->type() == rapidxml::node_element)
            deepest = std::max(deepest, DepthOf(c));
    }
    return deepest + 1;
}

// An XML or JSON document: read whole or refused, its entries numbered in order, and each
// through the rules.
void ImportDocument(const std::string& text, size_t size)
{
    if (!text.empty() && text.find_first_not_of(" \t\r\n\xEF\xBB\xBF") != std::string::npos &&
        text[text.find_first_not_of(" \t\r\n\xEF\xBB\xBF")] == '<') {
        // The guard counts as rapidxml descends: an element written <e></e> is entered,
        // one written <e/> is not, and the tree cannot tell them apart.
        std::string error;
        std::unique_ptr<xml::Document> document = xml::Parse(text, &error);
        if (document) {
            int line = 0;
            int counted = xml::Nesting(text.c_str(), 1 << 30, &line);
            int built = DepthOf(xml::Root(*document));
            FUZZ_CHECK(counted == built || counted == built - 1);
            FUZZ_CHECK(built <= xml::kDeepest + 1);
        } else {
            FUZZ_CHECK(!error.empty());
        }
    }
    documents::Table table;
    std::string error;
    if (!documents::Read(text, &table, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(table.kind != documents::kCsv);
    for (size_t i = 0; i < table.items.size(); ++i) {
        // "entry N", then " (group ...)" or " (folder ...)" when it has one.
        const std::string& where = table.items[i].where;
        std::string entry = "entry " + std::to_string(i + 1);
        FUZZ_CHECK(where.compare(0, entry.size(), entry) == 0);
        FUZZ_CHECK(where.size() == entry.size() || (where.compare(entry.size(), 2, " (") == 0 && where.back() == ')'));
        FUZZ_CHECK(table.items[i].titled && table.items[i].oddity.empty() && !table.items[i].lostFields);
    }
    import_rules::Choices choices;
    choices.skipSameSite = (size & 1) != 0;
    choices.allowEmptyUrl = (size & 2) != 0;
    choices.allowEmptyUser = (size & 4) != 0;
    ResetForFuzz();
    import_rules::Tally tally;
    for (const import_rules::Item& item : table.items)
        import_rules::ImportItem(item, Windows1252(), choices, &tally);
    CheckStoreInvariants();
    FUZZ_CHECK(SettingsBlock.count == (uint32_t)tally.imported);
    FUZZ_CHECK(tally.imported + tally.skipped == (int)table.items.size());
    for (const std::string& report : tally.reports)
        FUZZ_CHECK(report.compare(0, 6, "entry ") == 0);
    CheckRecords(choices);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text((const char*)data, size);
    documents::Table table;
    std::string error;
    if (!documents::Read(text, &table, &error) || table.kind != documents::kCsv) {
        ImportDocument(text, size);
        return 0;
    }
    std::vector<csv::Row> rows;
    if (!csv::Parse(text, &rows, &error)) {
        FUZZ_CHECK(error.compare(0, 5, "line ") == 0);
        return 0;
    }
    // The reader: rows in line order, and what it read writes back and reads again alike.
    std::string written = "\xEF\xBB\xBF"; // the reader drops one mark: a field may begin with another
    for (size_t i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(!rows[i].fields.empty());
        FUZZ_CHECK(rows[i].line >= 1 && (i == 0 || rows[i].line > rows[i - 1].line));
        written += csv::FormatRow(rows[i].fields, i % 2 == 1);
    }
    std::vector<csv::Row> again;
    FUZZ_CHECK(csv::Parse(written, &again, &error));
    FUZZ_CHECK(again.size() == rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(again[i].fields == rows[i].fields);
        FUZZ_CHECK(again[i].oddity.empty());
    }
    if (rows.empty())
        return 0;

    formats::ByHeader(rows[0].fields);
    // Inputs of lengths with bit 3 set are read as files without a header row, their columns named.
    csv_import::Request request;
    if ((size & 8) != 0)
        request.columns = "title,url,username,password,notes";
    std::vector<import_rules::Item> items;
    std::vector<std::string> fileReports;
    if (!csv_import::Read(text, request, &items, &fileReports, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const std::string& report : fileReports)
        FUZZ_CHECK(report.compare(0, 5, "line ") == 0);

    // The choices come from the input's length, so that the seeds stay plain CSV files.
    import_rules::Choices choices;
    choices.skipSameSite = (size & 1) != 0;
    choices.allowEmptyUrl = (size & 2) != 0;
    choices.allowEmptyUser = (size & 4) != 0;
    ResetForFuzz();
    import_rules::Tally tally;
    ImportAll(items, choices, &tally);
    CheckRecords(choices);

    // Out as a browser's CSV and back in: the same records, byte for byte.
    std::vector<Entry> entries;
    std::vector<Record> stored(RecordStore.slots, RecordStore.slots + SettingsBlock.count);
    for (const Record& r : stored) {
        Entry e;
        e.title = Windows1252().ToUtf8(r.website);
        e.url = Windows1252().ToUtf8(r.url);
        e.userName = Windows1252().ToUtf8(r.userName);
        e.password = Windows1252().ToUtf8(r.password);
        e.notes = Windows1252().ToUtf8(r.remarks);
        entries.push_back(e);
    }
    FUZZ_CHECK(csv_import::Read(formats::CsvDocument(formats::kBrowserCsv, entries), csv_import::Request(), &items,
                                &fileReports, &error));
    ResetForFuzz();
    import_rules::Tally back;
    ImportAll(items, choices, &back);
    FUZZ_CHECK(back.imported == (int)stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        const Record& a = stored[i];
        const Record& b = RecordStore.slots[i];
        FUZZ_CHECK(strcmp(a.website, b.website) == 0 && strcmp(a.url, b.url) == 0 &&
                   strcmp(a.userName, b.userName) == 0 && strcmp(a.password, b.password) == 0 &&
                   strcmp(a.remarks, b.remarks) == 0);
    }
    return 0;
}
