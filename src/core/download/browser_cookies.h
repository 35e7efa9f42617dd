#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// A cookie of the embedded browser's profile, as the browser keeps it. VEL
// holds these in memory only, to send what the browser would send.
struct BrowserCookie {
    std::string name;
    std::string value;
    // Without a leading dot; compared without case.
    std::string domain;
    // Set without a Domain attribute: goes to exactly `domain`, never to names under it.
    bool hostOnly = true;
    std::string path = "/";
    // Goes over https only.
    bool secure = false;
    // None: a session cookie, kept while the browser runs.
    std::optional<std::chrono::sys_seconds> expires;

    friend bool operator==(const BrowserCookie&, const BrowserCookie&) = default;
};

// The Cookie header value a browser sends with a request for `url` (an
// absolute http or https URL), empty when no cookie goes with it: the
// cookies whose domain, path and Secure flag match and that have not
// expired by `now`, as "name=value" joined by "; ", longer paths first and
// otherwise in the order given. A host-only cookie goes to its host alone, a
// domain cookie also to names under its domain (at a dot); the path matches
// as RFC 6265 says (equal, or a prefix ending at a "/").
std::string cookieHeaderFor(std::string_view url, const std::vector<BrowserCookie>& cookies,
                            std::chrono::sys_seconds now);

}  // namespace vel
