#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/search/reference_values.h"

namespace vel {

namespace {

using Strings = std::vector<std::string>;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The straightforward reading: every "url(" read afresh to its end; after a
// url(...) found, the search goes on after its ")".
Strings referenceCssUrls(std::string_view css)
{
    Strings found;
    std::size_t at = css.find("url(");
    while (at != std::string_view::npos) {
        std::size_t i = at + 4;
        while (i < css.size() && isSpace(css[i]))
            ++i;
        const char quote = i < css.size() && (css[i] == '"' || css[i] == '\'') ? css[i] : 0;
        if (quote)
            ++i;
        std::string value;
        bool closed = !quote;
        while (i < css.size()) {
            const char c = css[i];
            if (quote && c == quote) {
                closed = true;
                ++i;
                break;
            }
            if (!quote && (c == ')' || c == '\'' || c == '"' || isSpace(c)))
                break;
            if (c == '\\' && i + 1 < css.size()) {
                value += css[i + 1];
                i += 2;
                continue;
            }
            if (c == '\\' && quote)
                break;
            value += c;
            ++i;
        }
        while (i < css.size() && isSpace(css[i]))
            ++i;
        if (closed && i < css.size() && css[i] == ')') {
            found.push_back(value);
            at = css.find("url(", i + 1);
        } else {
            at = css.find("url(", at + 1);
        }
    }
    return found;
}

Strings cssUrls(std::string_view css)
{
    Strings found;
    forEachCssUrl(css, [&](std::string_view value) { found.emplace_back(value); });
    return found;
}

}  // namespace

// Short texts made of the characters that matter, so that quotes, escapes and
// nested or broken url( meet in every order.
TEST(ForEachCssUrl, AgreesWithTheStraightforwardReading)
{
    std::mt19937 random(20261208);
    const std::string_view pieces[] = {"url(", "url( ", ")", "\"", "'", "\\", " ", "a", "(", "u"};
    for (int round = 0; round < 50000; ++round) {
        std::string css;
        const int length = static_cast<int>(random() % 16);
        for (int k = 0; k < length; ++k)
            css += pieces[random() % std::size(pieces)];
        ASSERT_EQ(cssUrls(css), referenceCssUrls(css)) << css;
    }
}

// Each of these took time growing with the square of its length; they finish
// now and give what the straightforward reading gives.
TEST(ForEachCssUrl, RepeatedBrokenUrlsAreReadOnce)
{
    for (const std::string_view unit :
         {"url(", "url(\"", "url('", "url(\\", "url(a\"", "url(\"\\\"", "url( x"}) {
        std::string css;
        for (int k = 0; k < 100000; ++k)
            css += unit;
        const std::string small = css.substr(0, unit.size() * 50);
        EXPECT_EQ(cssUrls(small), referenceCssUrls(small)) << unit;
        EXPECT_EQ(cssUrls(css).size(), 0u) << unit;
    }
}

}  // namespace vel
