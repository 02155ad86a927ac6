#include "core/clock.h"

#include "platform/message_loop.h"
#include "platform/win_api.h"

std::int64_t GetUptimeMs() {
    // 64 bits: no wrap after 49.7 days, so elapsed times stay right across it.
    return static_cast<std::int64_t>(sys::GetTickCount64());
}

void SleepMs(int milliseconds) {
    sys::Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds));
}

void ProcessEvents() {
    MSG msg;
    while (sys::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) return; // left queued for the main loop
        if (!sys::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) {
            // A handler of a message sent from another thread, run inside the peek, asked to quit: queue
            // the request again and leave it to the main loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        HandleLoopMessage(msg);
    }
}
