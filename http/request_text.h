// The text work around one HTTP exchange: the request header lines that go out and the cookie string
// taken from the response headers that come back. Portable: no system calls; storing a cookie goes
// through the store that the caller passes.
#pragma once

#include <functional>

#include "core/text.h"

// The header text to send: extraHeaders unchanged, then the default lines its text lacks (Accept,
// Referer, Accept-Language; for a POST with data Content-Type and the true Content-Length), then the
// Cookie line and an empty line when cookies are given. Header names are found ignoring ASCII case.
Text ComposeRequestHeaders(const Text& extraHeaders, const Text& url, bool isPost, const Text& postData,
                           const Text& cookies);

// Receives one cookie to keep: the URL it belongs to ("http://" and the host), its name and its data
// (all after the first "=", attributes included).
using CookieStore = std::function<void(const Text& url, const Text& name, const Text& data)>;

// The name=value pairs of the response's Set-Cookie lines whose value is not empty, in order, joined by
// "; ". Lines are read up to a byte 26, which ends the header text. Unless doNotKeepCookies, every
// Set-Cookie line is handed to store (an empty store keeps nothing). The fixed three-argument form,
// which keeps cookies in the system's cookie store, is declared in http/http_exchange.h.
Text CollectCookieString(const Text& rawHeaders, const Text& host, bool doNotKeepCookies,
                         const CookieStore& store);
