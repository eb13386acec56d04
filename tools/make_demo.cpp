// Writes a small demo database beside this program, as Kestal.exe would save it: the
// screenshots start Kestal.exe from the same folder.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "files.h"
#include "record_store.h"
#include "text.h"

static void AddDemo(const char* website, const char* url, const char* user, const char* password,
                    const char* remarks)
{
    memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    CopyText(website, WorkingRecord.website, kWebsiteSize);
    CopyText(url, WorkingRecord.url, kUrlSize);
    CopyText(user, WorkingRecord.userName, kUserNameSize);
    CopyText(password, WorkingRecord.password, kPasswordSize);
    CopyText(remarks, WorkingRecord.remarks, kRemarksSize);
    AppendRecord();
}

// make_demo.exe [COUNT]: without COUNT, five sample entries; with it, COUNT numbered ones
// (up to 1024), as the benchmarks use.
int main(int argc, char** argv)
{
    if (ProgramFolder(SettingsBlock.folder) != 0) {
        fprintf(stderr, "make_demo: the program folder is too long\n");
        return 1;
    }
    if (argc > 1) {
        int count = atoi(argv[1]);
        for (int i = 0; i < count && i < kSlotCount; ++i) {
            char website[64], url[64], user[32], password[32];
            snprintf(website, sizeof(website), "Website number %d", i);
            snprintf(url, sizeof(url), "https://site%d.example/login", i);
            snprintf(user, sizeof(user), "user%d", i);
            snprintf(password, sizeof(password), "password-%d", i);
            AddDemo(website, url, user, password, "");
        }
    } else {
        AddDemo("Kestrel Mail", "https://mail.kestrel.example", "robin", "w1ndH0ver!", "work mail");
    AddDemo("Fjord Bank", "https://online.fjordbank.example", "r.hale", "S4lmon&Tide", "card ends 4410");
    AddDemo("Pinecone Forum", "https://forum.pinecone.example", "treefrog", "needles-42", "");
    AddDemo("Harbor Library", "https://catalog.harborlib.example", "1188-2041", "B00kworm", "renew by phone");
    AddDemo("Meadow Photos", "https://meadow.example/photos", "robin.h", "tulip#field9", "family album");
    }
    int database = SaveDatabase();
    int settings = SaveSettings();
    if (database != 0 || settings != 0) {
        fprintf(stderr, "make_demo: saving failed (%d, %d)\n", database, settings);
        return 1;
    }
    printf("demo database written to %s\n", SettingsBlock.folder);
    return 0;
}
