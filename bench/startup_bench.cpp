// Starts corvana.exe several times and measures, for each start, the time from process creation to the
// first painted window; then, on the last start, the working set once the window is at rest.
// Usage: startup_bench.exe PATH\corvana.exe [RUNS]
// Prints "first_paint_ms <min> <median> <max>" and "working_set_kb <kb> peak_kb <kb>".
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui_driver.h"

namespace {

BOOL CALLBACK FindPendingPaint(HWND window, LPARAM parameter) {
    if (GetUpdateRect(window, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
    }
    return TRUE;
}

// Painted: visible, its thread back in the message loop, and no part of it or its controls still
// waiting to be painted.
bool IsPainted(HWND window) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored)) return false;
    bool pending = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    if (!pending) EnumChildWindows(window, FindPendingPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// One start: milliseconds to the first painted window (negative when it never came). The process is
// left running when keepRunning, for the memory reading.
double TimeOneStart(const std::string& exe, PROCESS_INFORMATION& info) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    ULONGLONG deadline = GetTickCount64() + 30000;
    while (GetTickCount64() < deadline) {
        HWND window = FindTopWindow(info.dwProcessId, "CorvanaMainWindow");
        if (window && IsPainted(window)) {
            LARGE_INTEGER painted;
            QueryPerformanceCounter(&painted);
            return Milliseconds(start, painted);
        }
        Sleep(1);
    }
    return -1;
}

void End(PROCESS_INFORMATION& info) {
    // Ended from outside: closing it would open the vendor's web site.
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_bench PATH\\corvana.exe [RUNS]\n");
        return 2;
    }
    std::string exe = argv[1];
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    // A first start that is not counted: Wine loads its own libraries from disk the first time.
    PROCESS_INFORMATION info{};
    if (TimeOneStart(exe, info) < 0) {
        std::fprintf(stderr, "the window did not appear\n");
        return 1;
    }
    End(info);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        double ms = TimeOneStart(exe, info);
        if (ms < 0) {
            std::fprintf(stderr, "the window did not appear\n");
            return 1;
        }
        times.push_back(ms);
        if (run + 1 < runs) End(info);
    }
    // The last window stays up: its working set at rest, after a second of nothing happening.
    Sleep(1000);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    bool measured = GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory);
    End(info);

    std::sort(times.begin(), times.end());
    std::printf("first_paint_ms %.1f %.1f %.1f\n", times.front(), times[times.size() / 2], times.back());
    if (measured)
        std::printf("working_set_kb %zu peak_kb %zu\n",
                    static_cast<std::size_t>(memory.WorkingSetSize / 1024),
                    static_cast<std::size_t>(memory.PeakWorkingSetSize / 1024));
    return 0;
}
