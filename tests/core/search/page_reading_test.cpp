#include <cstddef>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "core/html/html_text.h"
#include "core/html/page_charset.h"

namespace vel {
namespace {

TEST(DetectPageCharset, HeaderThenMetaThenByteOrderMark)
{
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* contentType;
        std::string page;
        PageCharset charset;
    } cases[] = {
        {"text/html; charset=UTF-8", "", PageCharset::Utf8},
        {"text/html;charset=\"utf8\"", "", PageCharset::Utf8},
        {"TEXT/HTML; CHARSET = utf-8", "", PageCharset::Utf8},
        {"text/html; charset=Shift_JIS", "<meta charset=\"utf-8\">", PageCharset::CodePage},
        {"text/html", "<html><head><meta charset=\"utf-8\">", PageCharset::Utf8},
        {"", "<META CHARSET=UTF-8>", PageCharset::Utf8},
        {"", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
         PageCharset::Utf8},
        {"", "<meta http-equiv=Content-Type content='text/html;charset=x-sjis'>",
         PageCharset::CodePage},
        {"", "<meta name=\"viewport\" content=\"width=device-width\">", PageCharset::CodePage},
        {"", std::string(1100, ' ') + "<meta charset=\"utf-8\">", PageCharset::CodePage},
        {"", bom + "<p>", PageCharset::Utf8},
        {"text/html; charset=euc-jp", bom, PageCharset::CodePage},
        {"", "", PageCharset::CodePage},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectPageCharset(c.contentType, c.page), c.charset)
            << c.contentType << " / " << c.page.substr(0, 60);
}

TEST(DecodeCharacterReferences, AsTheParserReadsAttributeValues)
{
    const struct {
        const char* value;
        PageCharset charset;
        const char* decoded;
    } cases[] = {
        {"a.jpg?w=1&amp;h=2", PageCharset::CodePage, "a.jpg?w=1&h=2"},
        {"&lt;&gt;&quot;&apos;", PageCharset::CodePage, "<>\"'"},
        {"&#38;&#x26;&#X26;", PageCharset::CodePage, "&&&"},
        {"&#47;img&#x2F;a.gif", PageCharset::CodePage, "/img/a.gif"},
        {"a&ampb", PageCharset::CodePage, "a&ampb"},  // a letter follows: stays
        {"?x=1&amp=2", PageCharset::CodePage, "?x=1&amp=2"},  // "=" follows: stays
        {"a&amp b", PageCharset::CodePage, "a& b"},  // legacy form without ";"
        {"a&unknown;b", PageCharset::CodePage, "a&unknown;b"},
        {"a&#;b&#x;c", PageCharset::CodePage, "a&#;b&#x;c"},
        {"&#x5199;.jpg", PageCharset::Utf8, "\xE5\x86\x99.jpg"},
        {"&#x5199;.jpg", PageCharset::CodePage, "&#x5199;.jpg"},
        {"&nbsp;", PageCharset::Utf8, "\xC2\xA0"},
        {"&#0;", PageCharset::Utf8, "\xEF\xBF\xBD"},
        {"\x83\x41&amp;", PageCharset::CodePage, "\x83\x41&"},
        {"&", PageCharset::CodePage, "&"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeCharacterReferences(c.value, c.charset), c.decoded) << c.value;
}

TEST(FindBaseHref, FirstBaseElementWithAnHref)
{
    EXPECT_EQ(findBaseHref("<head><base href=\"http://cdn.test/x/\"></head>"),
              std::optional<std::string>("http://cdn.test/x/"));
    EXPECT_EQ(findBaseHref("<BASE target=_blank><Base HREF='/img/'><base href=\"/other/\">"),
              std::optional<std::string>("/img/"));
    EXPECT_EQ(findBaseHref("<base href=/plain/ >"), std::optional<std::string>("/plain/"));
    EXPECT_EQ(findBaseHref("<base href=\"a?x=1&amp;y=2\">"),
              std::optional<std::string>("a?x=1&amp;y=2"));
    EXPECT_EQ(findBaseHref("<basefont href=\"/no/\"><a href=\"/no/\">"), std::nullopt);
    EXPECT_EQ(findBaseHref("<base data-href=\"/no/\">"), std::nullopt);
    EXPECT_EQ(findBaseHref(""), std::nullopt);
}

// The straightforward search: every <base looks through every "href" up to
// its ">".
std::optional<std::string> referenceBaseHref(const std::string& page)
{
    const std::string lowered = toLowerAscii(page);
    for (std::size_t at = lowered.find("<base"); at != std::string::npos;
         at = lowered.find("<base", at + 5)) {
        const std::size_t i = at + 5;
        if (i < lowered.size() && !isHtmlSpace(lowered[i]) && lowered[i] != '/'
            && lowered[i] != '>')
            continue;
        const std::size_t stop = std::min(lowered.find('>', i), lowered.size());
        for (std::size_t h = lowered.find("href", i); h < stop; h = lowered.find("href", h + 4)) {
            std::size_t j = h + 4;
            while (j < stop && isHtmlSpace(lowered[j]))
                ++j;
            if (!isHtmlSpace(lowered[h - 1]) || j >= stop || lowered[j] != '=')
                continue;
            for (++j; j < stop && isHtmlSpace(lowered[j]);)
                ++j;
            const char quote = j < stop && (lowered[j] == '"' || lowered[j] == '\'') ? lowered[j] : 0;
            j += quote ? 1 : 0;
            std::size_t k = j;
            while (k < lowered.size()
                   && (quote ? lowered[k] != quote : !isHtmlSpace(lowered[k]) && lowered[k] != '>'))
                ++k;
            return page.substr(j, k - j);
        }
    }
    return std::nullopt;
}

TEST(FindBaseHref, SameAnswerAsTheStraightforwardSearchOnMixedPages)
{
    const char* pieces[] = {"<base", "<BASE ", " href", "href", "=", " = ", "\"/a/\"", "'b'",
                            "c ", ">", "<basefont ", " ", "x", "\x83", "<a href=\"/d/\">"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        for (int n = 0; n < 12; ++n)
            page += pieces[pick(random)];
        EXPECT_EQ(findBaseHref(page), referenceBaseHref(page)) << page;
    }
    // A page of <base without an end, where each one would look at every later href.
    std::string hostile;
    for (int n = 0; n < 100000; ++n)
        hostile += "<base href";
    EXPECT_EQ(findBaseHref(hostile + "=\"/z/\""), std::optional<std::string>("/z/"));
}

}  // namespace
}  // namespace vel
