// Click to "读取完毕" in the real corvana.exe: one click on the main button per run, the body served by the
// local misc server's /lines/N, shown in the window. Also the longest time the window took to answer a
// message while the click ran (probed from a second thread). Used by scripts/bench-click.
//   click_bench MISC_PORT REPEATS SIZE...
// Prints one line per size: RESULT bytes bestSeconds worstStallMs shownLength
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "ui/controls.h"
#include "ui_driver.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Put(HWND control, const std::string& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 60000,
                        &ignored);
}

std::size_t LengthOf(HWND control) {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 60000, &length);
    return length;
}

// Sends WM_NULL to the window again and again and keeps the longest answer time.
struct StallProbe {
    explicit StallProbe(HWND window)
        : thread([this, window] {
              while (!stop) {
                  auto start = Clock::now();
                  DWORD_PTR ignored = 0;
                  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
                  double ms = SecondsSince(start) * 1000;
                  if (ms > worstMs) worstMs = ms;
                  Sleep(5);
              }
          }) {}
    ~StallProbe() {
        stop = true;
        thread.join();
    }
    std::atomic<bool> stop{false};
    std::atomic<double> worstMs{0};
    std::thread thread;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: click_bench MISC_PORT REPEATS SIZE...\n");
        return 2;
    }
    const std::string port = argv[1];
    const int repeats = std::atoi(argv[2]);
    RunningProgram program = LaunchProgram(CorvanaExe());
    HWND window = WaitForMainWindow(program);
    if (!window) {
        std::fprintf(stderr, "no main window\n");
        return 1;
    }
    HWND status = FindControl(window, 显示_提示信息), body = FindControl(window, 显示_返回数据);
    const std::string done = AnsiOf(L"读取完毕");
    Put(FindControl(window, 输入_模拟方式), "GET");
    for (int i = 3; i < argc; ++i) {
        const long bytes = std::atol(argv[i]);
        Put(FindControl(window, 输入_完整地址),
            "http://127.0.0.1:" + port + "/lines/" + std::to_string(bytes));
        double best = 1e9, worstStall = 0;
        std::size_t shown = 0;
        for (int run = 0; run < repeats; ++run) {
            Put(body, "");
            Put(status, "");
            BringToFront(window);
            double seconds = 0;
            {
                StallProbe probe(window);
                auto start = Clock::now();
                Click(FindControl(window, 功能_主要功能));
                while (TextOf(status) != done)
                    Sleep(2);
                seconds = SecondsSince(start);
                worstStall = std::max(worstStall, probe.worstMs.load());
            }
            shown = LengthOf(body);
            best = std::min(best, seconds);
        }
        std::printf("RESULT %ld %.3f %.0f %zu\n", bytes, best, worstStall, shown);
        std::fflush(stdout);
    }
    EndProgram(program);
    return 0;
}
