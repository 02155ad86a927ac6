// The exchange through the real client against real local servers (httpbin, the repository's misc
// server on plain and TLS ports, tinyproxy), started by the test scripts; ports come from CORVANA_*_PORT.
#include "http/http_exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <windows.h>

#include "http/feedback_message.h"

namespace {

struct Exchange {
    bool finished = false;
    Text rawHeaders;
    Bytes body;
    Text cookieString;

    Text BodyText() const { return Text(body.begin(), body.end()); }
};

struct Request {
    Text url;
    Text method = "GET";
    Text proxy;
    Text extraHeaders;
    Text postData;
    int progressWindow = 0;
    Text cookies;
    bool doNotKeepCookies = true;
};

Exchange Fetch(const Request& r, const ExchangeStop& stop = ExchangeStop{}) {
    Exchange e;
    e.finished = HttpExchange(r.url, r.method, r.proxy, r.extraHeaders, r.postData, r.progressWindow,
                              r.cookies, r.doNotKeepCookies, e.rawHeaders, e.body, e.cookieString, stop);
    return e;
}

Text Port(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The misc server's body pattern for /bytes/N and /stall.
Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
}

bool IsPatternPrefix(const Bytes& body) {
    return body == Pattern(body.size());
}

bool Contains(const Text& text, const Text& part) {
    return text.find(part) != Text::npos;
}

// Header blocks as the client gives them: a status line, header lines and an empty line, all ending in CR LF.
void ExpectWholeHeaderBlock(const Text& rawHeaders) {
    EXPECT_EQ(rawHeaders.rfind("HTTP/1.", 0), 0u) << rawHeaders.substr(0, 80);
    ASSERT_GE(rawHeaders.size(), 4u);
    EXPECT_EQ(rawHeaders.substr(rawHeaders.size() - 4), "\r\n\r\n");
}

const Text NoResponse(1024, ' ');

class HttpExchangeServer : public testing::Test {
  protected:
    void SetUp() override {
        httpbin = Port("CORVANA_HTTPBIN_PORT");
        misc = Port("CORVANA_MISC_PORT");
        tls = Port("CORVANA_TLS_PORT");
        proxy = Port("CORVANA_PROXY_PORT");
        proxyLog = Port("CORVANA_PROXY_LOG");
        if (httpbin.empty() || misc.empty() || tls.empty() || proxy.empty())
            GTEST_SKIP()
                << "test servers not running: start them with scripts/servers and set CORVANA_*_PORT";
    }

    Text Httpbin(const Text& path) const { return "http://127.0.0.1:" + httpbin + path; }
    Text Misc(const Text& path, const Text& host = "127.0.0.1") const {
        return "http://" + host + ":" + misc + path;
    }

    Text httpbin, misc, tls, proxy, proxyLog;
};

TEST_F(HttpExchangeServer, SendsTheComposedLinesAsTheServerSeesThem) {
    Request r;
    r.url = Httpbin("/headers");
    r.extraHeaders = "X-Corvana: \xD6\xD0 1\r\naccept-language: en\r\n";
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    ExpectWholeHeaderBlock(e.rawHeaders);
    const Text body = e.BodyText();
    EXPECT_TRUE(Contains(body, "\"User-Agent\":\"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\""))
        << body;
    EXPECT_TRUE(Contains(body, "\"Accept\":\"image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                               "application/x-shockwave-flash, application/vnd.ms-excel, "
                               "application/vnd.ms-powerpoint, application/msword, */*\""))
        << body;
    EXPECT_TRUE(Contains(body, "\"Referer\":\"" + r.url + "\"")) << body;
    EXPECT_TRUE(Contains(body, "\"Accept-Language\":\"en\"")) << body;
    EXPECT_FALSE(Contains(body, "zh-cn")) << body;
    EXPECT_TRUE(Contains(body, "\"X-Corvana\":\"\\u00d6\\u00d0 1\"")) << body;
}

TEST_F(HttpExchangeServer, PostCarriesTheDataWithTypeAndTrueLength) {
    Request r;
    r.url = Misc("/echo");
    r.method = "post";
    r.extraHeaders = "X-A: 1\r\n";
    r.postData = "a=1&b=\xD6\xD0";
    r.cookies = "u=1; v=2";
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    const Text echoed = e.BodyText();
    EXPECT_EQ(echoed.rfind("post /echo HTTP/1.1\r\n", 0), 0u) << echoed;
    // The lines go out in the order composed, the data right after the empty line.
    std::size_t at = 0;
    for (const Text& line :
         {Text("X-A: 1\r\n"), Text("Accept: image/gif"), "Referer: " + r.url + "\r\n",
          Text("Accept-Language: zh-cn\r\n"), Text("Content-Type: application/x-www-form-urlencoded\r\n"),
          Text("Content-Length: 8\r\n"), Text("Cookie: u=1; v=2\r\n")}) {
        std::size_t found = echoed.find(line, at);
        EXPECT_NE(found, Text::npos) << line << " in " << echoed;
        at = found == Text::npos ? at : found;
    }
    EXPECT_EQ(echoed.substr(echoed.size() - 12), "\r\n\r\na=1&b=\xD6\xD0");

    r.url = Httpbin("/post");
    r.method = "POST";
    r.cookies = "";
    e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_TRUE(Contains(e.BodyText(), "\"Content-Type\":\"application/x-www-form-urlencoded\""))
        << e.BodyText();
    EXPECT_TRUE(Contains(e.BodyText(), "\"Content-Length\":\"8\"")) << e.BodyText();
    EXPECT_TRUE(Contains(e.BodyText(), "\"a\":\"1\"")) << e.BodyText();
}

TEST_F(HttpExchangeServer, UserCookiesReachTheServer) {
    Request r;
    r.url = Httpbin("/cookies");
    r.cookies = "userA=1; userB=\xD6\xD0";
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_TRUE(Contains(e.BodyText(), "\"userA\":\"1\"")) << e.BodyText();
    EXPECT_TRUE(Contains(e.BodyText(), "\"userB\":")) << e.BodyText();
}

TEST_F(HttpExchangeServer, CookieStringComesFromTheFinalResponse) {
    Request r;
    r.url =
        Httpbin("/response-headers?Set-Cookie=rhA%3D1%3B%20Path%3D%2F&Set-Cookie=rhB%3D&Set-Cookie=rhC%3D3");
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.cookieString, "rhA=1; rhC=3");

    // The redirect is followed; its Set-Cookie lines belong to the response before, and the client's
    // own cookie handling kept them and sent them on.
    r.url = Httpbin("/cookies/set?csA=1&csB=2");
    e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.cookieString, "");
    EXPECT_TRUE(Contains(e.BodyText(), "\"csA\":\"1\"")) << e.BodyText();
    EXPECT_TRUE(Contains(e.BodyText(), "\"csB\":\"2\"")) << e.BodyText();
}

TEST_F(HttpExchangeServer, HeaderBlocksOfAnySizeComeBackWhole) {
    for (int kb : {2, 64}) {
        Request r;
        r.url = Misc("/headers?kb=" + std::to_string(kb) + "&c=bigA%3D1%3B%20path%3D%2F&c=bigB%3D2");
        Exchange e = Fetch(r);
        ASSERT_TRUE(e.finished) << kb;
        ExpectWholeHeaderBlock(e.rawHeaders);
        EXPECT_GT(e.rawHeaders.size(), static_cast<std::size_t>(kb) * 1024) << kb;
        EXPECT_TRUE(Contains(e.rawHeaders, "X-Filler-00000: ")) << kb;
        EXPECT_TRUE(Contains(e.rawHeaders, "\r\nSet-Cookie: bigB=2\r\n\r\n")) << kb;
        EXPECT_EQ(e.cookieString, "bigA=1; bigB=2") << kb;
        EXPECT_EQ(e.BodyText(), "big") << kb;
    }
}

TEST_F(HttpExchangeServer, TlsWithABadCertificateIsRead) {
    for (Text scheme : {"https://", "HTTPS://"}) {
        Request r;
        r.url = scheme + "127.0.0.1:" + tls + "/bytes/10000";
        Exchange e = Fetch(r);
        ASSERT_TRUE(e.finished) << scheme;
        EXPECT_EQ(e.body, Pattern(10000)) << scheme;
        ExpectWholeHeaderBlock(e.rawHeaders);
    }
}

TEST_F(HttpExchangeServer, ProxyCarriesTheRequestAndBlanksMeanDirect) {
    if (proxyLog.empty()) GTEST_SKIP() << "CORVANA_PROXY_LOG not set";
    auto logHolds = [&](const Text& part) {
        std::ifstream log(proxyLog);
        std::stringstream text;
        text << log.rdbuf();
        return Contains(text.str(), part);
    };
    const Text stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    Request r;
    r.url = Misc("/echo?via-proxy-" + stamp);
    r.proxy = "127.0.0.1:" + proxy;
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.BodyText().rfind("GET ", 0), 0u) << e.BodyText();
    EXPECT_TRUE(logHolds("/echo?via-proxy-" + stamp)) << "tinyproxy's log does not show the request";

    r.url = Misc("/echo?direct-" + stamp);
    r.proxy = "   ";
    e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.BodyText().rfind("GET /echo?direct-" + stamp + " HTTP/1.1\r\n", 0), 0u) << e.BodyText();
    EXPECT_FALSE(logHolds("/echo?direct-" + stamp)) << "a proxy of blanks went through the proxy";
}

TEST_F(HttpExchangeServer, NothingListeningFinishesEmpty) {
    Request r;
    r.url = "http://127.0.0.1:1/x"; // nothing listens on port 1
    r.doNotKeepCookies = false;
    Exchange e = Fetch(r);
    EXPECT_TRUE(e.finished);
    EXPECT_TRUE(e.body.empty());
    EXPECT_EQ(e.rawHeaders, NoResponse);
    EXPECT_EQ(e.cookieString, "");
}

// Each case uses cookie names of its own: the store is process-wide and ignores the port. The user's own
// cookies on the first request turn the client's cookie handling off, so only keeping stores anything.
TEST_F(HttpExchangeServer, OnlyKeptCookiesAreSentOnLaterRequests) {
    struct Case {
        bool doNotKeepCookies;
        Text host;
        Text name;
    } cases[] = {{false, "localhost", "keptA"}, {true, "127.0.0.1", "droppedA"}};
    for (const Case& c : cases) {
        Request set;
        set.url = Misc("/setcookies?c=" + c.name + "%3D1%3B%20path%3D%2F&c=" + c.name + "2%3D2", c.host);
        set.cookies = "mine=1";
        set.doNotKeepCookies = c.doNotKeepCookies;
        Exchange e = Fetch(set);
        ASSERT_TRUE(e.finished) << c.name;
        EXPECT_EQ(e.cookieString, c.name + "=1; " + c.name + "2=2");

        Request later;
        later.url = Misc("/cookie-echo", c.host);
        e = Fetch(later);
        ASSERT_TRUE(e.finished) << c.name;
        EXPECT_EQ(Contains(e.BodyText(), c.name + "=1"), !c.doNotKeepCookies) << e.BodyText();
        EXPECT_EQ(Contains(e.BodyText(), c.name + "2=2"), !c.doNotKeepCookies) << e.BodyText();
    }
    // Kept for one host, not sent to another.
    Request other;
    other.url = Misc("/cookie-echo", "127.0.0.1");
    EXPECT_FALSE(Contains(Fetch(other).BodyText(), "keptA")) << Fetch(other).BodyText();
}

TEST_F(HttpExchangeServer, ProgressReachesARealWindow) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Request r;
    r.url = Misc("/bytes/10000");
    r.progressWindow = static_cast<int>(reinterpret_cast<std::intptr_t>(window));
    Exchange e = Fetch(r);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.body, Pattern(10000));
    std::vector<std::pair<WPARAM, LPARAM>> posts;
    MSG msg;
    while (PeekMessageA(&msg, window, FeedbackMessage, FeedbackMessage, PM_REMOVE))
        posts.emplace_back(msg.wParam, msg.lParam);
    DestroyWindow(window);
    // The client fills each 4096-byte read before it returns.
    EXPECT_EQ(posts, (std::vector<std::pair<WPARAM, LPARAM>>{
                         {4096, 1}, {8192, 2}, {10000, 3}, {10000, 4}, {10000, 100}}));
}

TEST_F(HttpExchangeServer, HostileServersEndWithWhatCame) {
    ExchangeStop stop;
    stop.timeLimitMs = 1500;

    Request r;
    r.url = Misc("/stall?after=10000");
    Exchange e = Fetch(r, stop);
    EXPECT_TRUE(e.finished) << "stall";
    EXPECT_EQ(e.body, Pattern(10000)) << "stall";
    ExpectWholeHeaderBlock(e.rawHeaders);

    r.url = Misc("/reset?after=10000");
    e = Fetch(r, stop);
    EXPECT_TRUE(e.finished) << "reset";
    EXPECT_LE(e.body.size(), 10000u) << "reset";
    EXPECT_TRUE(IsPatternPrefix(e.body)) << "reset";

    r.url = Misc("/zeros/100000");
    e = Fetch(r, stop);
    EXPECT_TRUE(e.finished) << "zeros";
    EXPECT_EQ(e.body, Bytes(100000, 0)) << "zeros";

    r.url = Misc("/never");
    e = Fetch(r, stop);
    EXPECT_TRUE(e.finished) << "never";
    EXPECT_TRUE(e.body.empty()) << "never";

    // The limit is per wait: a slow server that keeps sending is read to its end.
    r.url = Misc("/slow?chunks=4&size=3000&delay=700");
    e = Fetch(r, stop);
    EXPECT_TRUE(e.finished) << "slow";
    EXPECT_EQ(e.body.size(), 12000u) << "slow";
}

// The exchange runs on its own thread, as under the request runner, and is stopped while the server holds it.
TEST_F(HttpExchangeServer, StoppedExchangeReturnsOnceItsLimitPasses) {
    for (Text path : {"/stall?after=10000", "/never"}) {
        struct Outcome {
            std::atomic<bool> done{false};
            bool finished = true;
            std::size_t bodySize = 0;
        };
        auto outcome = std::make_shared<Outcome>();
        ExchangeStop stop;
        stop.timeLimitMs = 2000;
        const Text url = Misc(path);
        std::thread worker([outcome, stop, url] {
            Text rawHeaders, cookieString;
            Bytes body;
            outcome->finished =
                HttpExchange(url, "", "", "", "", 0, "", true, rawHeaders, body, cookieString, stop);
            outcome->bodySize = body.size();
            outcome->done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_FALSE(outcome->done) << path << ": the server holds the request";
        StopExchange(stop);
        // Without the limit the client would wait for the server's two minutes; allow ample slack.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!outcome->done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!outcome->done) {
            worker.detach(); // it holds nothing of this test's; the process ends it
            FAIL() << path << ": the stopped exchange did not return";
        }
        worker.join();
        EXPECT_FALSE(outcome->finished) << path;
    }
}

} // namespace
