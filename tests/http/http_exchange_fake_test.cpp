// The exchange against a recording stand-in for the HTTP client: the exact calls, flags and arguments,
// the progress posts and every early way out with the handles it closes.
#include "http/http_exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "http/feedback_message.h"
#include "platform/win_api.h"

namespace {

using Calls = std::vector<std::string>;

const HINTERNET InternetHandle = reinterpret_cast<HINTERNET>(0x10);
const HINTERNET ConnectionHandle = reinterpret_cast<HINTERNET>(0x20);
const HINTERNET RequestHandle = reinterpret_cast<HINTERNET>(0x30);
constexpr DWORD ContentLengthQuery = HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER;

// What the stand-in client answers, and what it was asked.
struct FakeClient {
    bool openFails = false;
    bool connectFails = false;
    bool requestFails = false;
    DWORD securityFlags = 0x3000;
    std::vector<DWORD> chunks;            // bytes delivered by successive reads; afterwards reads deliver 0
    std::optional<DWORD> announced;       // the Content-Length the response announces
    std::optional<Text> rawHeaders;       // none: the header query fails as when no response came
    std::function<void(int read)> onRead; // runs inside each read, numbered from 1

    Calls calls;
    Text sentHeaders;
    Text sentData;
    bool sentDataWasNull = false;
    std::vector<std::vector<unsigned>> posts; // {wParam, lParam}
    int reads = 0;
    std::size_t delivered = 0;
};
FakeClient* fake = nullptr;

std::string Str(LPCSTR text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

std::string Name(HINTERNET handle) {
    if (handle == InternetHandle) return "I";
    if (handle == ConnectionHandle) return "C";
    if (handle == RequestHandle) return "R";
    return "?";
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

// The byte at a position of the fake body, so that the order of the chunks shows.
std::uint8_t BodyByte(std::size_t position) {
    return static_cast<std::uint8_t>(position % 251);
}

void InstallFakes() {
    sys::FakeEntries& f = sys::Fakes();
    f.InternetOpenA = [](LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) -> HINTERNET {
        fake->calls.push_back("InternetOpenA(" + Str(agent) + ", " + std::to_string(access) + ", " +
                              Str(proxy) + ", " + Str(bypass) + ", " + std::to_string(flags) + ")");
        return fake->openFails ? nullptr : InternetHandle;
    };
    f.InternetConnectA = [](HINTERNET internet, LPCSTR host, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                            DWORD service, DWORD flags, DWORD_PTR context) -> HINTERNET {
        fake->calls.push_back("InternetConnectA(" + Name(internet) + ", " + Str(host) + ", " +
                              std::to_string(port) + ", " + Str(user) + ", " + Str(password) + ", " +
                              std::to_string(service) + ", " + std::to_string(flags) + ", " +
                              std::to_string(context) + ")");
        return fake->connectFails ? nullptr : ConnectionHandle;
    };
    f.HttpOpenRequestA = [](HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                            LPCSTR* accept, DWORD flags, DWORD_PTR context) -> HINTERNET {
        fake->calls.push_back("HttpOpenRequestA(" + Name(connection) + ", " + Str(verb) + ", " + Str(object) +
                              ", " + Str(version) + ", " + Str(referrer) + ", " + (accept ? "list" : "null") +
                              ", " + Hex(flags) + ", " + std::to_string(context) + ")");
        return fake->requestFails ? nullptr : RequestHandle;
    };
    f.InternetQueryOptionA = [](HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length) -> BOOL {
        fake->calls.push_back("InternetQueryOptionA(" + Name(handle) + ", " + std::to_string(option) +
                              ", size " + std::to_string(*length) + ")");
        if (option != INTERNET_OPTION_SECURITY_FLAGS || *length != 4) return FALSE;
        *static_cast<DWORD*>(buffer) = fake->securityFlags;
        return TRUE;
    };
    f.InternetSetOptionA = [](HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) -> BOOL {
        DWORD value = *static_cast<DWORD*>(buffer);
        fake->calls.push_back(
            "InternetSetOptionA(" + Name(handle) + ", " + std::to_string(option) + ", " +
            (option == INTERNET_OPTION_SECURITY_FLAGS ? Hex(value) : std::to_string(value)) + ", size " +
            std::to_string(length) + ")");
        return TRUE;
    };
    f.HttpSendRequestA = [](HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID data,
                            DWORD dataLength) -> BOOL {
        fake->calls.push_back("HttpSendRequestA(" + Name(request) + ")");
        fake->sentHeaders.assign(headers, headersLength);
        fake->sentDataWasNull = data == nullptr;
        if (data) fake->sentData.assign(static_cast<const char*>(data), dataLength);
        EXPECT_TRUE(data || dataLength == 0);
        return TRUE;
    };
    f.InternetReadFile = [](HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read) -> BOOL {
        fake->calls.push_back("InternetReadFile(" + Name(request) + ", " + std::to_string(toRead) + ")");
        int index = fake->reads++;
        DWORD count = index < static_cast<int>(fake->chunks.size()) ? fake->chunks[index] : 0;
        for (DWORD i = 0; i < count; ++i)
            static_cast<std::uint8_t*>(buffer)[i] = BodyByte(fake->delivered + i);
        fake->delivered += count;
        *read = count;
        if (fake->onRead) fake->onRead(index + 1);
        return TRUE;
    };
    f.HttpQueryInfoA = [](HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length,
                          LPDWORD index) -> BOOL {
        fake->calls.push_back("HttpQueryInfoA(" + Name(request) + ", " + Hex(level) + ", size " +
                              std::to_string(*length) + ", " + (index ? "index" : "null") + ")");
        if (level == ContentLengthQuery) {
            if (!fake->announced || *length != 4) return FALSE;
            *static_cast<DWORD*>(buffer) = *fake->announced;
            return TRUE;
        }
        if (level != HTTP_QUERY_RAW_HEADERS_CRLF || !fake->rawHeaders) return FALSE;
        const Text& text = *fake->rawHeaders;
        if (*length < text.size() + 1) { // as the client does: the size it needs, the buffer untouched
            *length = static_cast<DWORD>(text.size() + 1);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::copy(text.begin(), text.end(), static_cast<char*>(buffer));
        static_cast<char*>(buffer)[text.size()] = '\0';
        *length = static_cast<DWORD>(text.size());
        return TRUE;
    };
    f.InternetSetCookieA = [](LPCSTR url, LPCSTR name, LPCSTR data) -> BOOL {
        fake->calls.push_back("InternetSetCookieA(" + Str(url) + ", " + Str(name) + ", " + Str(data) + ")");
        return TRUE;
    };
    f.InternetCloseHandle = [](HINTERNET handle) -> BOOL {
        fake->calls.push_back("InternetCloseHandle(" + Name(handle) + ")");
        return TRUE;
    };
    f.PostMessageA = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> BOOL {
        EXPECT_EQ(reinterpret_cast<std::intptr_t>(window), 77);
        EXPECT_EQ(message, 32885u);
        fake->posts.push_back({static_cast<unsigned>(wParam), static_cast<unsigned>(lParam)});
        return TRUE;
    };
}

const std::string Agent = "\"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\"";
const std::string DirectOpen = "InternetOpenA(" + Agent + ", 1, null, null, 0)";
const std::string Close3[] = {"InternetCloseHandle(R)", "InternetCloseHandle(C)", "InternetCloseHandle(I)"};

struct Exchange {
    bool finished = false;
    Text rawHeaders;
    Bytes body;
    Text cookieString;
};

class HttpExchangeFake : public testing::Test {
  protected:
    void SetUp() override {
        fake = &client;
        client.rawHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
        InstallFakes();
    }
    void TearDown() override {
        sys::Fakes() = sys::FakeEntries{};
        fake = nullptr;
    }

    Exchange Run(const Text& url, const Text& method = "GET", const Text& proxy = "",
                 const Text& extraHeaders = "", const Text& postData = "", int progressWindow = 77,
                 const Text& cookies = "", bool doNotKeepCookies = true,
                 const ExchangeStop& stop = ExchangeStop{}) {
        Exchange e;
        e.rawHeaders = "stale";
        e.body = {1, 2, 3};
        e.cookieString = "stale";
        e.finished = HttpExchange(url, method, proxy, extraHeaders, postData, progressWindow, cookies,
                                  doNotKeepCookies, e.rawHeaders, e.body, e.cookieString, stop);
        return e;
    }

    // The calls with the given prefix, in order.
    Calls CallsOf(const std::string& prefix) const {
        Calls found;
        for (const std::string& call : client.calls)
            if (call.rfind(prefix, 0) == 0) found.push_back(call);
        return found;
    }

    Bytes ExpectedBody(std::size_t size) const {
        Bytes body(size);
        for (std::size_t i = 0; i < size; ++i)
            body[i] = BodyByte(i);
        return body;
    }

    FakeClient client;
};

TEST_F(HttpExchangeFake, PlainGetMakesExactlyTheseCalls) {
    client.chunks = {5};
    client.announced = 5;
    Exchange e = Run("http://Ab.Cd:8080/x?y=1");
    EXPECT_TRUE(e.finished);
    const Calls expected = {
        DirectOpen,
        "InternetConnectA(I, \"ab.cd\", 8080, \"\", \"\", 3, 0, 0)",
        "HttpOpenRequestA(C, \"GET\", \"/x?y=1\", \"HTTP/1.1\", null, null, 0x80000000, 0)",
        "InternetSetOptionA(R, 2, 90000, size 4)",
        "InternetSetOptionA(R, 5, 90000, size 4)",
        "InternetSetOptionA(R, 6, 90000, size 4)",
        "HttpSendRequestA(R)",
        "HttpQueryInfoA(R, 0x20000005, size 4, null)",
        "InternetReadFile(R, 4096)",
        "InternetReadFile(R, 4096)",
        "HttpQueryInfoA(R, 0x16, size 1024, null)",
        Close3[0],
        Close3[1],
        Close3[2],
    };
    EXPECT_EQ(client.calls, expected);
    EXPECT_EQ(client.sentHeaders, ComposeRequestHeaders("", "http://Ab.Cd:8080/x?y=1", false, "", ""));
    EXPECT_TRUE(client.sentDataWasNull);
    EXPECT_EQ(e.body, ExpectedBody(5));
    EXPECT_EQ(e.rawHeaders, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(e.cookieString, "");
}

TEST_F(HttpExchangeFake, FlagsFollowSchemeAndCookies) {
    struct Case {
        Text url;
        Text cookies;
        std::string flags;
        bool secure;
    } cases[] = {
        {"http://web/", "", "0x80000000", false},   {"web/", "a=1", "0x80080000", false},
        {"https://web/", "", "0xA0803000", true},   {"https://web/", "a=1; b=2", "0xA0883000", true},
        {"HTTPS://web/", "", "0xA0803000", true},   {"HtTpS://web/", "a=1", "0xA0883000", true},
        {" https://web/", "", "0x80000000", false},
    };
    for (const Case& c : cases) {
        client = FakeClient{};
        client.securityFlags = 0x3080;
        Run(c.url, "GET", "", "", "", 0, c.cookies);
        Calls open = CallsOf("HttpOpenRequestA");
        ASSERT_EQ(open.size(), 1u) << c.url;
        EXPECT_NE(open[0].find(", " + c.flags + ", "), std::string::npos) << c.url << ": " << open[0];
        Calls security = CallsOf("InternetQueryOptionA");
        for (const std::string& call : CallsOf("InternetSetOptionA(R, 31,"))
            security.push_back(call);
        if (c.secure)
            EXPECT_EQ(security, (Calls{"InternetQueryOptionA(R, 31, size 4)",
                                       "InternetSetOptionA(R, 31, 0x3180, size 4)"}))
                << c.url;
        else
            EXPECT_TRUE(security.empty()) << c.url;
    }
}

TEST_F(HttpExchangeFake, VerbIsPassedAsTypedAndEmptyMeansNone) {
    struct Case {
        Text method;
        std::string verb;
        bool post;
    } cases[] = {{"", "null", false},
                 {"get", "\"get\"", false},
                 {"GeT", "\"GeT\"", false},
                 {"post", "\"post\"", true}};
    for (const Case& c : cases) {
        client = FakeClient{};
        EXPECT_TRUE(Run("http://web/p", c.method, "", "", "abc", 0).finished) << c.method;
        EXPECT_EQ(CallsOf("HttpOpenRequestA")[0],
                  "HttpOpenRequestA(C, " + c.verb + ", \"/p\", \"HTTP/1.1\", null, null, 0x80000000, 0)");
        EXPECT_EQ(client.sentHeaders, ComposeRequestHeaders("", "http://web/p", c.post, "abc", ""))
            << c.method;
        EXPECT_EQ(client.sentDataWasNull, !c.post) << c.method;
    }
}

TEST_F(HttpExchangeFake, PostSendsTheDataWithTheTrueLength) {
    Run("http://web/form", "POST", "", "Content-Length: 99\r\n", "a=\xD6\xD0&b", 0, "k=v");
    EXPECT_EQ(client.sentData, "a=\xD6\xD0&b");
    EXPECT_EQ(client.sentHeaders, ComposeRequestHeaders("Content-Length: 99\r\n", "http://web/form", true,
                                                        "a=\xD6\xD0&b", "k=v"));

    client = FakeClient{};
    Run("http://web/form", "POST", "", "", "", 0); // empty data: none is sent
    EXPECT_TRUE(client.sentDataWasNull);
    EXPECT_EQ(client.sentHeaders, ComposeRequestHeaders("", "http://web/form", true, "", ""));
}

TEST_F(HttpExchangeFake, OtherMethodsSendNothingAndCloseInOrder) {
    for (Text method : {"PUT", "HEAD", "DELETE", "GET ", "OPTIONS"}) {
        client = FakeClient{};
        Exchange e = Run("https://web/", method);
        EXPECT_FALSE(e.finished) << method;
        EXPECT_TRUE(CallsOf("HttpSendRequestA").empty()) << method;
        EXPECT_TRUE(CallsOf("InternetReadFile").empty()) << method;
        EXPECT_TRUE(client.posts.empty()) << method;
        Calls last(client.calls.end() - 3, client.calls.end());
        EXPECT_EQ(last, Calls(std::begin(Close3), std::end(Close3))) << method;
        EXPECT_EQ(CallsOf("InternetCloseHandle").size(), 3u) << method;
    }
}

TEST_F(HttpExchangeFake, EachHandleThatCannotOpenClosesThoseBefore) {
    client.openFails = true;
    EXPECT_FALSE(Run("http://web/").finished);
    EXPECT_EQ(client.calls, Calls{DirectOpen});

    client = FakeClient{};
    client.connectFails = true;
    EXPECT_FALSE(Run("http://web/").finished);
    EXPECT_EQ(client.calls, (Calls{DirectOpen, "InternetConnectA(I, \"web\", 80, \"\", \"\", 3, 0, 0)",
                                   "InternetCloseHandle(I)"}));

    client = FakeClient{};
    client.requestFails = true;
    EXPECT_FALSE(Run("https://web/").finished);
    EXPECT_EQ(client.calls,
              (Calls{DirectOpen, "InternetConnectA(I, \"web\", 443, \"\", \"\", 3, 0, 0)",
                     "HttpOpenRequestA(C, \"GET\", \"/\", \"HTTP/1.1\", null, null, 0xA0803000, 0)",
                     "InternetCloseHandle(C)", "InternetCloseHandle(I)"}));
    EXPECT_TRUE(client.posts.empty());
}

TEST_F(HttpExchangeFake, ProxyOfBlanksIsDirectAndAnyOtherGoesOnAsTyped) {
    struct Case {
        Text proxy;
        std::string open;
    } cases[] = {
        {"", DirectOpen},
        {"   ", DirectOpen},
        {" \xA1\xA1 ", DirectOpen},
        {"127.0.0.1:8888", "InternetOpenA(" + Agent + ", 3, \"http=127.0.0.1:8888\", null, 0)"},
        {" 127.0.0.1:8888", "InternetOpenA(" + Agent + ", 3, \"http= 127.0.0.1:8888\", null, 0)"},
    };
    for (const Case& c : cases) {
        client = FakeClient{};
        Run("http://web/", "GET", c.proxy);
        EXPECT_EQ(client.calls.at(0), c.open) << "[" << c.proxy << "]";
    }
}

TEST_F(HttpExchangeFake, PortWithoutNumberIsHandedOnAsZero) {
    Run("http://web:abc/p");
    EXPECT_EQ(client.calls.at(1), "InternetConnectA(I, \"web\", 0, \"\", \"\", 3, 0, 0)");
}

TEST_F(HttpExchangeFake, PostsAfterEveryReadAndOnceMore) {
    client.chunks = {4096, 4096, 1808};
    Exchange e = Run("http://web/");
    EXPECT_EQ(CallsOf("InternetReadFile").size(), 4u);
    EXPECT_EQ(client.posts, (std::vector<std::vector<unsigned>>{
                                {4096, 1}, {8192, 2}, {10000, 3}, {10000, 4}, {10000, 100}}));
    EXPECT_EQ(e.body, ExpectedBody(10000));
}

TEST_F(HttpExchangeFake, ReadCountInPostsStopsAt100) {
    client.chunks.assign(149, 7);
    Exchange e = Run("http://web/");
    ASSERT_EQ(client.posts.size(), 151u);
    for (std::size_t i = 0; i < 150; ++i) {
        EXPECT_EQ(client.posts[i][1], std::min<unsigned>(i + 1, 100)) << i;
        EXPECT_EQ(client.posts[i][0], std::min<unsigned>(i + 1, 149) * 7) << i;
    }
    EXPECT_EQ(client.posts.back(), (std::vector<unsigned>{1043, 100}));
    EXPECT_EQ(e.body, ExpectedBody(1043));
}

TEST_F(HttpExchangeFake, NoPostsWithoutAProgressWindow) {
    for (int window : {0, -1, -77}) {
        client = FakeClient{};
        client.chunks = {4096, 10};
        EXPECT_TRUE(Run("http://web/", "GET", "", "", "", window).finished);
        EXPECT_TRUE(client.posts.empty()) << window;
    }
}

TEST_F(HttpExchangeFake, NoResponseGives1024BlanksAndStillFinishes) {
    // The send failed: the first read delivers nothing and the header query fails (or, as Wine does,
    // answers a bare line end).
    for (std::optional<Text> headers :
         {std::optional<Text>(), std::optional<Text>("\r\n"), std::optional<Text>("")}) {
        client = FakeClient{};
        client.rawHeaders = headers;
        Exchange e = Run("http://web/", "GET", "", "", "", 77, "", false);
        EXPECT_TRUE(e.finished);
        EXPECT_TRUE(e.body.empty());
        EXPECT_EQ(e.rawHeaders, Text(1024, ' '));
        EXPECT_EQ(e.cookieString, "");
        EXPECT_EQ(client.posts, (std::vector<std::vector<unsigned>>{{0, 1}, {0, 100}}));
        EXPECT_TRUE(CallsOf("InternetSetCookieA").empty());
        Calls last(client.calls.end() - 3, client.calls.end());
        EXPECT_EQ(last, Calls(std::begin(Close3), std::end(Close3)));
    }
}

TEST_F(HttpExchangeFake, LongHeadersAreAskedForAgainWithTheReportedSize) {
    Text headers = "HTTP/1.1 200 OK\r\nX-Long: " + Text(1500, 'x') + "\r\nSet-Cookie: a=1; path=/\r\n" +
                   "Set-Cookie: id=7\r\n\r\n";
    client.rawHeaders = headers;
    Exchange e = Run("https://Host.Example/", "GET", "", "", "", 0, "", false);
    EXPECT_TRUE(e.finished);
    EXPECT_EQ(e.rawHeaders, headers);
    EXPECT_EQ(e.cookieString, "a=1; id=7");
    EXPECT_EQ(CallsOf("HttpQueryInfoA(R, 0x16"),
              (Calls{"HttpQueryInfoA(R, 0x16, size 1024, null)",
                     "HttpQueryInfoA(R, 0x16, size " + std::to_string(headers.size() + 1) + ", null)"}));
    // Cookies go to the store after the handles are closed, under http:// even for https.
    Calls tail(client.calls.end() - 5, client.calls.end());
    EXPECT_EQ(tail, (Calls{Close3[0], Close3[1], Close3[2],
                           "InternetSetCookieA(\"http://host.example\", \"a\", \"1; path=/\")",
                           "InternetSetCookieA(\"http://host.example\", \"id\", \"7\")"}));
}

TEST_F(HttpExchangeFake, HeadersOfExactlyTheBufferSizeNeedOneQuery) {
    for (std::size_t size : {1022u, 1023u, 1024u}) {
        client = FakeClient{};
        client.rawHeaders = "HTTP/1.1 200 OK\r\n" + Text(size - 21, 'h') + "\r\n\r\n";
        ASSERT_EQ(client.rawHeaders->size(), size);
        Exchange e = Run("http://web/");
        EXPECT_EQ(e.rawHeaders, *client.rawHeaders) << size;
        EXPECT_EQ(CallsOf("HttpQueryInfoA(R, 0x16").size(), size < 1024 ? 1u : 2u) << size;
    }
}

TEST_F(HttpExchangeFake, CookiesAreStoredOnlyWhenKept) {
    client.rawHeaders = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=; x\r\n"
                        "Set-Cookie: c=3\x1a\r\nSet-Cookie: d=4\r\n\r\n";
    Exchange e = Run("http://web/", "GET", "", "", "", 0, "", true);
    EXPECT_EQ(e.cookieString, "a=1; c=3");
    EXPECT_EQ(e.rawHeaders, *client.rawHeaders);
    EXPECT_TRUE(CallsOf("InternetSetCookieA").empty());

    client.calls.clear();
    e = Run("http://web/", "GET", "", "", "", 0, "", false);
    EXPECT_EQ(e.cookieString, "a=1; c=3");
    EXPECT_EQ(CallsOf("InternetSetCookieA"),
              (Calls{"InternetSetCookieA(\"http://web\", \"a\", \"1; path=/\")",
                     "InternetSetCookieA(\"http://web\", \"b\", \"; x\")",
                     "InternetSetCookieA(\"http://web\", \"c\", \"3\")"}));
}

TEST_F(HttpExchangeFake, BodyRoomFollowsATruthfulLengthAndIgnoresAFalseOne) {
    client.chunks.assign(40, 4096);
    client.chunks.push_back(100);
    client.announced = 40 * 4096 + 100;
    Exchange e = Run("http://web/");
    EXPECT_EQ(e.body, ExpectedBody(*client.announced));
    EXPECT_EQ(e.body.capacity(), e.body.size()) << "no spare room after a truthful length";

    client = FakeClient{};
    client.chunks = {10};
    client.announced = 0xFFFFFFF0u;
    e = Run("http://web/");
    EXPECT_EQ(e.body, ExpectedBody(10));
    EXPECT_LE(e.body.capacity(), 64u * 1024) << "a false length must not size the body";
}

TEST_F(HttpExchangeFake, TimeLimitsComeFromTheStopSettings) {
    ExchangeStop stop;
    stop.timeLimitMs = 1500;
    Run("http://web/", "GET", "", "", "", 0, "", true, stop);
    EXPECT_EQ(CallsOf("InternetSetOptionA(R, "),
              (Calls{"InternetSetOptionA(R, 2, 1500, size 4)", "InternetSetOptionA(R, 5, 1500, size 4)",
                     "InternetSetOptionA(R, 6, 1500, size 4)"}));
}

TEST_F(HttpExchangeFake, StoppedExchangePostsNothingMoreAndClosesItsHandles) {
    ExchangeStop stop;
    client.chunks = {4096, 4096, 4096, 100};
    client.rawHeaders = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n";
    client.onRead = [&](int read) {
        if (read == 2) StopExchange(stop);
    };
    Exchange e = Run("http://web/", "GET", "", "", "", 77, "", false, stop);
    EXPECT_FALSE(e.finished);
    EXPECT_EQ(client.posts, (std::vector<std::vector<unsigned>>{{4096, 1}}));
    EXPECT_EQ(CallsOf("InternetReadFile").size(), 2u);
    EXPECT_EQ(e.body, ExpectedBody(8192)) << "the body keeps what came";
    EXPECT_TRUE(CallsOf("HttpQueryInfoA(R, 0x16").empty());
    EXPECT_TRUE(CallsOf("InternetSetCookieA").empty());
    Calls last(client.calls.end() - 3, client.calls.end());
    EXPECT_EQ(last, Calls(std::begin(Close3), std::end(Close3)));

    // Stopped before it starts: nothing is sent.
    client = FakeClient{};
    Exchange early = Run("http://web/", "GET", "", "", "", 77, "", false, stop);
    EXPECT_FALSE(early.finished);
    EXPECT_TRUE(CallsOf("HttpSendRequestA").empty());
    EXPECT_TRUE(client.posts.empty());
    EXPECT_EQ(CallsOf("InternetCloseHandle").size(), 3u);
}

TEST_F(HttpExchangeFake, NoReportFollowsAStopThatHasReturned) {
    static std::atomic<int> postsStarted;
    static std::atomic<int> postsDone;
    postsStarted = 0;
    postsDone = 0;
    sys::Fakes().PostMessageA = [](HWND, UINT, WPARAM, LPARAM) -> BOOL {
        ++postsStarted;
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a post that takes its time
        ++postsDone;
        return TRUE;
    };
    client.chunks.assign(50, 4096);
    ExchangeStop stop;
    bool finished = true;
    std::thread worker(
        [&] { finished = Run("http://web/", "GET", "", "", "", 77, "", true, stop).finished; });
    while (postsStarted == 0)
        std::this_thread::yield();
    StopExchange(stop);
    EXPECT_EQ(postsDone.load(), postsStarted.load()) << "the stop returned while a report was being posted";
    const int postsAtStop = postsStarted;
    worker.join();
    EXPECT_FALSE(finished);
    EXPECT_EQ(postsStarted.load(), postsAtStop);
}

TEST_F(HttpExchangeFake, ResultsAreEmptiedWhenNothingIsSent) {
    Exchange e = Run("http://web/", "PUT");
    EXPECT_FALSE(e.finished);
    EXPECT_EQ(e.rawHeaders, "");
    EXPECT_TRUE(e.body.empty());
    EXPECT_EQ(e.cookieString, "");
}

} // namespace
