#include "csv_import.h"

#include "csv.h"
#include "formats.h"
#include "header.h"

namespace csv_import {

namespace {

using import_rules::Item;

// Tab-separated text (Password Safe's text export): the first line holds a tab and no comma.
char DelimiterOf(const std::string& text)
{
    std::string first = text.substr(0, text.find('\n'));
    return first.find('\t') != std::string::npos && first.find(',') == std::string::npos ? '\t' : ',';
}

// Zoho Vault keeps a login in one column of "Name: value" lines ("User Name: ann",
// "Password: ..."): each line whose name the tool knows fills its field, when no column did.
void FromSecretData(const std::string& data, Item* item)
{
    std::string email; // the user name only when no line gives one
    size_t at = 0;
    while (at <= data.size()) {
        size_t end = data.find('\n', at);
        std::string line = data.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? data.size() + 1 : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        int field = header::FieldOfName(header::Folded(line.substr(0, colon)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        if (field == header::kEmail && email.empty())
            email = value;
        if ((field == header::kUserName || field == header::kPassword || field == header::kUrl) &&
            item->text[field].empty())
            item->text[field] = value;
    }
    if (item->text[header::kUserName].empty())
        item->text[header::kUserName] = email;
}

// Why a row holds no login although its columns are a login's, or empty: LastPass's secure
// notes, Firefox's entry for its own account. The URL is compared as it would be stored,
// its line breaks as spaces, so that a line break cannot hide it.
std::string NotALogin(std::string url)
{
    for (char& c : url)
        c = c == '\r' || c == '\n' ? ' ' : c;
    url = header::Folded(url);
    if (url == "http://sn")
        return "a LastPass secure note, not a login";
    if (url.compare(0, 24, "chrome://firefoxaccounts") == 0)
        return "Firefox's own account entry, not a login";
    return "";
}

// A row whose columns the header (or --columns) names.
Item FromColumns(const csv::Row& row, const header::Columns& columns)
{
    Item item;
    item.where = "line " + std::to_string(row.line);
    item.oddity = row.oddity;
    auto cell = [&](int column) {
        return column >= 0 && column < (int)row.fields.size() ? row.fields[column] : std::string();
    };
    for (int f = 0; f < header::kFieldCount; ++f)
        item.text[f] = cell(columns.of[f]); // a short row leaves its missing fields empty
    if (item.text[header::kUserName].empty())
        item.text[header::kUserName] = cell(columns.email); // the address logs in
    if (columns.secretData >= 0)
        FromSecretData(cell(columns.secretData), &item);
    item.titled = columns.of[header::kTitle] >= 0;
    // Bitwarden joins several URIs with commas: the first is the record's, the rules apply to it.
    std::string& url = item.text[header::kUrl];
    if (columns.joinedUris && url.find(',') != std::string::npos) {
        item.changes.push_back("the first of several URIs was kept; not kept: " + url.substr(url.find(',') + 1));
        url.erase(url.find(','));
    }
    std::string type = cell(columns.type);
    if (!type.empty() && header::Folded(type) != "login")
        item.notALogin = "not a login (type \"" + type + "\")";
    else
        item.notALogin = NotALogin(url);
    for (size_t i = columns.width; i < row.fields.size() && item.notALogin.empty(); ++i) {
        if (row.fields[i].empty())
            continue;
        if (!columns.spills) {
            // An unquoted comma in a field shifts the columns after it: none can be trusted.
            item.notALogin = std::to_string(row.fields.size()) + " fields where the header names " +
                             std::to_string(columns.width) + ": its columns cannot be told apart";
            break;
        }
        item.lostFields = true;
    }
    return item;
}

// A row of field/value pairs (Enpass): "Title", then "Field", "Value" pairs, then "Note"
// when the row has an even number of fields. Enpass marks hidden fields with a '*'.
Item FromPairs(const csv::Row& row)
{
    Item item;
    item.where = "line " + std::to_string(row.line);
    item.oddity = row.oddity;
    const std::vector<std::string>& f = row.fields;
    item.text[header::kTitle] = f[0];
    size_t pairsEnd = f.size();
    if (f.size() % 2 == 0) {
        item.text[header::kNotes] = f.back();
        --pairsEnd;
    }
    std::string email;
    bool login = false;
    for (size_t i = 1; i + 1 < pairsEnd; i += 2) {
        std::string name = f[i];
        if (!name.empty() && name[0] == '*')
            name.erase(0, 1);
        int field = header::FieldOfName(header::Folded(name));
        if (field != header::kUrl && field != header::kUserName && field != header::kPassword &&
            field != header::kEmail)
            continue;
        login = true;
        std::string& text = field == header::kEmail ? email : item.text[field];
        if (text.empty())
            text = f[i + 1]; // the first non-empty one
    }
    if (item.text[header::kUserName].empty())
        item.text[header::kUserName] = email;
    if (!login)
        item.notALogin = "not a login (no user name, e-mail, password or URL among its fields)";
    return item;
}

bool IsBlank(const csv::Row& row)
{
    return row.fields.size() == 1 && row.fields[0].empty();
}

} // namespace

bool Read(const std::string& utf8, const Request& request, std::vector<Item>* items,
          std::vector<std::string>* reports, std::string* error)
{
    items->clear();
    reports->clear();
    std::vector<csv::Row> rows;
    if (!csv::Parse(utf8, &rows, error, DelimiterOf(utf8)))
        return false;
    if (rows.empty()) {
        *error = "empty";
        return false;
    }
    header::Columns columns;
    bool pairs = false;
    size_t first = 1;
    if (!request.columns.empty()) {
        if (!request.format.empty()) {
            *error = "--format checks a header row, and with --columns the file has none";
            return false;
        }
        if (!header::MapNamed(request.columns, &columns, error))
            return false;
        // A header read as data would become a record whose password is "password".
        header::Columns headerColumns;
        std::string ignored;
        if (header::Map(rows[0].fields, &headerColumns, &ignored)) {
            *error = "the first row is a header naming the columns; --columns is for a file without one";
            return false;
        }
        first = 0;
    } else if (header::IsFieldValueHeader(rows[0].fields)) {
        pairs = true;
        if (!request.format.empty()) {
            *error = "the header is not one that " + request.format + " files have (its rows are field/value pairs)";
            return false;
        }
    } else {
        if (!header::Map(rows[0].fields, &columns, error))
            return false;
        if (!request.format.empty() && !formats::HeaderFits(formats::ByName(request.format), rows[0].fields)) {
            *error = "the header is not one that " + request.format + " files have";
            return false;
        }
    }

    int spilled = 0, firstSpill = 0;
    for (size_t i = first; i < rows.size(); ++i) {
        if (IsBlank(rows[i]))
            continue;
        items->push_back(pairs ? FromPairs(rows[i]) : FromColumns(rows[i], columns));
        if (items->back().lostFields && spilled++ == 0)
            firstSpill = rows[i].line;
    }
    // RoboForm spills its Rf_fields over the columns after its header's last, on every row
    // (Keeper its custom fields after those --columns names): said once for the file, and each row kept with the columns the header names.
    if (spilled > 0)
        reports->push_back("line " + std::to_string(firstSpill) +
                           (spilled > 1 ? " and " + std::to_string(spilled - 1) + " more rows" : "") +
                           ": fields beyond the " + std::to_string(columns.width) +
                           (request.columns.empty() ? " columns the header names" : " columns --columns names") +
                           " were left out of those rows");
    return true;
}

} // namespace csv_import
