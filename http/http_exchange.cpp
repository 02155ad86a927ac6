#include "http/http_exchange.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#include "http/feedback_message.h"
#include "http/url.h"
#include "platform/win_api.h"

namespace {

const char UserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr DWORD ReadSize = 4096;
constexpr DWORD HeaderBufferSize = 1024;
// No server sends a header block near this size; a larger reported size is not believed.
constexpr DWORD MaxRawHeaderBytes = 16u << 20;

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { sys::InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

bool IsStopped(const ExchangeStop& stop) {
    return stop.stopped && stop.stopped->load();
}

DWORD RequestFlags(bool secure, bool withOwnCookies) {
    DWORD flags = INTERNET_FLAG_RELOAD;
    if (secure)
        flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_EXISTING_CONNECT |
                 INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
    // The user's own Cookie line replaces the store's cookies, and the response's stay out of the store.
    if (withOwnCookies) flags |= INTERNET_FLAG_NO_COOKIES;
    return flags;
}

// Closing a handle does not wake a client call blocked on it, so every wait of the request gets a limit.
void SetTimeLimits(HINTERNET request, int timeLimitMs) {
    DWORD limit = static_cast<DWORD>(timeLimitMs > 0 ? timeLimitMs : DefaultExchangeTimeLimitMs);
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        sys::InternetSetOptionA(request, option, &limit, sizeof limit);
}

// Also accepts certificates whose issuer is not trusted; the request flags already cover a wrong name
// and passed dates.
void AcceptAnyCertificate(HINTERNET request) {
    DWORD securityFlags = 0;
    DWORD size = sizeof securityFlags;
    sys::InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &securityFlags, &size);
    securityFlags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    sys::InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &securityFlags, sizeof securityFlags);
}

// The body length the response announces, or 0. Only a hint for sizing the body.
std::size_t AnnouncedLength(HINTERNET request) {
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!sys::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                             nullptr))
        return 0;
    return length;
}

// Room that an announced length may reserve before any byte has come: enough for most bodies, and not
// much when a server announces more than it sends.
constexpr std::size_t FirstRoomCap = 64u << 20;

// Makes room for the announced body at once (up to the cap), so that a truthful server's body is not
// moved while it arrives.
void ReserveAnnounced(Bytes& body, std::size_t announced) {
    try {
        body.reserve(std::min(announced, FirstRoomCap));
    } catch (const std::bad_alloc&) {
        // Grown while it arrives instead.
    }
}

// Appends one chunk. The room doubles when it runs out, so appending stays linear in the body; once the
// announced length is within four times the room, the room becomes exactly that length, so a body
// beyond the first room is moved once more at most, and a false length never sizes the body beyond
// four times what has arrived.
void AppendChunk(Bytes& body, const std::uint8_t* chunk, std::size_t count, std::size_t announced) {
    std::size_t needed = body.size() + count;
    if (needed > body.capacity()) {
        std::size_t room = std::max(needed, body.capacity() * 2);
        if (announced >= needed && announced / 2 <= room) room = announced;
        body.reserve(room);
    }
    body.insert(body.end(), chunk, chunk + count);
}

// Gives back room that a false length or a cut-off body left unused, when it exceeds the body itself.
void ReleaseSpareRoom(Bytes& body) {
    if (body.capacity() - body.size() > body.size()) body.shrink_to_fit();
}

// Posts one progress report unless the exchange is stopped; false when it is. The test and the post
// happen under the stop's lock, so no report follows a StopExchange that has returned.
bool ReportUnlessStopped(const ExchangeStop& stop, int progressWindow, std::size_t received, int reads) {
    std::unique_lock<std::mutex> guard;
    if (stop.reportLock) guard = std::unique_lock(*stop.reportLock);
    if (IsStopped(stop)) return false;
    if (progressWindow <= 0) return true;
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(progressWindow));
    sys::PostMessageA(window, FeedbackMessage, static_cast<WPARAM>(static_cast<std::uint32_t>(received)),
                      static_cast<LPARAM>(std::min(reads, FeedbackStepCap)));
    return true;
}

// The raw header block, or 1024 blanks when no response came. A block longer than the first buffer is
// asked for again with the size the client reports (terminating zero included).
Text QueryRawHeaders(HINTERNET request) {
    const Text noResponse = BlankText(HeaderBufferSize);
    Text buffer = noResponse;
    DWORD length = HeaderBufferSize;
    BOOL ok = sys::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
    if (!ok && length > HeaderBufferSize && length <= MaxRawHeaderBytes) {
        buffer.assign(length, ' ');
        ok = sys::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
    }
    if (!ok) return noResponse;
    Text headers = buffer.substr(0, buffer.find('\0')); // the text ends at the zero the client writes
    // Some clients answer for a request that got no response with a bare line end.
    if (headers.find_first_not_of("\r\n") == Text::npos) return noResponse;
    return headers;
}

} // namespace

bool HttpExchange(const Text& url, const Text& method, const Text& proxy, const Text& extraHeaders,
                  const Text& postData, int progressWindow, const Text& cookies, bool doNotKeepCookies,
                  Text& rawHeaders, Bytes& body, Text& cookieString, const ExchangeStop& stop) {
    rawHeaders.clear();
    body.clear();
    cookieString.clear();

    // "http=" names a proxy for the http scheme alone; the proxy goes on as typed, blanks included.
    const bool viaProxy = !RemoveAllSpaces(proxy).empty();
    const Text proxyList = JoinTexts("http=", proxy);
    InternetHandle internet(
        sys::InternetOpenA(UserAgent, viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                           viaProxy ? proxyList.c_str() : nullptr, nullptr, 0));
    if (!internet) return false;

    const Text host = UrlHost(url);
    // A port of 0 makes the client take the scheme's default.
    InternetHandle connection(sys::InternetConnectA(internet.get(), host.c_str(),
                                                    static_cast<INTERNET_PORT>(UrlPort(url)), "", "",
                                                    INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;

    const bool secure = LowerCase(TextLeft(url, 8)) == "https://";
    const Text path = UrlPath(url);
    InternetHandle request(sys::HttpOpenRequestA(connection.get(), method.empty() ? nullptr : method.c_str(),
                                                 path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                                 RequestFlags(secure, !cookies.empty()), 0));
    if (!request) return false;
    SetTimeLimits(request.get(), stop.timeLimitMs);
    if (secure) AcceptAnyCertificate(request.get());

    const Text upperMethod = UpperCase(method);
    const bool isPost = upperMethod == "POST";
    if (!(method.empty() || upperMethod == "GET" || isPost)) return false;
    if (IsStopped(stop)) return false;

    const Text headers = ComposeRequestHeaders(extraHeaders, url, isPost, postData, cookies);
    // Any failure of the send shows in the reads and the header query that follow.
    if (isPost && !postData.empty())
        sys::HttpSendRequestA(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                              const_cast<char*>(postData.data()), static_cast<DWORD>(postData.size()));
    else
        sys::HttpSendRequestA(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
    if (IsStopped(stop)) return false;

    const std::size_t announced = AnnouncedLength(request.get());
    ReserveAnnounced(body, announced);
    for (int reads = 1;; ++reads) {
        std::array<std::uint8_t, ReadSize> buffer{};
        DWORD count = 0;
        sys::InternetReadFile(request.get(), buffer.data(), ReadSize, &count); // a failed read delivers 0
        count = std::min(count, ReadSize);
        try {
            AppendChunk(body, buffer.data(), count, announced);
        } catch (const std::bad_alloc&) {
            count = 0; // no room for more: the body ends with what fitted
        }
        if (!ReportUnlessStopped(stop, progressWindow, body.size(), reads)) return false;
        if (count == 0) break;
    }
    ReleaseSpareRoom(body);
    if (!ReportUnlessStopped(stop, progressWindow, body.size(), FeedbackStepCap)) return false;

    rawHeaders = QueryRawHeaders(request.get());
    request.reset();
    connection.reset();
    internet.reset();

    if (IsStopped(stop)) return false;
    cookieString = CollectCookieString(rawHeaders, host, doNotKeepCookies);
    return true;
}

void StopExchange(const ExchangeStop& stop) {
    std::unique_lock<std::mutex> guard;
    if (stop.reportLock) guard = std::unique_lock(*stop.reportLock);
    if (stop.stopped) *stop.stopped = true;
}

Text CollectCookieString(const Text& rawHeaders, const Text& host, bool doNotKeepCookies) {
    return CollectCookieString(rawHeaders, host, doNotKeepCookies,
                               [](const Text& url, const Text& name, const Text& data) {
                                   sys::InternetSetCookieA(url.c_str(), name.c_str(), data.c_str());
                               });
}
