#include "core/search/plain_reference.h"

#include <cstddef>

namespace vel {

namespace {

constexpr std::string_view::size_type npos = std::string_view::npos;

bool isAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isIn(char c, std::string_view set)
{
    return set.find(c) != npos;
}

// Path characters the parser keeps unescaped ("%" left out on purpose).
bool isPathChar(char c)
{
    return isAlnum(c) || isIn(c, "-._~!$&'()*+,;=@/");
}

// Query characters it keeps unescaped in http(s) URLs ("'" is escaped there).
bool isQueryChar(char c)
{
    return isAlnum(c) || isIn(c, "-._~!$&()*+,;=:@/?");
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A %-escape of a byte outside ASCII ("%E5"), which the browser keeps as
// written; it unescapes some ASCII ones ("%41" becomes "A").
bool isKeptEscape(std::string_view text, std::size_t at)
{
    return at + 2 < text.size() && isHexDigit(text[at + 1]) && isHexDigit(text[at + 2])
        && !(text[at + 1] >= '0' && text[at + 1] <= '7');
}

// A path of kept characters (":" allowed after a host) with no "." or ".."
// segment, then an optional query of kept characters.
bool isPlainPathAndQuery(std::string_view text, bool colonAllowed)
{
    const std::size_t query = text.find('?');
    const std::string_view path = text.substr(0, query);
    std::size_t segmentStart = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string_view segment = path.substr(segmentStart, i - segmentStart);
            if (segment == "." || segment == "..")
                return false;
            segmentStart = i + 1;
            continue;
        }
        if (path[i] == '%' && isKeptEscape(path, i)) {
            i += 2;
            continue;
        }
        if (!isPathChar(path[i]) && !(colonAllowed && path[i] == ':'))
            return false;
    }
    if (query == npos)
        return true;
    const std::string_view rest = text.substr(query + 1);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && isKeptEscape(rest, i)) {
            i += 2;
            continue;
        }
        if (!isQueryChar(rest[i]))
            return false;
    }
    return true;
}

// A lower-case host name of letters, digits and hyphens whose last label
// starts with a letter (so the parser never takes it for an IPv4 address),
// perhaps with a final dot, and no punycode label to validate.
bool isPlainHost(std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (host.empty() || host.find("xn--") != npos)
        return false;
    std::size_t labelStart = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '.') {
            const char c = host[i];
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
                return false;
            continue;
        }
        if (i == labelStart)
            return false;  // an empty label
        if (i == host.size() && !(host[labelStart] >= 'a' && host[labelStart] <= 'z'))
            return false;
        labelStart = i + 1;
    }
    return true;
}

std::optional<std::string> joinAbsolute(std::string_view value)
{
    const std::size_t schemeEnd = value.substr(0, 5) == "https" ? 5 : 4;
    const std::size_t hostStart = schemeEnd + 3;
    std::size_t hostEnd = hostStart;
    while (hostEnd < value.size() && value[hostEnd] != '/' && value[hostEnd] != '?')
        ++hostEnd;
    if (!isPlainHost(value.substr(hostStart, hostEnd - hostStart)))
        return std::nullopt;
    const std::string_view rest = value.substr(hostEnd);
    if (!isPlainPathAndQuery(rest, true))
        return std::nullopt;
    if (!rest.empty() && rest.front() == '/')
        return std::string(value);
    // A URL with a host always has a path, "/" at least.
    std::string joined(value.substr(0, hostEnd));
    joined += '/';
    joined += rest;
    return joined;
}

}  // namespace

std::optional<std::string> joinPlainReference(std::string_view base, std::string_view value)
{
    if (value.empty())
        return std::nullopt;
    if (value.substr(0, 7) == "http://" || value.substr(0, 8) == "https://")
        return joinAbsolute(value);

    // The base's origin ("scheme://authority") and its path up to the last "/".
    std::size_t authority;
    if (base.substr(0, 7) == "http://" || base.substr(0, 7) == "file://")
        authority = 7;
    else if (base.substr(0, 8) == "https://")
        authority = 8;
    else
        return std::nullopt;
    const std::size_t pathStart = base.find_first_of("/?#", authority);
    if (pathStart == npos || base[pathStart] != '/')
        return std::nullopt;
    const std::size_t pathEnd = base.find_first_of("?#", pathStart);
    const std::string_view path = base.substr(pathStart, pathEnd - pathStart);

    if (value.front() == '/') {
        if (value.size() < 2 || value[1] == '/' || !isPlainPathAndQuery(value, false))
            return std::nullopt;
        std::string joined(base.substr(0, pathStart));
        joined += value;
        return joined;
    }
    // A first character that could start a dot segment, a query or a scheme
    // is left to the browser (":" never passes the check below).
    if (value.front() == '.' || value.front() == '?' || !isPlainPathAndQuery(value, false))
        return std::nullopt;
    std::string joined(base.substr(0, pathStart + path.rfind('/') + 1));
    joined += value;
    return joined;
}

}  // namespace vel
