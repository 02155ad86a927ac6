// Download speed and peak memory of HttpExchange against a bare WinINet loop with the same flags, the
// same request header text and the same 4096-byte reads, for one URL.
//
//   exchange_bench.exe speed URL REPEATS
//     downloads REPEATS times by turns through the bare loop, the bare loop keeping the body, the
//     exchange, and the exchange posting its progress to a window of this thread (handled between
//     downloads); prints RESULT speed bodyBytes and the best seconds of each, in that order
//   exchange_bench.exe memory URL
//     one exchange in a fresh process; prints RESULT memory bodyBytes peakWorkingSetGrowth
//     peakPagefileGrowth, in bytes over the process's figures just before the download.
#include <windows.h>
#include <psapi.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "http/http_exchange.h"
#include "http/url.h"
#include "platform/win_api.h"

namespace {

const char UserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// The same client calls as the exchange makes for a GET without cookies, reading into one buffer and
// keeping nothing, or keeping the body in room reserved for the announced length: the least that keeping
// a body in memory costs.
std::size_t BareDownload(const Text& url, bool keep) {
    HINTERNET internet = sys::InternetOpenA(UserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection =
        sys::InternetConnectA(internet, UrlHost(url).c_str(), static_cast<INTERNET_PORT>(UrlPort(url)), "",
                              "", INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = sys::HttpOpenRequestA(connection, "GET", UrlPath(url).c_str(), "HTTP/1.1", nullptr,
                                              nullptr, INTERNET_FLAG_RELOAD, 0);
    const Text headers = ComposeRequestHeaders("", url, false, "", "");
    sys::HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
    Bytes body;
    if (keep) {
        DWORD announced = 0;
        DWORD size = sizeof announced;
        sys::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size,
                            nullptr);
        body.reserve(announced);
    }
    std::size_t total = 0;
    for (;;) {
        std::array<std::uint8_t, 4096> buffer{};
        DWORD count = 0;
        sys::InternetReadFile(request, buffer.data(), 4096, &count);
        if (count == 0) break;
        total += count;
        if (keep) body.insert(body.end(), buffer.data(), buffer.data() + count);
    }
    sys::InternetCloseHandle(request);
    sys::InternetCloseHandle(connection);
    sys::InternetCloseHandle(internet);
    return total;
}

std::size_t ExchangeDownload(const Text& url, int progressWindow) {
    Text rawHeaders, cookieString;
    Bytes body;
    if (!HttpExchange(url, "GET", "", "", "", progressWindow, "", true, rawHeaders, body, cookieString))
        return 0;
    return body.size();
}

double TimeOf(auto download, std::size_t& size) {
    double start = Seconds();
    size = download();
    return Seconds() - start;
}

} // namespace

int main(int argc, char** argv) {
    const Text mode = argc > 2 ? argv[1] : "";
    if (mode != "speed" && mode != "memory") {
        std::fprintf(stderr, "usage: exchange_bench speed URL REPEATS | exchange_bench memory URL\n");
        return 2;
    }
    const Text url = argv[2];

    if (mode == "memory") {
        BareDownload(url, false); // the client's own first-use memory is not the exchange's
        const PROCESS_MEMORY_COUNTERS before = Memory();
        std::size_t size = ExchangeDownload(url, 0);
        const PROCESS_MEMORY_COUNTERS after = Memory();
        std::printf(
            "RESULT memory %zu %lld %lld\n", size,
            static_cast<long long>(after.PeakWorkingSetSize) - static_cast<long long>(before.WorkingSetSize),
            static_cast<long long>(after.PeakPagefileUsage) - static_cast<long long>(before.PagefileUsage));
        return size ? 0 : 1;
    }

    // The three kinds take turns, so that the load of the machine falls on each alike.
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const int progressWindow = static_cast<int>(reinterpret_cast<std::intptr_t>(window));
    double bare = 1e30, keeping = 1e30, exchange = 1e30, posting = 1e30;
    std::size_t sizes[4] = {};
    for (int i = 0; i < repeats; ++i) {
        bare = std::min(bare, TimeOf([&] { return BareDownload(url, false); }, sizes[0]));
        keeping = std::min(keeping, TimeOf([&] { return BareDownload(url, true); }, sizes[3]));
        exchange = std::min(exchange, TimeOf([&] { return ExchangeDownload(url, 0); }, sizes[1]));
        posting = std::min(posting, TimeOf([&] { return ExchangeDownload(url, progressWindow); }, sizes[2]));
        MSG msg;
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    std::printf("RESULT speed %zu %.6f %.6f %.6f %.6f\n", sizes[0], bare, keeping, exchange, posting);
    return sizes[0] && sizes[0] == sizes[1] && sizes[1] == sizes[2] && sizes[2] == sizes[3] ? 0 : 1;
}
