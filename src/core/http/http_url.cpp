#include "core/http/http_url.h"

#include <algorithm>

#include <arpa/inet.h>

#include "core/http/header_text.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

bool isControlByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// "1".."65535" with any leading zeros; 0 when the text is no such number.
std::uint16_t parsePort(std::string_view text)
{
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535)
            return 0;
    }
    return static_cast<std::uint16_t>(value);
}

// The target as a browser sends it: spaces, bytes above 0x7F (UTF-8 or the
// code page's) and "`{}<> percent-encoded in the path, "'<> in the query. A
// backslash left is a double-byte character's second byte, escaped with it.
std::string requestTarget(std::string_view target)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t query = target.find('?');
    std::string out;
    out.reserve(target.size());
    for (std::size_t i = 0; i < target.size(); ++i) {
        const char c = target[i];
        const auto byte = static_cast<unsigned char>(c);
        const std::string_view escaped = i < query ? "\"`{}<> \\" : "\"'<> \\";
        if (byte >= 0x80 || escaped.find(c) != std::string_view::npos)
            out += {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
        else
            out.push_back(c);
    }
    return out;
}

}  // namespace

std::string_view HttpUrl::path() const
{
    return std::string_view(target).substr(0, target.find('?'));
}

UrlReading readHttpUrl(std::string_view text)
{
    UrlReading reading;
    if (std::any_of(text.begin(), text.end(), isControlByte)) {
        reading.error = FetchError::InvalidUrl;
        return reading;
    }
    const std::string url = backslashesToSlashes(text);
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) {
        reading.error = FetchError::InvalidUrl;
        return reading;
    }
    const std::string_view scheme = std::string_view(url).substr(0, schemeEnd);
    HttpUrl& out = reading.url;
    out.secure = equalsIgnoringCase(scheme, "https");
    if (!out.secure && !equalsIgnoringCase(scheme, "http")) {
        reading.error = FetchError::UnsupportedScheme;
        return reading;
    }
    if (out.secure) {
        out.portText = "443";
        out.port = 443;
    }

    const std::string_view rest = std::string_view(url).substr(schemeEnd + 3);
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    // "[::1]:8080": an IPv6 address, kept without its brackets.
    std::size_t colon = authority.find(':');
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        in6_addr address{};
        if (close == std::string_view::npos
            || ::inet_pton(AF_INET6, std::string(authority.substr(1, close - 1)).c_str(), &address)
                != 1
            || (close + 1 < authority.size() && authority[close + 1] != ':')) {
            reading.error = FetchError::InvalidUrl;
            return reading;
        }
        out.host = std::string(authority.substr(1, close - 1));
        colon = close + 1 < authority.size() ? close + 1 : std::string_view::npos;
    } else {
        out.host = std::string(authority.substr(0, colon));
    }
    if (colon != std::string_view::npos && colon + 1 < authority.size()) {
        out.portText = std::string(authority.substr(colon + 1));
        out.port = parsePort(out.portText);
        if (out.port == 0) {
            reading.error = FetchError::InvalidUrl;
            return reading;
        }
    }
    if (out.host.empty()) {
        reading.error = FetchError::InvalidUrl;
        return reading;
    }

    if (slash != std::string_view::npos) {
        std::string_view target = rest.substr(slash);
        // A "#" in a directory segment stays; one in the file name or the
        // query ends what is sent.
        const std::string_view path = target.substr(0, target.find('?'));
        const std::size_t fileStart = path.rfind('/') + 1;
        if (const std::size_t hash = target.find('#', fileStart); hash != std::string_view::npos)
            target = target.substr(0, hash);
        out.target = requestTarget(target);
    }
    return reading;
}

}  // namespace vel
