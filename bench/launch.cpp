// Starts a program again and again and times each start from CreateProcess until the program
// waits for input (WaitForInputIdle), that is until its window is up and its start-up done.
//   kestal_launch NAME EXE FOLDER RUNS
// prints: ROW NAME median min max (microseconds)
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

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: kestal_launch NAME EXE FOLDER RUNS\n");
        return 2;
    }
    int runs = std::atoi(argv[4]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        LARGE_INTEGER start, ready;
        QueryPerformanceCounter(&start);
        if (!CreateProcessA(argv[2], NULL, NULL, NULL, FALSE, 0, NULL, argv[3], &startup, &process)) {
            std::fprintf(stderr, "kestal_launch: cannot start %s (%lu)\n", argv[2], GetLastError());
            return 1;
        }
        DWORD waited = WaitForInputIdle(process.hProcess, 20000);
        QueryPerformanceCounter(&ready);
        if (waited != 0) {
            std::fprintf(stderr, "kestal_launch: %s never became ready (%lu)\n", argv[2], waited);
            return 1;
        }
        times.push_back((ready.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart);
        // Close it the way the close box does, and wait until it is gone.
        for (int tries = 0; WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT; ++tries) {
            EnumWindows(CloseWindowsOf, (LPARAM)process.dwProcessId);
            if (tries > 100)
                TerminateProcess(process.hProcess, 1);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::sort(times.begin(), times.end());
    std::printf("ROW %s %.1f %.1f %.1f\n", argv[1], times[times.size() / 2], times.front(), times.back());
    return 0;
}
