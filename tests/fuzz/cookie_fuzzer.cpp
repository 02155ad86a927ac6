// Response header text and request fields from the fuzzer: the cookie collection and the header
// composition must never fail, and what they give must keep its basic shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/request_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool StartsWith(const Text& text, const Text& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const Text& text, const Text& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The input, cut into fields at the byte 0xFF (which a GBK text never holds).
std::string_view NextField(std::string_view& rest) {
    std::size_t cut = rest.find('\xFF');
    std::string_view field = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool flag = data[0] & 1;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Text rawHeaders(NextField(rest));
    const Text host(NextField(rest));
    const Text extraHeaders(NextField(rest));
    const Text postData(NextField(rest));
    const Text cookies(rest);

    std::size_t lines = 1;
    for (char c : rawHeaders)
        lines += c == '\n';
    std::size_t storedCount = 0;
    CookieStore store = [&](const Text& url, const Text& name, const Text& value) {
        ++storedCount;
        Check(url == "http://" + host);
        Check(name.size() + value.size() <= rawHeaders.size());
    };
    const Text kept = CollectCookieString(rawHeaders, host, false, store);
    Check(storedCount <= lines);
    const Text notKept =
        CollectCookieString(rawHeaders, host, true, [](const Text&, const Text&, const Text&) {
            std::abort(); // nothing may be stored
        });
    Check(kept == notKept);
    Check(kept.size() <= rawHeaders.size());

    const Text headers = ComposeRequestHeaders(extraHeaders, host, flag, postData, cookies);
    Check(StartsWith(headers, extraHeaders));
    Check(headers.size() >=
          extraHeaders.size() +
              (FindInText(extraHeaders, "Referer: ", 1, true) == -1 ? host.size() + 11 : 0));
    if (!cookies.empty()) Check(EndsWith(headers, "Cookie: " + cookies + "\r\n\r\n"));
    return 0;
}
