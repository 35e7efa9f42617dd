#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/http/cookie_date.h"
#include "core/http/cookie_store.h"

namespace vel {
namespace {

using namespace std::chrono;

const sys_seconds kNow = sys_days{2024y / 5 / 1} + hours{12};

sys_seconds at(year_month_day date, int h, int m, int s)
{
    return sys_days{date} + hours{h} + minutes{m} + seconds{s};
}

TEST(CookieDate, ReadsTheCommonForms)
{
    const std::pair<const char*, std::optional<sys_seconds>> rows[] = {
        {"Wed, 09 Jun 2021 10:18:14 GMT", at(2021y / 6 / 9, 10, 18, 14)},
        {"Wednesday, 09-Jun-21 10:18:14 GMT", at(2021y / 6 / 9, 10, 18, 14)},
        {"Thu, 01-Jan-1970 00:00:00 GMT", at(1970y / 1 / 1, 0, 0, 0)},
        {"Sun Nov  6 08:49:37 1994", at(1994y / 11 / 6, 8, 49, 37)},
        {"Fri, 31 Dec 9999 23:59:59 GMT", at(9999y / 12 / 31, 23, 59, 59)},
        {"Mon, 01 jan 99 00:00 GMT", at(1999y / 1 / 1, 0, 0, 0)},
        {"31 Feb 2021", std::nullopt},
        {"Wed, 09 Jun 2021 25:00:00 GMT", std::nullopt},
        {"tomorrow", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(parseCookieDate(text), expected) << text;
}

struct SetCookieRow {
    const char* text;
    const char* host;
    std::optional<Cookie> expected;
    bool overHttps = false;
};

TEST(CookieStore, ReadsSetCookie)
{
    // Set in answer to a request for /d/x.html.
    const auto cookie = [](const char* name, const char* value, const char* domain,
                           const char* path, std::optional<sys_seconds> expires = {},
                           bool secure = false) {
        return std::optional<Cookie>(Cookie{name, value, domain, path, expires, secure, true});
    };
    const auto shared = [](const char* domain) {
        return std::optional<Cookie>(Cookie{"a", "1", domain, "/d", {}, false, false});
    };
    const SetCookieRow rows[] = {
        {"a=1", "WWW.Example.com", cookie("a", "1", "www.example.com", "/d")},
        {" a = x=y ; Path=\"/p/\" ; SECURE", "h", cookie("a", "x=y", "h", "/p/", {}, true), true},
        {"a=1; secure", "h", std::nullopt},
        {"a=1; path=p/", "h", cookie("a", "1", "h", "/d")},
        {"a=1; domain=", "h", cookie("a", "1", "h", "/d")},
        {"a=1; DOMAIN=.example.com", "www.example.com", shared("example.com")},
        {"a=1; domain=example.com", "www.example.com", shared("example.com")},
        {"a=1; domain=.Example.COM", "www.example.com", shared("example.com")},
        {"a=1; domain=.example.com", "a.b.example.com", shared("example.com")},
        {"a=1; domain=.example.com", "example.com", shared("example.com")},
        {"a=1; domain=www.example.com", "example.com", std::nullopt},
        {"a=1; domain=ample.com", "www.example.com", std::nullopt},
        {"a=1; domain=.com", "example.com", std::nullopt},
        {"a=1; domain=.0.0.1", "127.0.0.1", std::nullopt},
        {"a=1; domain=127.0.0.1", "127.0.0.1", shared("127.0.0.1")},
        {"a=1; expires=Wed, 09 Jun 2021 10:18:14 GMT; max-age=60", "h",
         cookie("a", "1", "h", "/d", at(2021y / 6 / 9, 10, 18, 14))},
        {"a=1; Max-Age=60", "h", cookie("a", "1", "h", "/d", kNow + seconds{60})},
        {"a=1; max-age=-1", "h", cookie("a", "1", "h", "/d")},
        {"a=1; expires=never; max-age=10", "h", cookie("a", "1", "h", "/d", kNow + seconds{10})},
        {"flag", "h", cookie("flag", "", "h", "/d")},
        {"=1", "h", std::nullopt},
        {"a=1\x01", "h", std::nullopt},
        {"a\tb=1", "h", std::nullopt},
    };
    for (const SetCookieRow& row : rows)
        EXPECT_EQ(readSetCookie(row.text, row.host, "/d/x.html", kNow, row.overHttps), row.expected)
            << row.text << " from " << row.host;
}

TEST(CookieStore, NoDomainCookieForAPublicSuffix)
{
    const std::tuple<const char*, const char*, bool> rows[] = {
        {".co.jp", "example.co.jp", false},
        {".ne.jp", "www.ne.jp", false},
        {".co.uk", "shop.co.uk", false},
        {".github.io", "user.github.io", false},
        {".CO.JP", "example.CO.JP", false},
        // Under a wildcard entry (*.kawasaki.jp) each name is a suffix of its own.
        {".x.kawasaki.jp", "www.x.kawasaki.jp", false},
        {".example.co.jp", "www.example.co.jp", true},
        {".user.github.io", "www.user.github.io", true},
        {".example.com", "www.example.com", true},
        // A top-level name the list does not know is no registry.
        {".intranet.lan", "www.intranet.lan", true},
    };
    for (const auto& [domain, host, kept] : rows) {
        const std::string text = std::string("a=1; domain=") + domain;
        EXPECT_EQ(readSetCookie(text, host, "/", kNow).has_value(), kept)
            << domain << " / " << host;
    }

    CookieStore store;
    store.take({"shared=1; domain=.co.jp; path=/", "own=2; domain=.example.co.jp; path=/"},
               "www.example.co.jp", "/", kNow);
    EXPECT_EQ(store.headerFor("www.other.co.jp", "/", kNow), "");
    EXPECT_EQ(store.headerFor("img.example.co.jp", "/", kNow), "own=2");
}

TEST(CookieStore, APublicSuffixKeepsItsOwnCookiesToItself)
{
    // A page served from a public suffix itself: its cookies, with no Domain or
    // with its own name as the Domain, go back to it and to no site under it.
    for (const char* text : {"pages=1; path=/", "pages=1; domain=github.io; path=/"}) {
        SCOPED_TRACE(text);
        const auto cookie = readSetCookie(text, "github.io", "/", kNow);
        ASSERT_TRUE(cookie.has_value());
        EXPECT_TRUE(cookie->hostOnly);
        CookieStore store;
        store.take({text}, "github.io", "/", kNow);
        EXPECT_EQ(store.headerFor("github.io", "/", kNow), "pages=1");
        EXPECT_EQ(store.headerFor("GitHub.io", "/", kNow), "pages=1");
        EXPECT_EQ(store.headerFor("user.github.io", "/", kNow), "");
    }
    // Ordinary hosts' domain cookies still go to the names under them.
    const auto ordinary = readSetCookie("a=1; domain=example.co.jp", "example.co.jp", "/", kNow);
    ASSERT_TRUE(ordinary.has_value());
    EXPECT_FALSE(ordinary->hostOnly);
    EXPECT_FALSE(readSetCookie("a=1; domain=127.0.0.1", "127.0.0.1", "/", kNow)->hostOnly);
}

TEST(CookieStore, DomainMatchesAtADotOnly)
{
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"example.com", "example.com", true},      {".example.com", "www.example.com", true},
        {"example.com", "WWW.EXAMPLE.COM", true},  {".example.com", "example.com", true},
        {"example.com", "notexample.com", false},  {"example.com", "example.com.evil.org", false},
        {"www.example.com", "example.com", false}, {".", "example.com", false},
        {"example.com", "wwwexample.com", false},  {"0.0.1", "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1", true},
    };
    for (const auto& [domain, host, matches] : rows)
        EXPECT_EQ(cookieDomainMatches(domain, host), matches) << domain << " / " << host;
}

TEST(CookieStore, PathMatchesAtASlashOnly)
{
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"/", "/", true},
        {"/", "/any/x.html", true},
        {"/admin", "/admin", true},
        {"/admin", "/admin/x", true},
        {"/admin", "/administrator/", false},
        {"/admin/", "/admin/x", true},
        {"/admin/", "/admin", false},
        {"/Admin", "/admin/", false},
    };
    for (const auto& [cookiePath, requestPath, matches] : rows)
        EXPECT_EQ(cookiePathMatches(cookiePath, requestPath), matches)
            << cookiePath << " / " << requestPath;
    const std::pair<const char*, const char*> defaults[] = {
        {"", "/"},        {"x.html", "/"},     {"/", "/"},
        {"/x.html", "/"}, {"/d/x.html", "/d"}, {"/d/e/", "/d/e"},
    };
    for (const auto& [requestPath, path] : defaults)
        EXPECT_EQ(defaultCookiePath(requestPath), path) << requestPath;
}

TEST(CookieStore, ChoosesOrdersAndReplaces)
{
    CookieStore store;
    store.take({"root=1; path=/", "deep=2; path=/a/b/", "mid=3; path=/a", "upper=4; path=/A/",
                "dir=5", "sec=6; secure", "empty=", "gone=6; max-age=0",
                "old=7; expires=Thu, 01-Jan-1970 00:00:00 GMT",
                "later=8; expires=Fri, 31 Dec 9999 23:59:59 GMT"},
               "www.example.com", "/a/x.html", kNow, true);
    store.take({"site=9; domain=.example.com; path=/"}, "www.example.com", "/", kNow);

    // The longest path first, then the oldest.
    EXPECT_EQ(store.headerFor("www.example.com", "/a/b/c/", kNow),
              "deep=2; mid=3; dir=5; later=8; root=1; site=9");
    // A Secure cookie goes over https only.
    EXPECT_EQ(store.headerFor("www.example.com", "/a/", kNow, true),
              "mid=3; dir=5; sec=6; later=8; root=1; site=9");
    EXPECT_EQ(store.headerFor("www.example.com", "/a/", kNow),
              "mid=3; dir=5; later=8; root=1; site=9");
    EXPECT_EQ(store.headerFor("www.example.com", "/x/", kNow), "root=1; site=9");
    EXPECT_EQ(store.headerFor("img.example.com", "/a/", kNow), "site=9");
    EXPECT_EQ(store.headerFor("www.example.org", "/a/", kNow), "");
    // Paths match byte for byte; expired cookies are dropped for good.
    EXPECT_EQ(store.cookies().size(), 9u);

    // Same name, domain and path replaces in place; another case of the name,
    // another path or another domain is another cookie.
    store.take({"root=new; path=/", "ROOT=upper; path=/", "root=deep; path=/a/b"},
               "www.example.com", "/", kNow);
    store.take({"root=other; path=/"}, "other.org", "/", kNow);
    EXPECT_EQ(store.headerFor("www.example.com", "/", kNow), "root=new; site=9; ROOT=upper");
    EXPECT_EQ(store.headerFor("www.example.com", "/a/b", kNow),
              "root=deep; mid=3; dir=5; later=8; root=new; site=9; ROOT=upper");
    EXPECT_EQ(store.headerFor("other.org", "/", kNow), "root=other");

    // Plain http neither sets a Secure cookie nor replaces or hides one.
    store.take({"sec=plain; path=/a", "sec=deeper; domain=example.com; path=/a/b", "s=1; secure"},
               "www.example.com", "/a/", kNow);
    EXPECT_EQ(store.headerFor("www.example.com", "/a/", kNow, true),
              "mid=3; dir=5; sec=6; later=8; root=new; site=9; ROOT=upper");
    EXPECT_EQ(store.cookies().size(), 12u);

    // Max-Age runs out.
    store.take({"brief=1; max-age=10; path=/"}, "h", "/", kNow);
    EXPECT_EQ(store.headerFor("h", "/", kNow + seconds{9}), "brief=1");
    EXPECT_EQ(store.headerFor("h", "/", kNow + seconds{10}), "");
}

TEST(CookieStore, TakesAtMostFiftyFromOneResponse)
{
    std::vector<std::string> many;
    for (int i = 0; i < 80; ++i)
        many.push_back(std::to_string(i) + "=v");
    CookieStore store;
    store.take(many, "h", "/", kNow);
    EXPECT_EQ(store.cookies().size(), CookieStore::kMaxTakenPerResponse);
}

}  // namespace
}  // namespace vel
