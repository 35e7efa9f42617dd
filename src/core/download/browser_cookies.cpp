#include "core/download/browser_cookies.h"

#include <algorithm>
#include <cstddef>

#include "core/http/http_url.h"

namespace vel {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

bool domainMatches(const BrowserCookie& cookie, std::string_view host)
{
    std::string_view domain = cookie.domain;
    // Some stores keep a domain cookie's leading dot.
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    if (domain.empty())
        return false;
    if (equalsNoCase(domain, host))
        return true;
    if (cookie.hostOnly || host.size() <= domain.size())
        return false;
    const std::size_t start = host.size() - domain.size();
    return host[start - 1] == '.' && equalsNoCase(host.substr(start), domain);
}

// RFC 6265 5.1.4.
bool pathMatches(std::string_view cookiePath, std::string_view requestPath)
{
    if (cookiePath.empty())
        cookiePath = "/";
    if (requestPath.substr(0, cookiePath.size()) != cookiePath)
        return false;
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/'
        || requestPath[cookiePath.size()] == '/';
}

}  // namespace

std::string cookieHeaderFor(std::string_view url, const std::vector<BrowserCookie>& cookies,
                            std::chrono::sys_seconds now)
{
    const UrlReading reading = readHttpUrl(url);
    if (!reading.ok() || reading.url.host.empty())
        return {};
    // A trailing dot makes another host, as browsers keep cookies; an IPv6
    // address is in brackets, as the browser names its cookies' host.
    const std::string& bare = reading.url.host;
    const std::string host = bare.find(':') != std::string::npos ? "[" + bare + "]" : bare;
    std::string_view path = reading.url.target;
    path = path.substr(0, path.find('?'));
    if (path.empty() || path.front() != '/')
        path = "/";

    std::vector<const BrowserCookie*> matching;
    for (const BrowserCookie& cookie : cookies) {
        if (cookie.expires && *cookie.expires <= now)
            continue;
        if (cookie.secure && !reading.url.secure)
            continue;
        if (domainMatches(cookie, host) && pathMatches(cookie.path, path))
            matching.push_back(&cookie);
    }
    std::stable_sort(matching.begin(), matching.end(),
                     [](const auto* a, const auto* b) { return a->path.size() > b->path.size(); });
    std::string header;
    for (const BrowserCookie* cookie : matching) {
        if (!header.empty())
            header += "; ";
        // A nameless cookie goes as its value alone, as browsers send it.
        if (!cookie->name.empty()) {
            header += cookie->name;
            header += '=';
        }
        header += cookie->value;
    }
    return header;
}

}  // namespace vel
