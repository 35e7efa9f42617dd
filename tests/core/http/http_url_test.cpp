#include <string>

#include <gtest/gtest.h>

#include "core/http/http_request.h"
#include "core/http/http_url.h"

namespace vel {
namespace {

struct UrlRow {
    std::string text;
    FetchError error;
    std::string host;
    std::string portText;
    int port;
    std::string target;
};

TEST(HttpUrl, ReadsTheParts)
{
    const UrlRow rows[] = {
        {"http://example.com", FetchError::None, "example.com", "80", 80, "/"},
        {"HTTP://Example.com/", FetchError::None, "Example.com", "80", 80, "/"},
        {"http://example.com:8080/a/b.html?q=1&r=%41#top", FetchError::None, "example.com", "8080",
         8080, "/a/b.html?q=1&r=%41"},
        {"http://user:pw@example.com/x", FetchError::None, "example.com", "80", 80, "/x"},
        {"http://a@b:c@example.com:81", FetchError::None, "example.com", "81", 81, "/"},
        {"http:\\\\example.com\\dir\\f.htm", FetchError::None, "example.com", "80", 80,
         "/dir/f.htm"},
        // 0x5C as the second byte of a double-byte character is no backslash.
        {"http://example.com/\x95\x5C/a.htm", FetchError::None, "example.com", "80", 80,
         "/%95%5C/a.htm"},
        {"http://example.com/a#b/c.htm", FetchError::None, "example.com", "80", 80, "/a#b/c.htm"},
        {"http://example.com/p?x=/y#z", FetchError::None, "example.com", "80", 80, "/p?x=/y"},
        {"http://example.com/#z", FetchError::None, "example.com", "80", 80, "/"},
        {"http://example.com/a b", FetchError::None, "example.com", "80", 80, "/a%20b"},
        {"http://example.com/\x82`{?`'", FetchError::None, "example.com", "80", 80,
         "/%82%60%7B?`%27"},
        {"http://[::1]:8080/", FetchError::None, "::1", "8080", 8080, "/"},
        {"http://[::1/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://[no]/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://[::1]x/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com:080/", FetchError::None, "example.com", "080", 80, "/"},
        {"http://example.com:/", FetchError::None, "example.com", "80", 80, "/"},
        {"https://example.com/", FetchError::None, "example.com", "443", 443, "/"},
        {"HTTPS://example.com:8443/a?b", FetchError::None, "example.com", "8443", 8443, "/a?b"},
        {"https://example.com:/", FetchError::None, "example.com", "443", 443, "/"},
        {"httpx://example.com/", FetchError::UnsupportedScheme, "", "", 0, ""},
        {"ftp://example.com:21/", FetchError::UnsupportedScheme, "", "", 0, ""},
        {"example.com/x", FetchError::InvalidUrl, "", "", 0, ""},
        {"http:///x", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://user@:80/x", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com:65536/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com:0/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com:8a/", FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com/a\r\nX-Injected: 1", FetchError::InvalidUrl, "", "", 0, ""},
        {std::string("http://example.com/\0x", 21), FetchError::InvalidUrl, "", "", 0, ""},
        {"http://example.com/\x7f", FetchError::InvalidUrl, "", "", 0, ""},
    };
    for (const UrlRow& row : rows) {
        SCOPED_TRACE(row.text);
        const UrlReading reading = readHttpUrl(row.text);
        EXPECT_EQ(reading.error, row.error);
        if (row.error != FetchError::None)
            continue;
        EXPECT_EQ(reading.url.secure,
                  row.text.starts_with("https") || row.text.starts_with("HTTPS"));
        EXPECT_EQ(reading.url.host, row.host);
        EXPECT_EQ(reading.url.portText, row.portText);
        EXPECT_EQ(reading.url.port, row.port);
        EXPECT_EQ(reading.url.target, row.target);
    }
}

TEST(HttpUrl, PathEndsAtTheQuery)
{
    const std::pair<std::string, std::string> rows[] = {
        {"/", "/"},         {"/a/b.html", "/a/b.html"},
        {"/a/b/", "/a/b/"}, {"/a/b.cgi?x=/y/z", "/a/b.cgi"},
        {"/?a/b", "/"},
    };
    for (const auto& [target, path] : rows) {
        HttpUrl url;
        url.target = target;
        EXPECT_EQ(url.path(), path) << target;
    }
}

TEST(HttpRequest, HeadersInTheirOrder)
{
    HttpUrl url = readHttpUrl("http://example.com/a/b.html?x=1#f").url;
    EXPECT_EQ(buildGetRequest(url, ""),
              "GET /a/b.html?x=1 HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: example.com\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "\r\n");

    // The port is named whenever its text is not "80", even for port 80.
    url = readHttpUrl("http://example.com:080").url;
    EXPECT_EQ(buildGetRequest(url, "a=1; b=2"),
              "GET / HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: example.com:080\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "Cookie: a=1; b=2\r\n"
              "\r\n");
    url = readHttpUrl("http://example.com:80").url;
    EXPECT_NE(buildGetRequest(url, "").find("Host: example.com\r\n"), std::string::npos);

    // Over https the same bytes, with 443 as the port that goes unnamed.
    EXPECT_EQ(buildGetRequest(readHttpUrl("https://example.com/a/b.html?x=1#f").url, ""),
              buildGetRequest(readHttpUrl("http://example.com/a/b.html?x=1#f").url, ""));
    for (const auto& [text, host] : {std::pair{"https://example.com:443/", "example.com"},
                                     std::pair{"https://example.com:80/", "example.com:80"},
                                     std::pair{"http://example.com:443/", "example.com:443"}}) {
        EXPECT_NE(
            buildGetRequest(readHttpUrl(text).url, "").find("Host: " + std::string(host) + "\r\n"),
            std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace vel
