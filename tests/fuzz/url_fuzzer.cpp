// The three URL functions on any text: each gives a host, a path and a port without failing, and the
// host and path are made of the URL's own bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "http/url.h"

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text url(reinterpret_cast<const char*>(data), size);
    Text host = UrlHost(url);
    Text path = UrlPath(url);
    int port = UrlPort(url);

    Check(host.size() <= url.size(), "host within the URL");
    Check(LowerCase(host) == host, "host in lower case");
    Check(FindInText(host, ":") == -1, "host without a port");
    Check(LowerCase(url).find(host) != Text::npos, "host taken from the URL");

    Check(!path.empty() && path[0] == '/', "path starts with /");
    Check(path == "/" || url.compare(url.size() - path.size(), path.size(), path) == 0, "path ends the URL");

    // Without a ":" there is no port text to read: the scheme decides.
    if (url.find(':') == Text::npos) Check(port == 80, "default port");
    return 0;
}
