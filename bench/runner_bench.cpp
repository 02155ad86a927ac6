// Time and peak memory of RunRequest against HttpExchange alone, for one URL. Run one mode per process so
// that the peak memory belongs to that mode alone.
//
//   runner_bench.exe exchange|runner URL REPEATS [quiet]
//
// Both post their progress to a window of this thread, as the program does, and the time runs until this
// thread has handled every report (the exchange's reports wait in the queue until it returns; RunRequest
// handles them while it waits). quiet: no progress window, which leaves the runner's own cost.
// Prints one line: RESULT mode bodyBytes bestSeconds peakWorkingSetGrowth, the growth in bytes over the
// process's working set just before the first download.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "http/http_exchange.h"
#include "http/request_runner.h"

namespace {

std::size_t Download(const Text& mode, const Text& url, int progressWindow) {
    if (mode == "runner")
        return RunRequest(url, Text("GET"), Text(), Text(), Text(), 600, progressWindow, Text(), true,
                          nullptr, nullptr)
            .size();
    Text rawHeaders, cookieString;
    Bytes body;
    HttpExchange(url, "GET", "", "", "", progressWindow, "", true, rawHeaders, body, cookieString);
    return body.size();
}

SIZE_T WorkingSet(bool peak) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: runner_bench exchange|runner URL REPEATS [quiet]\n");
        return 2;
    }
    const Text mode = argv[1];
    const Text url = argv[2];
    const int repeats = std::max(1, std::atoi(argv[3]));
    const bool quiet = argc > 4 && Text(argv[4]) == "quiet";
    HWND window =
        quiet ? nullptr
              : CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const int progressWindow = static_cast<int>(reinterpret_cast<std::intptr_t>(window));

    const SIZE_T before = WorkingSet(false);
    double best = 1e30;
    std::size_t size = 0;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        size = Download(mode, url, progressWindow);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("RESULT %s %zu %.6f %lld\n", mode.c_str(), size, best,
                static_cast<long long>(WorkingSet(true)) - static_cast<long long>(before));
    if (window) DestroyWindow(window);
    return size ? 0 : 1;
}
