#include "http/request_runner.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "core/clock.h"
#include "core/memory_file.h"
#include "platform/win_api.h"

namespace {

constexpr int PollIntervalMs = 100;
constexpr int GraceMs = 100;
constexpr int DefaultTimeoutSeconds = 90;
// How much longer than the wait a blocked client call of the worker may take: long enough that the wait
// reliably runs out first, short enough that an abandoned worker soon ends.
constexpr std::int64_t WorkerOvertimeMs = 1000;

struct HandleCloser {
    void operator()(HANDLE handle) const { sys::CloseHandle(handle); }
};
using ThreadHandle = std::unique_ptr<void, HandleCloser>;

// What a worker thread gets: its request file and the state it shares with its runner. The thread owns
// it from the moment it starts.
struct WorkerStart {
    int requestFile;
    std::shared_ptr<WorkerStop> stop;
};

DWORD WINAPI WorkerThread(LPVOID argument) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    RequestWorker(start->requestFile, start->stop);
    return 0;
}

ThreadHandle StartWorker(int requestFile, const std::shared_ptr<WorkerStop>& stop) {
    auto start = std::make_unique<WorkerStart>(WorkerStart{requestFile, stop});
    ThreadHandle thread(sys::CreateThread(nullptr, 0, WorkerThread, start.get(), 0, nullptr));
    if (thread) start.release(); // the thread deletes it
    return thread;
}

// From here on the worker writes nothing (a write it has begun is finished first), and its exchange posts
// no further progress report (one being posted right now is finished first) and stops at its next test.
void Abandon(WorkerStop& stop) {
    std::lock_guard guard(stop.lock);
    stop.abandoned = true;
    StopExchange(stop.exchange);
}

} // namespace

void RequestWorker(int requestFile, const std::shared_ptr<WorkerStop>& stop) {
    if (requestFile == 0) return;
    Text marker, url, method, proxy, extraHeaders, postData, cookies;
    std::int32_t progressWindow = 0, signalFile = 0;
    bool doNotKeepCookies = false;
    {
        std::lock_guard guard(stop->lock);
        if (stop->abandoned) return; // the files may already belong to another request
        SeekToStart(requestFile);
        ReadValues(requestFile, marker, url, method, proxy, extraHeaders, postData, progressWindow, cookies,
                   doNotKeepCookies, signalFile);
        SeekToStart(requestFile);
        DeleteBytes(requestFile, GetLength(requestFile));
    }
    if (marker != StartMarker) return;

    Text rawHeaders, cookieString;
    Bytes body;
    bool finished = HttpExchange(url, method, proxy, extraHeaders, postData, progressWindow, cookies,
                                 doNotKeepCookies, rawHeaders, body, cookieString, stop->exchange);
    if (!finished) return;
    std::lock_guard guard(stop->lock);
    if (stop->abandoned) return;
    WriteValues(requestFile, rawHeaders, std::move(body), cookieString); // handed over, not copied
    WriteValues(signalFile, EndMarker); // last: the runner reads the response only after seeing it
}

Bytes RunRequest(const Text& url, std::optional<Text> method, std::optional<Text> proxy,
                 std::optional<Text> extraHeaders, std::optional<Text> postData,
                 std::optional<int> timeoutSeconds, std::optional<int> progressWindow,
                 std::optional<Text> cookies, std::optional<bool> doNotKeepCookies, Text* returnedHeaders,
                 Text* returnedCookies) {
    const std::int64_t startMs = GetUptimeMs();
    const int requestFile = OpenMemoryFile();
    const int signalFile = OpenMemoryFile();
    WriteValues(requestFile, StartMarker, url, method.value_or(Text()), proxy.value_or(Text()),
                extraHeaders.value_or(Text()), postData.value_or(Text()),
                std::int32_t{progressWindow.value_or(0)}, cookies.value_or(Text()),
                doNotKeepCookies.value_or(false), std::int32_t{signalFile});

    int seconds = timeoutSeconds.value_or(0) != 0 ? *timeoutSeconds : DefaultTimeoutSeconds;
    const std::int64_t limitMs = std::int64_t{seconds} * 1000;

    auto stop = std::make_shared<WorkerStop>();
    stop->exchange.timeLimitMs = static_cast<int>(
        std::min<std::int64_t>(std::max<std::int64_t>(limitMs, 0) + WorkerOvertimeMs, INT_MAX));
    ThreadHandle worker = StartWorker(requestFile, stop);

    Text signal;
    for (;;) {
        SleepMs(PollIntervalMs);
        ProcessEvents();
        SeekToStart(signalFile);
        if (!ReadValues(signalFile, signal)) signal.clear();
        if (signal == EndMarker) break;
        if (GetUptimeMs() - startMs >= limitMs) break;
    }
    const bool ended = signal == EndMarker;
    if (!ended) Abandon(*stop);

    SleepMs(GraceMs);
    // A worker that has written the end marker has only its own values left to release.
    if (ended && worker) WaitForSingleObject(worker.get(), INFINITE);
    worker.reset();

    Text rawHeaders, cookieString;
    Bytes body;
    if (ended && SeekToStart(requestFile))
        ReadValuesAndClose(requestFile, rawHeaders, body, cookieString); // takes the worker's body as it is
    else
        CloseMemoryFile(requestFile);
    CloseMemoryFile(signalFile);

    if (returnedHeaders) *returnedHeaders = std::move(rawHeaders);
    if (returnedCookies) *returnedCookies = std::move(cookieString);
    return body;
}
