// One HTTP or HTTPS request through the system's HTTP client (WinINet), with the browser-like default
// header lines, lenient certificate checks for HTTPS, progress reports to a window and the cookie string
// of the response.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "core/bytes.h"
#include "core/text.h"
#include "http/request_text.h"

// Send and receive time limit of a request when the caller sets none: as long as a request may take.
constexpr int DefaultExchangeTimeLimitMs = 90000;

// How the caller that waits for an exchange gives it up.
//
// The exchange tests `stopped` after the send, after every read, before every FeedbackMessage and before
// it returns. Once it is set, the exchange sends and posts nothing more, stores no cookie, closes its
// handles and returns false; `body` keeps what came until then. A client call that is already blocked
// cannot be interrupted (closing a handle does not wake it), so the exchange sets `timeLimitMs` as the
// send and receive time limit of its request: a blocked call fails once the server has sent or accepted
// nothing for that long, and a stopped exchange returns at most that long after the stop. The limit
// applies to each wait, not to the whole request, so a slow server that keeps sending still works.
//
// Share one ExchangeStop between the waiting thread and the exchange by copying it: the copies share
// the flag. A default ExchangeStop is never stopped. Stop it with StopExchange: once that returns, no
// FeedbackMessage of the exchange follows (setting `stopped` directly leaves a report that is being
// posted at that moment free to arrive).
struct ExchangeStop {
    std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);
    int timeLimitMs = DefaultExchangeTimeLimitMs;                            // 0 or less: the default
    std::shared_ptr<std::mutex> reportLock = std::make_shared<std::mutex>(); // held around each report
};

// Sets the stop; a progress report being posted at that moment is finished first.
void StopExchange(const ExchangeStop& stop);

// Performs the request and returns whether it ran to its end (true also when the server could not be
// reached: then body is empty and rawHeaders is 1024 blanks). false when a client handle cannot be
// opened or method is not empty, GET or POST (ignoring case): nothing is sent; and false when stopped.
// The three results are emptied first; on false they hold nothing but the body bytes read before a stop.
//
// url: with "http://", "https://" or no scheme. method: as typed; empty means GET. proxy: address:port
// for http, or blanks/empty for a direct connection. progressWindow: the window that receives
// FeedbackMessage (http/feedback_message.h) after every read and once at the end; 0 or less: none.
// cookies: a Cookie header value to send; when given, the client's own cookie handling is off for this
// request. doNotKeepCookies: true keeps the response's cookies out of the system cookie store.
//
// rawHeaders: the status line and header lines of the response, each ending in CR LF, with the closing
// empty line, however long; 1024 blanks when no response came. body: every body byte received.
// cookieString: as CollectCookieString gives it.
//
// Call it on a worker thread: it blocks for as long as the server takes.
bool HttpExchange(const Text& url, const Text& method, const Text& proxy, const Text& extraHeaders,
                  const Text& postData, int progressWindow, const Text& cookies, bool doNotKeepCookies,
                  Text& rawHeaders, Bytes& body, Text& cookieString,
                  const ExchangeStop& stop = ExchangeStop{});

// CollectCookieString (http/request_text.h) that keeps each cookie in the system's cookie store through
// the client's InternetSetCookieA, under "http://" and the host, unless doNotKeepCookies.
Text CollectCookieString(const Text& rawHeaders, const Text& host, bool doNotKeepCookies);
