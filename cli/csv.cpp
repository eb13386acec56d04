#include "csv.h"

namespace csv {

bool Parse(const std::string& text, std::vector<Row>* rows, std::string* error, char delimiter)
{
    rows->clear();
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    while (at < text.size()) {
        Row row;
        row.line = line;
        for (;;) {
            std::string field;
            if (at < text.size() && text[at] == '"') {
                int opened = line;
                ++at;
                for (;;) {
                    if (at >= text.size()) {
                        *error = "line " + std::to_string(opened) + ": a quoted field never ends";
                        return false;
                    }
                    char c = text[at++];
                    if (c == '"') {
                        if (at < text.size() && text[at] == '"') {
                            field.push_back('"');
                            ++at;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field.push_back(c);
                }
                if (at < text.size() && text[at] != delimiter && text[at] != '\n' && text[at] != '\r') {
                    // Text after the closing quote: the quote and the text are kept as read.
                    field.push_back('"');
                    while (at < text.size() && text[at] != delimiter && text[at] != '\n' && text[at] != '\r')
                        field.push_back(text[at++]);
                    if (row.oddity.empty())
                        row.oddity = "text after a closing quote was read as it stands";
                }
            } else {
                while (at < text.size() && text[at] != delimiter && text[at] != '\n' && text[at] != '\r')
                    field.push_back(text[at++]);
                if (field.find('"') != std::string::npos && row.oddity.empty())
                    row.oddity = "a quote inside an unquoted field was read as text";
            }
            row.fields.push_back(field);
            if (at < text.size() && text[at] == delimiter) {
                ++at;
                continue;
            }
            break;
        }
        // The line end: LF, CRLF, a lone CR, or the end of the text; CR CR LF, which some
        // LastPass exports end their rows with, is one line end too.
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (text.compare(at, 2, "\r\n") == 0)
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
        ++line;
        rows->push_back(row);
    }
    return true;
}

static bool NeedsQuotes(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") != std::string::npos)
        return true;
    return !field.empty() && (field.front() == ' ' || field.back() == ' ');
}

std::string FormatRow(const std::vector<std::string>& fields, bool quoteAll)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.push_back(',');
        const std::string& f = fields[i];
        if (quoteAll || NeedsQuotes(f)) {
            line.push_back('"');
            for (char c : f) {
                if (c == '"')
                    line.push_back('"');
                line.push_back(c);
            }
            line.push_back('"');
        } else {
            line += f;
        }
    }
    line.push_back('\n');
    return line;
}

} // namespace csv
