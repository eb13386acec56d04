// Starts programs again and again and times each start from CreateProcess until the program
// waits for input (WaitForInputIdle), that is until its window is up and its start-up done.
// The programs take turns, one start each per round, so that a change in the machine's load
// during the run weighs on all of them alike and their ratios stay fair.
//   kestal_launch RUNS NAME EXE FOLDER [NAME EXE FOLDER ...]
// prints, for each program: ROW NAME median min max (microseconds)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

static BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM process)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == (DWORD)process && IsWindowVisible(window))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// One start of exe in folder, closed again the way the close box does; the microseconds
// until it was ready, or a negative number when it could not start or never became ready.
static double TimeOneStart(const char* exe, const char* folder, double frequency)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, ready;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(exe, NULL, NULL, NULL, FALSE, 0, NULL, folder, &startup, &process)) {
        std::fprintf(stderr, "kestal_launch: cannot start %s (%lu)\n", exe, GetLastError());
        return -1;
    }
    DWORD waited = WaitForInputIdle(process.hProcess, 20000);
    QueryPerformanceCounter(&ready);
    if (waited != 0)
        std::fprintf(stderr, "kestal_launch: %s never became ready (%lu)\n", exe, waited);
    // Wait until it is gone, so that the next start has the machine to itself.
    for (int tries = 0; WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT; ++tries) {
        EnumWindows(CloseWindowsOf, (LPARAM)process.dwProcessId);
        if (tries > 100)
            TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return waited == 0 ? (ready.QuadPart - start.QuadPart) * 1e6 / frequency : -1;
}

int main(int argc, char** argv)
{
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: kestal_launch RUNS NAME EXE FOLDER [NAME EXE FOLDER ...]\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    int programs = (argc - 2) / 3;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<std::vector<double>> times(programs);
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < programs; ++p) {
            double time = TimeOneStart(argv[3 + 3 * p], argv[4 + 3 * p], (double)frequency.QuadPart);
            if (time < 0)
                return 1;
            times[p].push_back(time);
        }
    }
    for (int p = 0; p < programs; ++p) {
        std::vector<double>& t = times[p];
        std::sort(t.begin(), t.end());
        std::printf("ROW %s %.1f %.1f %.1f\n", argv[2 + 3 * p], t[t.size() / 2], t.front(), t.back());
    }
    return 0;
}
