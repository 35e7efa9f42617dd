#include "core/http/http_request.h"

namespace vel {

std::string buildGetRequest(const HttpUrl& url, std::string_view cookies)
{
    std::string request;
    request.reserve(160 + url.target.size() + url.host.size() + cookies.size());
    request += "GET ";
    request += url.target;
    request += " HTTP/1.1\r\n";
    request += "Content-Type: text/html\r\n";
    request += "Host: ";
    // An IPv6 address goes in brackets, as in the URL.
    const bool ipv6 = url.host.find(':') != std::string::npos;
    request += ipv6 ? "[" + url.host + "]" : url.host;
    if (url.portText != url.defaultPortText()) {
        request += ':';
        request += url.portText;
    }
    request += "\r\n";
    request += "Accept: text/html, */*\r\n";
    request += "User-Agent: ";
    request += kUserAgent;
    request += "\r\n";
    if (!cookies.empty()) {
        request += "Cookie: ";
        request += cookies;
        request += "\r\n";
    }
    request += "\r\n";
    return request;
}

}  // namespace vel
