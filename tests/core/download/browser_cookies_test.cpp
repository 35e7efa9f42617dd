#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/browser_cookies.h"

namespace vel {
namespace {

using std::chrono::sys_seconds;

constexpr sys_seconds kNow{std::chrono::seconds{1'700'000'000}};

BrowserCookie hostCookie(std::string name, std::string domain, std::string path = "/")
{
    return {.name = std::move(name),
            .value = "v",
            .domain = std::move(domain),
            .path = std::move(path),
            .expires = std::nullopt};
}

BrowserCookie domainCookie(std::string name, std::string domain, std::string path = "/")
{
    BrowserCookie cookie = hostCookie(std::move(name), std::move(domain), std::move(path));
    cookie.hostOnly = false;
    return cookie;
}

struct Case {
    const char* url;
    std::vector<BrowserCookie> cookies;
    const char* expected;
};

TEST(BrowserCookiesTest, DomainRules)
{
    const std::vector<Case> cases = {
        // A host-only cookie goes to exactly its host.
        {"http://example.com/a.jpg", {hostCookie("h", "example.com")}, "h=v"},
        {"http://EXAMPLE.com/a.jpg", {hostCookie("h", "example.COM")}, "h=v"},
        {"http://img.example.com/a.jpg", {hostCookie("h", "example.com")}, ""},
        {"http://example.com.evil/a.jpg", {hostCookie("h", "example.com")}, ""},
        // A domain cookie also goes to names under its domain, at a dot.
        {"http://example.com/a.jpg", {domainCookie("d", "example.com")}, "d=v"},
        {"http://img.example.com/a.jpg", {domainCookie("d", "example.com")}, "d=v"},
        {"http://a.b.Example.com/a.jpg", {domainCookie("d", ".example.com")}, "d=v"},
        {"http://badexample.com/a.jpg", {domainCookie("d", "example.com")}, ""},
        {"http://example.com/a.jpg", {domainCookie("d", "img.example.com")}, ""},
        {"http://com/a.jpg", {domainCookie("d", "example.com")}, ""},
        {"http://example.org/a.jpg", {domainCookie("d", "example.com")}, ""},
        // Ports and user names play no part; IP hosts match exactly.
        {"http://u:p@example.com:8080/a.jpg", {hostCookie("h", "example.com")}, "h=v"},
        {"http://127.0.0.1:81/a.jpg", {hostCookie("h", "127.0.0.1")}, "h=v"},
        {"http://localhost:81/a.jpg", {hostCookie("h", "127.0.0.1")}, ""},
        {"http://example.com./a.jpg", {hostCookie("h", "example.com")}, ""},
        // No cookie for what is not an http URL.
        {"ftp://example.com/a.jpg", {hostCookie("h", "example.com")}, ""},
        {"/a.jpg", {hostCookie("h", "example.com")}, ""},
        {"http://example.com/a.jpg", {hostCookie("h", "")}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cookieHeaderFor(c.url, c.cookies, kNow), c.expected) << c.url;
}

TEST(BrowserCookiesTest, PathRules)
{
    const std::vector<Case> cases = {
        {"http://h/a.jpg", {hostCookie("p", "h", "/")}, "p=v"},
        {"http://h/img", {hostCookie("p", "h", "/img")}, "p=v"},
        {"http://h/img/a.jpg", {hostCookie("p", "h", "/img")}, "p=v"},
        {"http://h/img/a.jpg", {hostCookie("p", "h", "/img/")}, "p=v"},
        {"http://h/images/a.jpg", {hostCookie("p", "h", "/img")}, ""},
        {"http://h/img", {hostCookie("p", "h", "/img/")}, ""},
        {"http://h/IMG/a.jpg", {hostCookie("p", "h", "/img")}, ""},
        {"http://h/a.jpg?dir=/img/", {hostCookie("p", "h", "/img")}, ""},
        {"http://h/img?x", {hostCookie("p", "h", "/img")}, "p=v"},
        {"http://h", {hostCookie("p", "h", "/")}, "p=v"},
        {"http://h", {hostCookie("p", "h", "/img")}, ""},
        {"http://h/a.jpg", {hostCookie("p", "h", "")}, "p=v"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cookieHeaderFor(c.url, c.cookies, kNow), c.expected)
            << c.url << " " << c.cookies.front().path;
}

TEST(BrowserCookiesTest, SecureOnlyOverHttpsAndExpiredNever)
{
    BrowserCookie secure = hostCookie("s", "h");
    secure.secure = true;
    EXPECT_EQ(cookieHeaderFor("https://h/a.jpg", {secure}, kNow), "s=v");
    EXPECT_EQ(cookieHeaderFor("HTTPS://h/a.jpg", {secure}, kNow), "s=v");
    EXPECT_EQ(cookieHeaderFor("http://h/a.jpg", {secure}, kNow), "");

    BrowserCookie expired = hostCookie("e", "h");
    expired.expires = kNow;
    BrowserCookie later = hostCookie("l", "h");
    later.expires = kNow + std::chrono::seconds{1};
    BrowserCookie session = hostCookie("session", "h");
    EXPECT_EQ(cookieHeaderFor("http://h/a.jpg", {expired, later, session}, kNow), "l=v; session=v");
}

TEST(BrowserCookiesTest, LongerPathsFirstThenInTheOrderGiven)
{
    BrowserCookie named = hostCookie("n", "h", "/a/b");
    named.value = "1=2";
    BrowserCookie nameless = hostCookie("", "h", "/a");
    nameless.value = "bare";
    const std::vector<BrowserCookie> cookies = {
        hostCookie("root", "h", "/"),     domainCookie("z", "h", "/a/"), named, nameless,
        hostCookie("other", "g", "/a/b"), hostCookie("first", "h", "/")};
    EXPECT_EQ(cookieHeaderFor("http://h/a/b/c.jpg", cookies, kNow),
              "n=1=2; z=v; bare; root=v; first=v");
    EXPECT_EQ(cookieHeaderFor("http://h/a/b/c.jpg", {}, kNow), "");
}

}  // namespace
}  // namespace vel
