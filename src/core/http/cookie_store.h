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
    std::string domain;  // lower-case, without a leading dot
    std::string path;
    std::optional<std::chrono::sys_seconds> expires;  // none: kept for the run
    bool secure = false;
    // Goes to the host named by its domain alone, never to names under it:
    // every cookie set without a Domain, and a public suffix's own (a page
    // served from github.io itself).
    bool hostOnly = false;

    friend bool operator==(const Cookie&, const Cookie&) = default;
};

// Reads one Set-Cookie (or Set-Cookie2) value that came with the answer to a
// request for `host` and the path `requestPath`, over https or not. Returns
// nullopt for a cookie that may not be stored: no name, control bytes in name
// or value, Secure over plain http, or a domain the host does not
// domain-match, a public suffix among them (".co.jp" from example.co.jp,
// which every *.co.jp host would be sent).
std::optional<Cookie> readSetCookie(std::string_view text, std::string_view host,
                                    std::string_view requestPath, std::chrono::sys_seconds now,
                                    bool overHttps = false);

// True when a cookie of `domain` goes to `host`: equal, or a host name (not
// an address) that ends with the domain at a dot, without regard to case and
// to a leading dot of the domain.
bool cookieDomainMatches(std::string_view domain, std::string_view host);

// True when a cookie of `cookiePath` goes with a request for `requestPath`:
// equal, or a prefix that ends with "/" or is followed by one.
bool cookiePathMatches(std::string_view cookiePath, std::string_view requestPath);

// The path of a cookie set without one: the request path up to its last "/"
// (that slash left out), "/" when nothing is left.
std::string defaultCookiePath(std::string_view requestPath);

// The client's cookies for the run, in memory only.
class CookieStore {
public:
    static constexpr std::size_t kMaxTakenPerResponse = 50;
    static constexpr std::size_t kMaxStored = 1000;

    // Takes the cookies of one response. A cookie replaces the one of the same
    // name, domain and path. An answer over plain http neither sets a Secure
    // cookie nor one that would shadow a Secure cookie of its name.
    void take(const std::vector<std::string>& setCookies, std::string_view host,
              std::string_view requestPath, std::chrono::sys_seconds now, bool overHttps = false);

    // Drops expired cookies and returns the Cookie header value for a request,
    // empty when no cookie goes with it: "name=value" joined by "; ", the
    // longest path first, then the oldest. Cookies marked Secure go only with
    // a request over https.
    std::string headerFor(std::string_view host, std::string_view requestPath,
                          std::chrono::sys_seconds now, bool overHttps = false);

    const std::vector<Cookie>& cookies() const { return m_cookies; }

private:
    void store(Cookie cookie);
    bool shadowsSecureCookie(const Cookie& cookie) const;

    std::vector<Cookie> m_cookies;  // oldest first
};

}  // namespace vel
