#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/http/fetch_error.h"

namespace vel {

// The parts of a page URL that a request needs, kept as written (no case
// folding) but for the target's percent-encoding.
struct HttpUrl {
    // "https" (in any case): the request goes over TLS.
    bool secure = false;
    // A name, or an address; an IPv6 address without its brackets.
    std::string host;
    // The port as written in the URL, the scheme's own ("80" or "443") when it
    // gives none. The Host header names the port whenever this text is not
    // the scheme's own.
    std::string portText = "80";
    std::uint16_t port = 80;
    // Path, file name and query, "/" when nothing follows the host; spaces,
    // bytes above 0x7F and the characters a browser escapes percent-encoded.
    std::string target = "/";

    // The target without its query; cookie paths are matched against it.
    std::string_view path() const;
    // "80" for http, "443" for https.
    std::string_view defaultPortText() const { return secure ? "443" : "80"; }

    friend bool operator==(const HttpUrl&, const HttpUrl&) = default;
};

struct UrlReading {
    FetchError error = FetchError::None;
    HttpUrl url;

    bool ok() const { return error == FetchError::None; }
};

// Reads a page URL: backslashes count as "/" (never the second byte of a
// double-byte character), "scheme://[user[:password]@]host[:port][/rest]",
// the host a name or an address ("[::1]" for IPv6).
// Only "http" and "https" are served; a missing port means 80 or 443. User name and password are
// dropped. A "#" in the file name or the query ends the target. URLs with
// control bytes are refused so that no header can be smuggled into the request.
UrlReading readHttpUrl(std::string_view text);

}  // namespace vel
