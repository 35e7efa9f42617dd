#include "core/http/cookie_store.h"

#include <algorithm>

#include "core/http/cookie_date.h"
#include "core/http/header_text.h"
#include "core/http/public_suffix.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

using std::chrono::sys_seconds;

// A Max-Age beyond this is as good as forever and keeps the sum in range.
constexpr std::chrono::seconds kLongestMaxAge{std::chrono::hours{24 * 366 * 100}};

bool hasControlBytes(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool isDottedQuad(std::string_view host)
{
    int fields = 0;
    while (true) {
        const std::size_t dot = host.find('.');
        const std::string_view field = host.substr(0, dot);
        if (field.empty() || field.size() > 3
            || !std::all_of(field.begin(), field.end(),
                            [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        ++fields;
        if (dot == std::string_view::npos)
            break;
        host.remove_prefix(dot + 1);
    }
    return fields == 4;
}

// An address is matched as a whole, never by a suffix.
bool isAddress(std::string_view host)
{
    return isDottedQuad(host) || host.find(':') != std::string_view::npos;
}

std::optional<long long> parseSeconds(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value < kLongestMaxAge.count())
            value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// A Set-Cookie value as written: its name and value, and the attributes
// read; the checks against the host come after.
struct CookieLine {
    Cookie cookie;
    std::optional<sys_seconds> expires;
    std::optional<long long> maxAge;
};

CookieLine readCookieLine(std::string_view text)
{
    CookieLine line;
    Cookie& cookie = line.cookie;
    bool first = true;
    while (true) {
        const std::size_t semicolon = text.find(';');
        const std::string_view part = trimBlanks(text.substr(0, semicolon));
        const std::size_t eq = part.find('=');
        const std::string_view key = trimBlanks(part.substr(0, eq));
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : trimBlanks(part.substr(eq + 1));
        if (first) {
            cookie.name = key;
            cookie.value = value;
            first = false;
        } else if (equalsIgnoringCase(key, "path")) {
            std::string_view path = value;
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
                path = path.substr(1, path.size() - 2);
            // Anything but an absolute path leaves the default path.
            cookie.path = path.starts_with('/') ? path : std::string_view();
        } else if (equalsIgnoringCase(key, "expires")) {
            // An unreadable date counts as none.
            if (const auto date = parseCookieDate(value))
                line.expires = date;
        } else if (equalsIgnoringCase(key, "domain") && !value.empty()) {
            // ".Example.COM" and "example.com" name the same domain.
            cookie.domain = toLowerAscii(value.starts_with('.') ? value.substr(1) : value);
        } else if (equalsIgnoringCase(key, "max-age")) {
            line.maxAge = parseSeconds(value);
        } else if (equalsIgnoringCase(key, "secure")) {
            cookie.secure = true;
        }
        if (semicolon == std::string_view::npos)
            break;
        text.remove_prefix(semicolon + 1);
    }
    return line;
}

}  // namespace

std::optional<Cookie> readSetCookie(std::string_view text, std::string_view host,
                                    std::string_view requestPath, sys_seconds now, bool overHttps)
{
    CookieLine line = readCookieLine(text);
    Cookie& cookie = line.cookie;
    if (cookie.name.empty() || hasControlBytes(cookie.name) || hasControlBytes(cookie.value))
        return std::nullopt;
    // What plain http sets, anyone on the way could have set.
    if (cookie.secure && !overHttps)
        return std::nullopt;
    const std::string lowerHost = toLowerAscii(host);
    if (cookie.domain.empty() || cookie.domain == lowerHost) {
        // Without a Domain the cookie goes back to this host alone; so does a
        // page's own on a public suffix (github.io), as browsers keep it.
        cookie.hostOnly = cookie.domain.empty() || (!isAddress(host) && isPublicSuffix(host));
        cookie.domain = lowerHost;
    } else if (!cookieDomainMatches(cookie.domain, lowerHost)
               || cookie.domain.find('.') == std::string::npos || isPublicSuffix(cookie.domain)) {
        // A domain anyone registers under would hand the cookie to every site there.
        return std::nullopt;
    }
    if (cookie.path.empty())
        cookie.path = defaultCookiePath(requestPath);
    if (line.expires)
        cookie.expires = line.expires;
    else if (line.maxAge && *line.maxAge >= 0)
        cookie.expires = now + std::chrono::seconds{*line.maxAge};
    return std::move(cookie);
}

bool cookieDomainMatches(std::string_view domain, std::string_view host)
{
    if (domain.starts_with('.'))
        domain.remove_prefix(1);
    if (domain.empty())
        return false;
    if (equalsIgnoringCase(domain, host))
        return true;
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.'
        && equalsIgnoringCase(host.substr(host.size() - domain.size()), domain) && !isAddress(host);
}

bool cookiePathMatches(std::string_view cookiePath, std::string_view requestPath)
{
    if (!requestPath.starts_with(cookiePath))
        return false;
    return requestPath.size() == cookiePath.size() || cookiePath.ends_with('/')
        || requestPath[cookiePath.size()] == '/';
}

std::string defaultCookiePath(std::string_view requestPath)
{
    const std::size_t slash = requestPath.rfind('/');
    if (!requestPath.starts_with('/') || slash == 0)
        return "/";
    return std::string(requestPath.substr(0, slash));
}

void CookieStore::take(const std::vector<std::string>& setCookies, std::string_view host,
                       std::string_view requestPath, sys_seconds now, bool overHttps)
{
    const std::size_t count = std::min(setCookies.size(), kMaxTakenPerResponse);
    for (std::size_t i = 0; i < count; ++i) {
        auto cookie = readSetCookie(setCookies[i], host, requestPath, now, overHttps);
        if (cookie && (overHttps || !shadowsSecureCookie(*cookie)))
            store(std::move(*cookie));
    }
}

// A Secure cookie of the name that would go where this one goes: plain http
// may not replace nor hide it.
bool CookieStore::shadowsSecureCookie(const Cookie& cookie) const
{
    return std::any_of(m_cookies.begin(), m_cookies.end(), [&](const Cookie& stored) {
        return stored.secure && stored.name == cookie.name
            && (cookieDomainMatches(stored.domain, cookie.domain)
                || cookieDomainMatches(cookie.domain, stored.domain))
            && cookiePathMatches(stored.path, cookie.path);
    });
}

void CookieStore::store(Cookie cookie)
{
    const auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&](const Cookie& stored) {
        return stored.name == cookie.name && stored.domain == cookie.domain
            && stored.path == cookie.path;
    });
    if (same != m_cookies.end()) {
        *same = std::move(cookie);
        return;
    }
    if (m_cookies.size() >= kMaxStored)
        m_cookies.erase(m_cookies.begin());
    m_cookies.push_back(std::move(cookie));
}

std::string CookieStore::headerFor(std::string_view host, std::string_view requestPath,
                                   sys_seconds now, bool overHttps)
{
    std::erase_if(m_cookies,
                  [&](const Cookie& cookie) { return cookie.expires && *cookie.expires <= now; });

    std::vector<const Cookie*> chosen;
    for (const Cookie& cookie : m_cookies) {
        if ((overHttps || !cookie.secure) && !cookie.value.empty()
            && cookiePathMatches(cookie.path, requestPath)
            && (cookie.hostOnly ? equalsIgnoringCase(cookie.domain, host)
                                : cookieDomainMatches(cookie.domain, host)))
            chosen.push_back(&cookie);
    }
    // The store keeps the oldest first, and a replaced cookie keeps its place.
    std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
        return a->path.size() > b->path.size();
    });

    std::string header;
    for (const Cookie* cookie : chosen) {
        if (!header.empty())
            header += "; ";
        header += cookie->name;
        header += '=';
        header += cookie->value;
    }
    return header;
}

}  // namespace vel
