// Under Wine, in-process: filling the list with 1024 records beside the raw list-view loop,
// and the save at close of 1024 records beside a raw write, flush and rename.
//   kestal_ui_bench FOLDER RUNS     (FOLDER in Windows form, with a trailing backslash)
// prints: ROW name median min max (microseconds)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "ids.h"
#include "main_window.h"
#include "record_store.h"
#include "views.h"

static double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1e6 / frequency.QuadPart;
}

static void Pump()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

static void Report(const char* name, int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        work();
        times.push_back(Now() - start);
        Pump();
    }
    std::sort(times.begin(), times.end());
    std::printf("ROW %s %.1f %.1f %.1f\n", name, times[times.size() / 2], times.front(), times.back());
    std::fflush(stdout);
}

// The rows FillList makes, sent straight to the list view with drawing off.
static void RawFill()
{
    static LVITEMA item;
    SendMessageA(ListView, WM_SETREDRAW, FALSE, 0);
    SendMessageA(ListView, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < kSlotCount; ++i) {
        Record* r = &RecordStore.slots[i];
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.lParam = i;
        item.iSubItem = 0;
        item.pszText = r->website;
        SendMessageA(ListView, LVM_INSERTITEMA, 0, (LPARAM)&item);
        item.mask = LVIF_TEXT;
        char* texts[3] = {r->url, r->userName, r->password};
        for (int c = 0; c < 3; ++c) {
            item.iSubItem = c + 1;
            item.pszText = texts[c];
            SendMessageA(ListView, LVM_SETITEMA, 0, (LPARAM)&item);
        }
    }
    SendMessageA(ListView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView, NULL, TRUE);
}

// What a careful program must do at least to save 512 KiB: write a temporary file, flush
// it, and move it over the old one.
static void RawSave(const std::string& folder)
{
    std::string temp = folder + "floor.tmp";
    std::string target = folder + "floor.dat";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    WriteFile(file, RecordStore.slots, sizeof(RecordStore.slots), &written, NULL);
    FlushFileBuffers(file);
    CloseHandle(file);
    if (written != sizeof(RecordStore.slots) ||
        !MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        std::abort();
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestal_ui_bench FOLDER RUNS\n");
        return 2;
    }
    std::string folder = argv[1];
    int runs = std::atoi(argv[2]);
    InitCommonControls();

    for (int i = 0; i < kSlotCount; ++i) {
        std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
        std::snprintf(WorkingRecord.website, kWebsiteSize, "Website number %d", i);
        std::snprintf(WorkingRecord.url, kUrlSize, "https://site%d.example/login", i);
        std::snprintf(WorkingRecord.userName, kUserNameSize, "user%d", i);
        std::snprintf(WorkingRecord.password, kPasswordSize, "password-%d", i);
        AppendRecord();
    }

    // The main window with the list tab shown, as the user sees the list being filled.
    Window.module = GetModuleHandleA(NULL);
    HWND main = CreateDialogParamA(Window.module, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    ShowWindow(Window.configPage, SW_HIDE);
    ShowWindow(Window.listPage, SW_SHOW);
    Pump();
    std::strcpy(SettingsBlock.folder, folder.c_str());
    SettingsBlock.count = kSlotCount;

    Report("FillList_1024", runs, [] {
        FillList();
        UpdateWindow(ListView);
    });
    Report("FillList_1024_floor", runs, [] {
        RawFill();
        UpdateWindow(ListView);
    });
    // The save at close writes the database, then the settings with the new count.
    Report("SaveAtClose_1024", runs, [] {
        if (SaveDatabase() != 0 || SaveSettings() != 0)
            std::abort();
    });
    Report("SaveAtClose_1024_floor", runs, [&] { RawSave(folder); });
    DestroyWindow(main);
    return 0;
}
