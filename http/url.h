// Taking a typed URL apart into what the HTTP client needs. Accepts "http://", "https://" (any case) or
// no scheme at all, and never fails: every text gives some host, path and port.
#pragma once

#include "core/text.h"

// The host name in lower case (ASCII letters only), without scheme, port or path.
Text UrlHost(const Text& url);

// Everything from the first "/" at or after the first place where the host's text occurs (that place may
// lie inside the scheme) to the end of the URL, query and fragment included; "/" when there is none.
Text UrlPath(const Text& url);

// The number after the first ":" of the host-and-port part, else 443 for "https://" (any case) and 80
// for anything else; a port text without a leading number gives 0.
int UrlPort(const Text& url);
