#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "folder.h"
#include "record_store.h"

using namespace tool;

namespace {

size_t Width(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

bool IsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

} // namespace

int List(const Options& o)
{
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<std::vector<std::string>> rows;
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        std::vector<std::string> row = {std::to_string(i), cp.ToUtf8(FieldText(r.website, sizeof(r.website))),
                                        cp.ToUtf8(FieldText(r.url, sizeof(r.url))),
                                        cp.ToUtf8(FieldText(r.userName, sizeof(r.userName)))};
        if (o.passwords)
            row.push_back(cp.ToUtf8(FieldText(r.password, sizeof(r.password))));
        rows.push_back(row);
    }
    if (!IsTerminal()) {
        // One record a line, tab-separated, for other programs; a tab or line break inside a
        // field would split it, so it becomes a space.
        for (std::vector<std::string>& row : rows) {
            std::string line;
            for (size_t c = 0; c < row.size(); ++c) {
                std::replace_if(row[c].begin(), row[c].end(), [](char ch) { return ch == '\t' || ch == '\n' || ch == '\r'; }, ' ');
                line += (c > 0 ? "\t" : "") + row[c];
            }
            Say(line);
        }
        return status;
    }
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        widths.resize(row.size());
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        Say(line);
    }
    if (rows.empty())
        Warn(o.folder + ": no records");
    return status;
}
