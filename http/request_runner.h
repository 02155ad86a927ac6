// Runs one HTTP exchange on a worker thread and waits for it on the user-interface thread under a time
// limit, handing window events on while it waits so that the window stays live.
//
// The two threads talk through two memory files that each call opens afresh: the request file carries
// the request record to the worker and the response record back; the signal file receives the end
// marker as the worker's last write.
//   request record:  "QelvoStart", url, method, proxy, extraHeaders, postData, progressWindow (int32),
//                    cookies, doNotKeepCookies (bool), the signal file's number (int32)
//   response record: rawHeaders, body (Bytes), cookieString
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "core/bytes.h"
#include "core/text.h"
#include "http/http_exchange.h"

inline const Text StartMarker = "QelvoStart";
inline const Text EndMarker = "QelvoEnd";

// Sends the request and returns the body: empty when no response came within timeoutSeconds (90 when
// not given or 0; a negative limit ends the wait at the first poll). Takes about 200 ms at the least: the
// first poll comes after 100 ms and a grace of 100 ms follows the wait.
//
// returnedHeaders and returnedCookies, when given (not null), receive the raw response headers and the
// cookie string in every outcome, the empty text after a timeout; when null, nothing is touched.
// Parameters 2 to 5 and 7 to 9 that are not given travel as the empty text, 0 and false.
//
// A worker still running when the wait ends is abandoned: it no longer touches this call's memory files
// (whose numbers may be given out again at once), posts no further progress message and ends on its own
// once its blocked client call gives up. Reentrant: an event handled during the wait may run a second
// request, which then finishes first.
Bytes RunRequest(const Text& url, std::optional<Text> method, std::optional<Text> proxy,
                 std::optional<Text> extraHeaders, std::optional<Text> postData,
                 std::optional<int> timeoutSeconds, std::optional<int> progressWindow,
                 std::optional<Text> cookies, std::optional<bool> doNotKeepCookies, Text* returnedHeaders,
                 Text* returnedCookies);

// Shared by a runner and its worker for as long as either lives. The worker holds `lock` while it touches
// the call's memory files; the runner abandons it by setting `abandoned` and the exchange's stop flag
// under that lock, after which the worker never touches the files again.
struct WorkerStop {
    std::mutex lock;
    bool abandoned = false;
    ExchangeStop exchange;
};

// The worker thread's body: reads and empties the request file, performs the exchange and, when it ran to
// its end, writes the response record into the request file and then the end marker into the signal
// file. Does nothing for the number 0 or a request file that does not begin with "QelvoStart".
void RequestWorker(int requestFile, const std::shared_ptr<WorkerStop>& stop = std::make_shared<WorkerStop>());
