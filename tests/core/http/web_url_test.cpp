#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/download/download_rules.h"
#include "core/http/url_resolution.h"
#include "core/http/web_url.h"
#include "support/code_page_scope.h"
#include "url_standard_cases.h"

namespace vel {
namespace {

// What a case sends: the URL on the wire, or nothing at all.
std::optional<std::string> sent(const char* base, const char* value, PageCharset charset)
{
    const std::optional<std::string> url = resolveWebUrl(base, value, charset);
    if (!url || !hasFetchableScheme(*url))
        return std::nullopt;
    return encodeUrlForRequest(*url);
}

TEST(ResolveWebUrl, ReachesTheServerAsABrowsersRequestWould)
{
    for (const test::UrlStandardCase& c : test::kUrlStandardCases) {
        const std::optional<std::string> expected =
            c.href ? std::optional<std::string>(withoutFragment(c.href)) : std::nullopt;
        EXPECT_EQ(sent(c.base, c.input, PageCharset::Utf8), expected)
            << "value [" << c.input << "] against " << c.base;
    }
}

TEST(ResolveWebUrl, PagesInTheCodePage)
{
    const CodePageScope shiftJis(CodePage::Cp932);
    const struct {
        const char* value;
        const char* url;
    } cases[] = {
        // "\" is a slash where it begins a character, never as a second byte.
        {"img\\a.jpg", "http://h/d/img/a.jpg"},
        {"\x95\\/\x95\\.jpg", "http://h/d/\x95\\/\x95\\.jpg"},
        // A second byte is never escaped, the same byte standing alone is.
        {"\x82`{.jpg?q='\x82`", "http://h/d/\x82`%7B.jpg?q=%27\x82`"},
        // No punycode from the code page: the host stays as written.
        {"http://\x93\xfa.JP/a.jpg", "http://\x93\xfa.JP/a.jpg"},
        {"//WWW.Example.COM:80/%2e/a.jpg", "http://www.example.com/a.jpg"},
        // A lead byte with nothing after it, or a control byte after one, is no character.
        {"a.jpg?\x95", "http://h/d/a.jpg?%95"},
        {"\x95\x01.jpg", "http://h/d/\x95%01.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveWebUrl("http://h/d/index.html", c.value, PageCharset::CodePage),
                  std::optional<std::string>(c.url))
            << c.value;
}

TEST(ResolveWebUrl, OtherSchemesAndBasesResolveAsBefore)
{
    const struct {
        const char* base;
        const char* value;
        std::optional<std::string> url;
    } cases[] = {
        {"http://h/d/", "ftp://x/a.gif#f", "ftp://x/a.gif"},
        {"http://h/d/", "javascript:go('a.gif')", "javascript:go('a.gif')"},
        {"ftp://h/d/", "a.gif", "ftp://h/d/a.gif"},
        {"ftp://h/d/", "HTTP://Example.com:80/a.gif", "http://example.com/a.gif"},
        {"no base", "a.gif", std::nullopt},
        {"http://a b/", "a.gif", std::nullopt},
        // An international name in punycode in any locale; a UTF-8 page's path as it is.
        {"https://h/", "//\xE4\xBE\x8B\xE3\x81\x88.jp/\xE5\x86\x99.gif",
         "https://xn--r8jz45g.jp/\xE5\x86\x99.gif"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveWebUrl(c.base, c.value, PageCharset::Utf8), c.url) << c.value;
}

}  // namespace
}  // namespace vel
