#include "commands.h"

#include <string>
#include <vector>

#include "folder.h"
#include "record_store.h"
#include "table.h"

using namespace tool;

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
    PrintTable(rows, true); // one line a record, cut to the terminal's width
    if (rows.empty())
        Warn(o.folder + ": no records");
    return status;
}
