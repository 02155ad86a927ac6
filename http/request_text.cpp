#include "http/request_text.h"

#include <string_view>

namespace {

const Text LineEnd = "\r\n";
const Text SetCookieName = "Set-Cookie: ";

bool HoldsHeader(const Text& text, const Text& nameWithColon) {
    return FindInText(text, nameWithColon, 1, true) != -1;
}

// The name=value pair that a Set-Cookie value gives to the cookie string: the text up to and including
// its first ";", or the whole value with a ";" added when it has none (a cookie without attributes).
// Empty when there is no "=" before that ";" or the value after the "=" is empty.
Text CookiePairOf(const Text& cookieLine) {
    int semicolon = FindInText(cookieLine, ";");
    Text pair = semicolon > 0 ? TextLeft(cookieLine, semicolon) : JoinTexts(cookieLine, ";");
    std::vector<Text> pieces = SplitText(pair, "=");
    if (pieces.size() < 2 || pieces[1] == ";") return Text();
    return pair;
}

} // namespace

Text ComposeRequestHeaders(const Text& extraHeaders, const Text& url, bool isPost, const Text& postData,
                           const Text& cookies) {
    Text headers = extraHeaders;
    if (!HoldsHeader(headers, "Accept: "))
        headers +=
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
            "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
    if (!HoldsHeader(headers, "Referer: ")) headers += JoinTexts("Referer: ", url, LineEnd);
    if (!HoldsHeader(headers, "Accept-Language: ")) headers += "Accept-Language: zh-cn\r\n";
    if (isPost && !postData.empty()) {
        if (!HoldsHeader(headers, "Content-Type: "))
            headers += "Content-Type: application/x-www-form-urlencoded\r\n";
        // The true length goes out even when the user wrote a Content-Length line of their own.
        headers += JoinTexts("Content-Length: ", IntegerToText(TextLength(postData)), LineEnd);
    }
    if (!cookies.empty()) headers += JoinTexts("Cookie: ", cookies, LineEnd, LineEnd);
    return headers;
}

Text CollectCookieString(const Text& rawHeaders, const Text& host, bool doNotKeepCookies,
                         const CookieStore& store) {
    if (!HoldsHeader(rawHeaders, SetCookieName)) return Text();
    const Text cookieUrl = JoinTexts("http://", host);
    Text cookieString;
    std::string_view rest = rawHeaders;
    for (;;) {
        int usedUp = 0;
        Text line = TakeLine(rest, usedUp);
        if (usedUp == 0) break; // the end of the text, or a byte 26 that ends it
        rest.remove_prefix(static_cast<std::size_t>(usedUp));
        if (!HoldsHeader(line, SetCookieName)) continue;

        // Whatever stood before the name goes with the first characters.
        Text cookieLine = TextRight(line, TextLength(line) - TextLength(SetCookieName));
        if (!doNotKeepCookies && store) {
            int equals = FindInText(cookieLine, "=");
            store(cookieUrl, TextLeft(cookieLine, equals - 1),
                  TextRight(cookieLine, TextLength(cookieLine) - equals));
        }
        Text pair = CookiePairOf(cookieLine);
        if (!pair.empty()) cookieString += JoinTexts(pair, " ");
    }
    return TextLeft(cookieString, TextLength(cookieString) - 2);
}
