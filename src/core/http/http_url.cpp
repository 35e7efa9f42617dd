#include "core/http/http_url.h"

#include <algorithm>

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

    const std::size_t colon = authority.find(':');
    out.host = std::string(authority.substr(0, colon));
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
        out.target = std::string(target);
    }
    return reading;
}

}  // namespace vel
