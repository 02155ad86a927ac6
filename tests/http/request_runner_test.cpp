// The runner end to end under Wine, against the local test servers (scripts/servers).
#include "http/request_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/memory_file.h"
#include "http/feedback_message.h"
#include "platform/win_api.h"

namespace {

std::string Port(const char* name) {
    const char* port = std::getenv(name);
    return port ? port : "";
}

std::string Misc(const std::string& path) {
    return "http://127.0.0.1:" + Port("CORVANA_MISC_PORT") + path;
}

// The bytes misc_server.py sends for /bytes/N and /stall.
Bytes Pattern(int n) {
    Bytes bytes(n);
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
}

// A hidden message-only window that counts the progress reports it receives and runs `onPoke` when
// WM_APP reaches it.
struct TestWindow {
    HWND handle = nullptr;
    int reports = 0;
    WPARAM lastBytes = 0;
    LPARAM lastSteps = 0;
    std::function<void()> onPoke;

    TestWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSA description{};
            description.lpfnWndProc = Procedure;
            description.hInstance = GetModuleHandleA(nullptr);
            description.lpszClassName = "RunnerTestWindow";
            return RegisterClassA(&description);
        }();
        handle = CreateWindowExA(0, MAKEINTATOM(windowClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() { DestroyWindow(handle); }
    int Id() const { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message == FeedbackMessage) {
            ++self->reports;
            self->lastBytes = wParam;
            self->lastSteps = lParam;
            return 0;
        }
        if (self && message == WM_APP && self->onPoke) {
            self->onPoke();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

// Handles everything queued for this thread now, as the main loop would after a call returns.
void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// Keeps handling this thread's messages for a while.
void PumpFor(int milliseconds) {
    std::int64_t end = GetUptimeMs() + milliseconds;
    while (GetUptimeMs() < end) {
        DrainQueue();
        SleepMs(20);
    }
}

struct Outcome {
    Bytes body;
    Text headers = "untouched";
    Text cookies = "untouched";
    std::int64_t ms = 0;
};

Outcome Send(const Text& url, std::optional<int> timeoutSeconds, int progressWindow = 0,
             const Text& method = "GET", const Text& postData = "") {
    Outcome outcome;
    std::int64_t start = GetUptimeMs();
    outcome.body = RunRequest(url, method, Text(), Text(), postData, timeoutSeconds, progressWindow, Text(),
                              true, &outcome.headers, &outcome.cookies);
    outcome.ms = GetUptimeMs() - start;
    return outcome;
}

class RequestRunner : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Port("CORVANA_MISC_PORT").empty()) << "start the test servers (scripts/servers)";
        DrainQueue();
    }
};

TEST_F(RequestRunner, FastRequestGivesBodyHeadersAndCookies) {
    TestWindow window;
    Outcome fast = Send(Misc("/setcookies?c=a%3D1%3B%20path%3D%2F&c=b%3D%3B%20path%3D%2F&c=c%3D3%3B%20x"), 10,
                        window.Id());
    EXPECT_EQ(fast.body, (Bytes{'c', 'o', 'o', 'k', 'i', 'e', 's'}));
    EXPECT_EQ(fast.headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << fast.headers;
    EXPECT_NE(fast.headers.find("Set-Cookie: a=1; path=/\r\n"), Text::npos);
    EXPECT_EQ(fast.cookies, "a=1; c=3");
    EXPECT_GE(fast.ms, 190); // the first poll after 100 ms, then the grace
    EXPECT_LT(fast.ms, 2000);
    DrainQueue();
    EXPECT_GE(window.reports, 2);
    EXPECT_EQ(window.lastBytes, 7u);
    EXPECT_EQ(window.lastSteps, 100);

    // A larger body and a POST come back byte for byte.
    Outcome large = Send(Misc("/bytes/1000000"), 10);
    EXPECT_EQ(large.body, Pattern(1000000));
    EXPECT_NE(large.headers.find("Content-Length: 1000000"), Text::npos);
    EXPECT_EQ(large.cookies, "");
    Outcome posted = Send(Misc("/echo"), 10, 0, "POST", "name=\xD6\xD0&x=1");
    Text echoed(posted.body.begin(), posted.body.end());
    EXPECT_EQ(echoed.rfind("POST /echo HTTP/1.1\r\n", 0), 0u) << echoed;
    EXPECT_NE(echoed.find("\r\n\r\nname=\xD6\xD0&x=1"), Text::npos) << echoed;
}

TEST_F(RequestRunner, ServerThatNeverAnswersTimesOutWithEmptyResults) {
    Outcome silent = Send(Misc("/never"), 1);
    EXPECT_TRUE(silent.body.empty());
    EXPECT_EQ(silent.headers, ""); // given: replaced by the empty text
    EXPECT_EQ(silent.cookies, "");
    EXPECT_GE(silent.ms, 1000);
    EXPECT_LT(silent.ms, 1800); // near the tenth poll

    Outcome negative = Send(Misc("/never"), -5);
    EXPECT_TRUE(negative.body.empty());
    EXPECT_EQ(negative.headers, "");
    EXPECT_GE(negative.ms, 190); // one poll and the grace
    EXPECT_LT(negative.ms, 900);
}

TEST_F(RequestRunner, OutputsNotGivenAreLeftAlone) {
    Text cookies = "old";
    Bytes body =
        RunRequest(Misc("/setcookies?c=k%3Dv%3B%20path%3D%2F"), std::nullopt, std::nullopt, std::nullopt,
                   std::nullopt, 10, std::nullopt, std::nullopt, true, nullptr, &cookies);
    EXPECT_EQ(body.size(), 7u);
    EXPECT_EQ(cookies, "k=v");
    Text headers = "old";
    body = RunRequest(Misc("/never"), Text("GET"), std::nullopt, std::nullopt, std::nullopt, -1, std::nullopt,
                      std::nullopt, true, &headers, nullptr);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(headers, "");
}

TEST_F(RequestRunner, MethodOtherThanGetOrPostWaitsItsWholeLimit) {
    Outcome put = Send(Misc("/echo"), 1, 0, "PUT");
    EXPECT_TRUE(put.body.empty());
    EXPECT_EQ(put.headers, "");
    EXPECT_EQ(put.cookies, "");
    EXPECT_GE(put.ms, 1000);
}

TEST_F(RequestRunner, RefusedPortFinishesAtOnceWithTheExchangesResults) {
    Outcome refused = Send("http://127.0.0.1:1/", 20);
    EXPECT_TRUE(refused.body.empty());
    EXPECT_EQ(refused.headers, Text(1024, ' '));
    EXPECT_EQ(refused.cookies, "");
    EXPECT_LT(refused.ms, 5000);
}

TEST_F(RequestRunner, SecondRequestStartedDuringTheWaitFinishesFirst) {
    TestWindow window;
    std::vector<std::string> finished;
    Outcome inner;
    window.onPoke = [&] {
        inner = Send(Misc("/bytes/5000"), 10);
        finished.push_back("inner");
    };
    PostMessageA(window.handle, WM_APP, 0, 0);
    Outcome outer = Send(Misc("/slow?chunks=8&size=1000&delay=100"), 10, window.Id());
    finished.push_back("outer");
    EXPECT_EQ(finished, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_EQ(inner.body, Pattern(5000));
    EXPECT_NE(inner.headers.find("Content-Length: 5000"), Text::npos);
    Bytes slowBody;
    for (int i = 0; i < 8; ++i)
        slowBody.insert(slowBody.end(), 1000, static_cast<std::uint8_t>('A' + i));
    EXPECT_EQ(outer.body, slowBody);
    EXPECT_NE(outer.headers.find("Content-Length: 8000"), Text::npos);
}

TEST_F(RequestRunner, EventPumpLeavesTheQuitRequestQueued) {
    TestWindow window;
    int pokes = 0;
    window.onPoke = [&] { ++pokes; };
    PostMessageA(window.handle, WM_APP, 0, 0);
    PostMessageA(window.handle, WM_APP, 0, 0);
    PostQuitMessage(7);
    Outcome during = Send(Misc("/bytes/10"), 10);
    EXPECT_EQ(during.body, Pattern(10));
    EXPECT_EQ(pokes, 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

// Every worker thread the runner starts, so that a test can wait for it to end.
std::vector<HANDLE> startedWorkers;
HANDLE WINAPI RecordingCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                    LPTHREAD_START_ROUTINE start, LPVOID argument, DWORD flags,
                                    LPDWORD threadId) {
    HANDLE thread = CreateThread(security, stackSize, start, argument, flags, threadId);
    HANDLE copy = nullptr;
    if (thread)
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
    if (copy) startedWorkers.push_back(copy);
    return thread;
}

// A worker still reading when the wait runs out touches nothing of its caller's again: no progress
// report after the call, no write into the memory files whose numbers the next request gets, and its
// thread ends once its blocked read gives up.
TEST_F(RequestRunner, LateWorkerHasNoFurtherEffect) {
    int freeNumber = OpenMemoryFile();
    CloseMemoryFile(freeNumber);
    sys::Fakes().CreateThread = RecordingCreateThread;
    startedWorkers.clear();

    TestWindow lateWindow, nextWindow;
    Outcome late = Send(Misc("/stall?after=8192"), 1, lateWindow.Id());
    EXPECT_TRUE(late.body.empty());
    EXPECT_EQ(late.headers, "");
    EXPECT_EQ(late.cookies, "");
    DrainQueue(); // reports posted before the call returned
    const int reportsAtReturn = lateWindow.reports;
    EXPECT_GE(reportsAtReturn, 1);           // it was reading
    EXPECT_EQ(OpenMemoryFile(), freeNumber); // the next request gets the same file numbers
    CloseMemoryFile(freeNumber);

    // Outlasts the late worker's blocked read, so that a stray end marker would end this wait early.
    Outcome next = Send(Misc("/slow?chunks=30&size=1000&delay=100"), 20, nextWindow.Id());
    sys::Fakes().CreateThread = nullptr;
    EXPECT_EQ(next.body.size(), 30000u);
    EXPECT_EQ(next.body.front(), 'A');
    EXPECT_NE(next.headers.find("Content-Length: 30000"), Text::npos);
    EXPECT_GE(next.ms, 2900);

    ASSERT_EQ(startedWorkers.size(), 2u);
    EXPECT_EQ(WaitForSingleObject(startedWorkers[0], 5000), WAIT_OBJECT_0) << "the late worker still runs";
    EXPECT_EQ(WaitForSingleObject(startedWorkers[1], 0), WAIT_OBJECT_0)
        << "a finished worker was not let end";
    for (HANDLE worker : startedWorkers)
        CloseHandle(worker);
    PumpFor(300);
    EXPECT_EQ(lateWindow.reports, reportsAtReturn);
    EXPECT_GE(nextWindow.reports, 8);
}

TEST(RequestWorker, DoesNothingForNumberZeroAWrongMarkerOrAfterBeingAbandoned) {
    RequestWorker(0);

    int requestFile = OpenMemoryFile(), signalFile = OpenMemoryFile();
    auto writeRecord = [&](const Text& marker) {
        SeekToStart(requestFile);
        WriteValues(requestFile, marker, Misc("/bytes/10"), Text("GET"), Text(), Text(), Text(),
                    std::int32_t{0}, Text(), true, std::int32_t{signalFile});
    };
    writeRecord("QelvoStar");
    RequestWorker(requestFile);
    EXPECT_EQ(GetLength(requestFile), 0); // read and emptied all the same
    EXPECT_EQ(GetLength(signalFile), 0);

    writeRecord(StartMarker);
    const int recordLength = GetLength(requestFile);
    auto stop = std::make_shared<WorkerStop>();
    stop->abandoned = true;
    RequestWorker(requestFile, stop);
    EXPECT_EQ(GetLength(requestFile), recordLength); // not even read: the numbers may be someone else's
    EXPECT_EQ(GetLength(signalFile), 0);

    RequestWorker(requestFile);
    Text headers, cookies, marker;
    Bytes body;
    SeekToStart(requestFile);
    ASSERT_TRUE(ReadValues(requestFile, headers, body, cookies));
    EXPECT_EQ(body, Pattern(10));
    SeekToStart(signalFile);
    ASSERT_TRUE(ReadValues(signalFile, marker));
    EXPECT_EQ(marker, EndMarker);
    CloseMemoryFile(requestFile);
    CloseMemoryFile(signalFile);
}

} // namespace
