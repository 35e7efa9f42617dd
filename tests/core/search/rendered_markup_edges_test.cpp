// Markup a live page can serialize that is easy to misread: script text that
// looks like an end tag or holds markup in strings, attribute names with
// quotes, XML serializations, and a base URL big enough to matter.
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/search/rendered_markup.h"
#include "core/search/rendered_references.h"
#include "support/scanned_markup.h"

namespace vel {

using test::kFrame;
using test::scanned;
using test::Strings;

TEST(ScanRenderedMarkup, ScriptTextEndsOnlyAtItsEndTag)
{
    const struct {
        const char* markup;
        Strings events;
    } cases[] = {
        // "</script" followed by a quote is still the script's text.
        {R"(<script>document.write('<script src="a.js"></script' + '>');)"
         R"( var h = '<iframe src="' + u + '" width=1>';</script>)"
         R"(<script src="a.js"></script><img src="real1.jpg"><iframe src="real.html"></iframe>)"
         R"(<img src="real2.jpg">)",
         {"a.js", "real1.jpg", "real.html", kFrame, "real2.jpg"}},
        {R"(<style>p { color: red } </stylesheet> <img src="no.jpg"></style><img src="yes.jpg">)",
         {"yes.jpg"}},
        // The end tag in another case, or followed by a space or "/".
        {R"(<script>x</SCRIPT ><img src="a.jpg"><script>y</script/><img src="b.jpg">)",
         {"a.jpg", "b.jpg"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanned(c.markup), c.events) << c.markup;
}

// The browser keeps quotes inside attribute names and writes them out as they
// are; the value that follows is never markup.
TEST(ScanRenderedMarkup, QuotesInAttributeNamesDoNotOpenMarkup)
{
    EXPECT_EQ(
        scanned(R"(<div x'="a><iframe>"><img src="lost.jpg"><iframe src="real.html"></iframe>)"),
        (Strings{"lost.jpg", "real.html", kFrame}));
    EXPECT_EQ(scanned(R"(<div x'="<img src=//evil/x.jpg>"></div><img src="a.jpg">)"),
              Strings{"a.jpg"});
    EXPECT_EQ(scanned(R"(<div "a"="1" src="b.jpg"></div>)"), Strings{"b.jpg"});
}

// An XHTML page or an SVG file is serialized as XML: empty elements close
// themselves, and CDATA sections hold text.
TEST(ScanRenderedMarkup, XmlSerializationsAreReadAsWritten)
{
    EXPECT_EQ(
        scanned(R"(<svg xmlns="http://www.w3.org/2000/svg"><script xlink:href="s.js"/>)"
                R"(<style/><image href="a.jpg"/></svg><iframe src="f.html"/><img src="b.jpg"/>)"),
        (Strings{"s.js", "a.jpg", "f.html", kFrame, "b.jpg"}));
    EXPECT_EQ(scanned(R"(<svg><template/></svg><img src="after.jpg"/>)"), Strings{"after.jpg"});
    EXPECT_EQ(scanned(R"(<p><![CDATA[ a > b <img src="invented.jpg"/> ]]></p><img src="c.jpg"/>)"),
              Strings{"c.jpg"});
}

// A <meta> with a great many attributes is read once, not once per attribute.
TEST(ScanRenderedMarkup, ManyAttributesOnOneMetaFinish)
{
    std::string markup = R"(<meta property="og:image")";
    for (int i = 0; i < 200000; ++i)
        markup += " content" + std::to_string(i) + "=\"\"";
    markup += R"( content="x.jpg">)";
    EXPECT_EQ(scanned(markup), Strings{"x.jpg"});
}

// Every reference of a page with a huge base URL holds that base: the plan
// stops growing at its byte bound instead of taking all memory.
TEST(PlanRenderedReferences, AHugeBaseStopsAtTheByteBound)
{
    RenderedDocument page;
    page.baseUrl = "https://site.test/" + std::string(100000, 'd') + "/page.html";
    for (int i = 0; i < 5000; ++i) {
        page.markup += "<img src=\"a" + std::to_string(i) + "\">";
        page.markup += "<img src=\"../b" + std::to_string(i) + "\">";  // left to the browser
    }
    const ReferencePlan plan = planRenderedReferences({page});
    std::size_t bytes = 0;
    for (const std::string& url : plan.urls)
        bytes += url.size();
    for (const auto& [value, base] : plan.pending)
        bytes += value.size() + base.size();
    EXPECT_LT(bytes, kMaxRenderedBytes + page.baseUrl.size() * 2);
    EXPECT_GT(plan.urls.size(), 500u);
    EXPECT_LT(plan.urls.size(), 10000u);
    EXPECT_EQ(plan.urls.front(), "https://site.test/" + std::string(100000, 'd') + "/a0");
}

// A chain of frames nested far deeper than the call stack could follow, each
// document's picture after its frame: read in document order to the end.
TEST(PlanRenderedReferences, DeeplyNestedFramesAreWalkedInOrder)
{
    constexpr int kDepth = 200000;
    std::vector<RenderedDocument> documents(kDepth);
    for (int i = 0; i < kDepth; ++i) {
        documents[i].baseUrl = "https://site.test/";
        documents[i].markup = "<iframe></iframe><img src=\"p" + std::to_string(i) + ".jpg\">";
        if (i + 1 < kDepth)
            documents[i].frames = {i + 1};
    }
    const ReferencePlan plan = planRenderedReferences(documents);
    ASSERT_EQ(plan.urls.size(), static_cast<std::size_t>(kDepth));
    EXPECT_EQ(plan.urls.front(), "https://site.test/p" + std::to_string(kDepth - 1) + ".jpg");
    EXPECT_EQ(plan.urls.back(), "https://site.test/p0.jpg");

    // A search that is no longer wanted stops at once.
    const std::atomic<bool> stop{true};
    EXPECT_TRUE(planRenderedReferences(documents, &stop).urls.empty());
}

}  // namespace vel
