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

// The host may set a cookie for its own name, or with a leading dot for the
// name from its first dot on, but never for a bare top-level name like ".com".
bool hostMaySet(std::string_view domain, std::string_view host)
{
    if (domain == host)
        return true;
    if (domain.size() < 2 || domain.front() != '.' || isDottedQuad(host))
        return false;
    if (domain.find('.', 1) == std::string_view::npos)
        return false;
    const std::size_t dot = host.find('.');
    return dot != std::string_view::npos && host.substr(dot) == domain;
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
            cookie.path = path;
        } else if (equalsIgnoringCase(key, "expires")) {
            // An unreadable date counts as none.
            if (const auto date = parseCookieDate(value))
                line.expires = date;
        } else if (equalsIgnoringCase(key, "domain")) {
            cookie.domain = value;
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
                                    std::string_view requestDirectory, sys_seconds now)
{
    CookieLine line = readCookieLine(text);
    Cookie& cookie = line.cookie;
    if (cookie.name.empty() || hasControlBytes(cookie.name) || hasControlBytes(cookie.value))
        return std::nullopt;
    if (cookie.domain.empty())
        cookie.domain = host;
    if (!hostMaySet(cookie.domain, host))
        return std::nullopt;
    if (cookie.domain != host) {
        // A domain anyone registers under would hand the cookie to every site there.
        if (isPublicSuffix(cookie.domain))
            return std::nullopt;
    } else if (!isDottedQuad(host) && isPublicSuffix(host)) {
        // A page served from a public suffix itself (github.io) keeps its own
        // cookies, as browsers do, but only for that very name.
        cookie.hostOnly = true;
    }
    if (cookie.path.empty())
        cookie.path = requestDirectory;
    if (line.expires)
        cookie.expires = line.expires;
    else if (line.maxAge && *line.maxAge >= 0)
        cookie.expires = now + std::chrono::seconds{*line.maxAge};
    return std::move(cookie);
}

bool cookieDomainMatches(std::string_view domain, std::string_view host)
{
    const std::string lowerHost = toLowerAscii(host);
    std::string bare = toLowerAscii(domain);
    if (!bare.empty() && bare.front() == '.')
        bare.erase(0, 1);
    if (bare.empty())
        return false;
    if (lowerHost == bare)
        return true;
    return lowerHost.size() > bare.size() && lowerHost.ends_with(bare)
        && lowerHost[lowerHost.size() - bare.size() - 1] == '.';
}

void CookieStore::take(const std::vector<std::string>& setCookies, std::string_view host,
                       std::string_view requestDirectory, sys_seconds now)
{
    const std::size_t count = std::min(setCookies.size(), kMaxTakenPerResponse);
    for (std::size_t i = 0; i < count; ++i) {
        if (auto cookie = readSetCookie(setCookies[i], host, requestDirectory, now))
            store(std::move(*cookie));
    }
}

void CookieStore::store(Cookie cookie)
{
    const auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&](const Cookie& stored) {
        return stored.domain == cookie.domain && equalsIgnoringCase(stored.name, cookie.name);
    });
    if (same != m_cookies.end()) {
        *same = std::move(cookie);
        return;
    }
    if (m_cookies.size() >= kMaxStored)
        m_cookies.erase(m_cookies.begin());
    m_cookies.push_back(std::move(cookie));
}

std::string CookieStore::headerFor(std::string_view host, std::string_view requestDirectory,
                                   sys_seconds now, bool overHttps)
{
    std::erase_if(m_cookies,
                  [&](const Cookie& cookie) { return cookie.expires && *cookie.expires <= now; });

    std::vector<const Cookie*> chosen;
    for (const Cookie& cookie : m_cookies) {
        if ((overHttps || !cookie.secure) && !cookie.value.empty()
            && requestDirectory.starts_with(cookie.path)
            && (cookie.hostOnly ? equalsIgnoringCase(cookie.domain, host)
                                : cookieDomainMatches(cookie.domain, host)))
            chosen.push_back(&cookie);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
        return toLowerAscii(a->path) > toLowerAscii(b->path);
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
