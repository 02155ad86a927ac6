#include "http/url.h"

namespace {

bool HasScheme(const Text& url, const Text& scheme) {
    return CompareTexts(LowerCase(TextLeft(url, TextLength(scheme))), scheme) == 0;
}

// The text up to the first "/" at or after position from, or to the end when none follows.
Text UpToSlash(const Text& url, int from) {
    int slash = FindInText(url, "/", from);
    return slash > 0 ? TextMid(url, from, slash - from) : TextRight(url, TextLength(url) - from + 1);
}

// The text before its first ":", or all of it.
Text BeforeColon(const Text& text) {
    int colon = FindInText(text, ":");
    return colon > 0 ? TextLeft(text, colon - 1) : text;
}

} // namespace

Text UrlHost(const Text& url) {
    Text host;
    if (HasScheme(url, "http://"))
        host = UpToSlash(url, 8);
    else if (HasScheme(url, "https://"))
        host = UpToSlash(url, 9);
    else
        host = UpToSlash(url, 1);
    return LowerCase(BeforeColon(host));
}

Text UrlPath(const Text& url) {
    // The host is searched from the very start on purpose: a host whose text also occurs inside the
    // scheme is found there, and the path then starts at the scheme's "//".
    int hostAt = FindInText(url, UrlHost(url), 1, true);
    int slash = FindInText(url, "/", hostAt);
    return slash > 0 ? TextRight(url, TextLength(url) - slash + 1) : Text("/");
}

int UrlPort(const Text& url) {
    int doubleSlash = FindInText(url, "//");
    Text hostAndPort = doubleSlash > 0 ? UpToSlash(url, doubleSlash + 2) : UpToSlash(url, 1);
    int colon = FindInText(hostAndPort, ":");
    Text portText;
    if (colon > 0)
        portText = TextRight(hostAndPort, TextLength(hostAndPort) - colon);
    else
        portText = HasScheme(url, "https://") ? "443" : "80";
    return RealToInteger(TextToNumber(portText));
}
