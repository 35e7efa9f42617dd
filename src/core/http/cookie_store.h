#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;
    std::optional<std::chrono::sys_seconds> expires;  // none: kept for the run
    bool secure = false;
    // Goes to the host named by its domain alone, never to names under it.
    // Only a public suffix's own cookies are kept so (a page served from
    // github.io itself); every other cookie goes to names under its domain too.
    bool hostOnly = false;

    friend bool operator==(const Cookie&, const Cookie&) = default;
};

// Reads one Set-Cookie (or Set-Cookie2) value that came with the answer to a
// request for `host` and the directory `requestDirectory`. Returns nullopt for
// a cookie that may not be stored: no name, control bytes in name or value, or
// a domain the host may not set, a public suffix among them (".co.jp" from
// example.co.jp, which every *.co.jp host would be sent).
std::optional<Cookie> readSetCookie(std::string_view text, std::string_view host,
                                    std::string_view requestDirectory,
                                    std::chrono::sys_seconds now);

// True when a cookie of `domain` goes to `host`: equal, or the host ends with
// the domain at a dot, without regard to case.
bool cookieDomainMatches(std::string_view domain, std::string_view host);

// The client's cookies for the run, in memory only.
class CookieStore {
public:
    static constexpr std::size_t kMaxTakenPerResponse = 50;
    static constexpr std::size_t kMaxStored = 1000;

    // Takes the cookies of one response. A cookie replaces the one of the same
    // domain and name (any case).
    void take(const std::vector<std::string>& setCookies, std::string_view host,
              std::string_view requestDirectory, std::chrono::sys_seconds now);

    // Drops expired cookies and returns the Cookie header value for a request,
    // empty when no cookie goes with it: "name=value" joined by "; ", the
    // longest path (by case-blind order) first. Cookies marked Secure go only
    // with a request over https.
    std::string headerFor(std::string_view host, std::string_view requestDirectory,
                          std::chrono::sys_seconds now, bool overHttps = false);

    const std::vector<Cookie>& cookies() const { return m_cookies; }

private:
    void store(Cookie cookie);

    std::vector<Cookie> m_cookies;  // oldest first
};

}  // namespace vel
