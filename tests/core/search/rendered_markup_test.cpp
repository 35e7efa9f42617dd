#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/search/plain_reference.h"
#include "core/search/reference_values.h"
#include "core/search/rendered_markup.h"
#include "core/search/rendered_references.h"
#include "support/scanned_markup.h"

namespace vel {
namespace {

using test::kFrame;
using test::scanned;
using test::Strings;

std::string joined(const Strings& events)
{
    std::string out;
    for (const std::string& event : events)
        out += (out.empty() ? "" : " ") + event;
    return out;
}

// What a reader of attribute values gives for one value, in order.
Strings values(void (*read)(std::string_view, const ReferenceSink&), std::string_view text)
{
    Strings out;
    read(text, [&](std::string_view value) { out.emplace_back(value); });
    return out;
}

TEST(ScanRenderedMarkup, ReportsASerializedPageInDocumentOrder)
{
    const std::string page = R"html(<html lang="en"><head><meta charset="utf-8">
<meta property="og:image" content="https://cdn.test/og.jpg">
<meta name="description" content="x.jpg">
<meta name="twitter:image" content="tw.jpg">
<link rel="stylesheet" href="site.css?v=1&amp;t=2">
<style>body { background: url(x.jpg); } /* <img src="no.jpg"> */</style>
<script>document.write('<img src="script.jpg">');</script>
</head><body class="gallery">
<!-- <img src="c.jpg"> -->
<noscript><img src="noscript.jpg"></noscript>
<img src="a.jpg" srcset="a-640.jpg 640w, a-1280.jpg?crop=1,2 1280w" alt="A" loading="lazy">
<picture><source srcset="b.webp 1x, b@2x.webp 2x" type="image/webp"><img src="b.jpg"></picture>
<div class="lazy" data-src="c.jpg" data-srcset="c-1.jpg 1x, c-2.jpg 2x"></div>
<div data-gallery="{&quot;full&quot;:&quot;https://cdn.test/full.jpg&quot;,&quot;thumbs&quot;:[&quot;https://cdn.test/t1.jpg&quot;]}"></div>
<div style="background-image: url(&quot;bg.jpg&quot;)"></div>
<template><img src="tpl.jpg"><template><img src="tpl2.jpg"></template><img src="tpl3.jpg"></template>
<iframe src="frame1.html" width="300"></iframe>
<svg><image xlink:href="vector.png"></image></svg>
<IMG SRC="UPPER.JPG">
<video controls muted poster="poster.jpg"><source src="clip.mp4" type="video/mp4"></video>
<textarea>&lt;img src="ta.jpg"&gt;</textarea>
<a href="next.html?page=2&amp;sort=new">next</a>
<iframe src="frame2.html"><img src="fallback.jpg"></iframe>
<img src="last.jpg">
</body></html>)html";
    EXPECT_EQ(joined(scanned(page)),
              "https://cdn.test/og.jpg tw.jpg site.css?v=1&t=2 "  // head
              "a.jpg a-640.jpg a-1280.jpg?crop=1,2 b.webp b@2x.webp b.jpg "  // img, picture
              "c.jpg c-1.jpg c-2.jpg https://cdn.test/full.jpg https://cdn.test/t1.jpg "  // data-*
              "bg.jpg frame1.html <frame> vector.png UPPER.JPG poster.jpg clip.mp4 "
              "next.html?page=2&sort=new frame2.html <frame> last.jpg");
}

TEST(ScanRenderedMarkup, ReportsOnlyWhatThePageShows)
{
    const struct {
        const char* markup;
        Strings events;
    } cases[] = {
        // Template contents, nested or in capitals, hold no references or frames.
        {R"(<template><template></template><img src="in.jpg"></template><img src="out.jpg">)",
         {"out.jpg"}},
        {R"(<TEMPLATE><img src="in.jpg"></TEMPLATE><img src="out.jpg">)", {"out.jpg"}},
        {R"(<template><iframe src="f.html"></iframe></template><img src="out.jpg">)", {"out.jpg"}},
        {R"(<!----><img src="a.jpg"><!-- <iframe src="f.html"> --><img src="b.jpg">)",
         {"a.jpg", "b.jpg"}},
        {R"(<!DOCTYPE html><?xml-stylesheet href="s.xsl"?><img src="a.jpg">)", {"a.jpg"}},
        // Raw text elements.
        {R"(<script>var s = '<img src="s.jpg">' + "<!--";</script><img src="a.jpg">)", {"a.jpg"}},
        {R"html(<style>.a{background:url(s.jpg)}</style><div style="background:url(d.jpg)"></div>)html",
         {"d.jpg"}},
        {R"(<xmp><img src="x.jpg"></xmp><noembed><img src="e.jpg"></noembed>)"
         R"(<noframes><img src="f.jpg"></noframes><img src="a.jpg">)",
         {"a.jpg"}},
        {R"(<img src="a.jpg"><plaintext><img src="p.jpg">)", {"a.jpg"}},
        // Which <meta> contents name a picture.
        {R"(<meta itemprop="image" content="i.jpg"><meta content="og.jpg" property="og:image">)",
         {"i.jpg", "og.jpg"}},
        {R"(<meta property="" name="og:image" content="n.jpg">)", {"n.jpg"}},
        {R"(<meta property="og:title" name="og:image" content="t.jpg">)", {}},
        {R"(<meta name="description" content="d.jpg"><meta content="c.jpg">)", {}},
        {R"(<div content="c.jpg" property="og:image"></div>)", {}},
        // Every attribute that names a resource, in the order written.
        {R"(<link rel="preload" as="image" imagesrcset="p1.jpg 1x, p2.jpg 2x" href="p.jpg">)",
         {"p1.jpg", "p2.jpg", "p.jpg"}},
        {R"(<object data="m.swf"></object><img lowsrc="low.jpg"><table background="t.gif">)",
         {"m.swf", "low.jpg", "t.gif"}},
        {R"(<img alt="x.jpg" title="y.jpg" class="z.jpg" id="w.jpg">)", {}},
        {R"(<img src="a.jpg?x=&quot;1&quot;&amp;y=&#38;&lt;&gt;">)", {"a.jpg?x=\"1\"&y=&<>"}},
        {R"(<frameset><frame src="l.html"><frame src="r.html"></frameset>)",
         {"l.html", kFrame, "r.html", kFrame}},
        {R"(<iframe srcdoc="&lt;img src=&quot;d.jpg&quot;&gt;"></iframe><img src="a.jpg">)",
         {kFrame, "a.jpg"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanned(c.markup), c.events) << c.markup;
}

// A script or style inside a template holds raw text too: its "<template" or
// "<!--" must not change how the rest of the page is read.
TEST(ScanRenderedMarkup, RawTextInsideATemplateDoesNotHideThePageAfterIt)
{
    EXPECT_EQ(scanned(R"(<template><script>t = "<template>";</script></template>)"
                      R"(<img src="after.jpg">)"),
              Strings{"after.jpg"});
    EXPECT_EQ(scanned(R"(<template><script>t = "<!--";</script></template><img src="after.jpg">)"),
              Strings{"after.jpg"});
}

TEST(ScanRenderedMarkup, TruncatedMarkupKeepsWhatCameBefore)
{
    const struct {
        const char* markup;
        Strings before;  // reported first, whatever a broken end adds
        bool exact;  // nothing is reported after `before`
    } cases[] = {
        {R"(<img src="a.jpg"><img src="b.jpg")", {"a.jpg"}, false},
        {R"(<img src="a.jpg"><img src="b.jpg)", {"a.jpg"}, false},
        {R"(<img src="a.jpg"><img src=)", {"a.jpg"}, false},
        {R"(<img src="a.jpg"><img)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><!-- <img src="c.jpg">)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><!-)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><!)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"></im)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><)", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><script>x = '<img src="s.jpg">')", {"a.jpg"}, true},
        {R"(<img src="a.jpg"><template><img src="t.jpg">)", {"a.jpg"}, true},
        {R"(<iframe src="f.html">)", {"f.html", kFrame}, true},
        {"<", {}, true},
        {"", {}, true},
    };
    for (const auto& c : cases) {
        const Strings events = scanned(c.markup);
        ASSERT_GE(events.size(), c.before.size()) << c.markup;
        EXPECT_EQ(Strings(events.begin(), events.begin() + c.before.size()), c.before) << c.markup;
        EXPECT_TRUE(!c.exact || events.size() == c.before.size()) << c.markup;
    }
}

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(ScanRenderedMarkup, HostileMarkupIsReadToItsEnd)
{
    constexpr std::size_t n = 200000;
    const std::string img = R"(<img src="a.jpg">)";
    EXPECT_EQ(scanned(repeated("<", n)), Strings{});
    EXPECT_EQ(scanned(img + repeated("<script>", n) + img), Strings{"a.jpg"});
    EXPECT_EQ(scanned(img + repeated("<script ", n)), Strings{"a.jpg"});
    EXPECT_EQ(scanned(img + repeated("<!--", n)), Strings{"a.jpg"});
    EXPECT_EQ(scanned(img + repeated("</", n)), Strings{"a.jpg"});
    EXPECT_EQ(scanned(img + repeated("<iframe>", n)), (Strings{"a.jpg", kFrame}));
    EXPECT_EQ(scanned(repeated("<template>", n) + repeated("</template>", n) + img),
              Strings{"a.jpg"});
    EXPECT_EQ(scanned(repeated("<script></script>", n) + img), Strings{"a.jpg"});
    EXPECT_EQ(scanned(repeated(R"(<)" + img, n)), Strings(n, "a.jpg"));
    EXPECT_EQ(scanned(repeated(R"(<!--x-->)" + img, n)), Strings(n, "a.jpg"));
    EXPECT_EQ(scanned(R"(<img srcset=")" + repeated("a (", n) + R"(">)"), Strings{"a"});
    EXPECT_EQ(scanned(R"(<div data-x="[)" + repeated("http://", n) + R"(">)").size(), 1u);
}

TEST(ForEachSrcsetCandidate, ReadsEachCandidateUrl)
{
    const struct {
        const char* srcset;
        Strings urls;
    } cases[] = {
        {"a.jpg", {"a.jpg"}},
        {"a.jpg 1x, b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"w640.jpg?crop=1,2 640w, w1280.jpg?crop=1,2 1280w",
         {"w640.jpg?crop=1,2", "w1280.jpg?crop=1,2"}},
        {"a.jpg,b.jpg", {"a.jpg,b.jpg"}},  // one URL: no space after the comma
        {"a.jpg, b.jpg", {"a.jpg", "b.jpg"}},
        {"a.jpg 1x,b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"a.jpg 1x, b.jpg 2x,", {"a.jpg", "b.jpg"}},
        {"a.jpg,,, b.jpg", {"a.jpg", "b.jpg"}},
        {",, a.jpg", {"a.jpg"}},
        {"a.jpg (min-width: 1px, x) 1x, b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"\ta.jpg\n1x,\nb.jpg\t2x ", {"a.jpg", "b.jpg"}},
        {"data:image/png;base64,AA== 1x, b.jpg 2x", {"data:image/png;base64,AA==", "b.jpg"}},
        {"", {}},
        {"  ,  , ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(values(forEachSrcsetCandidate, c.srcset), c.urls) << c.srcset;
}

TEST(ForEachCssUrl, ReadsQuotedAndUnquotedUrls)
{
    const struct {
        const char* css;
        Strings urls;
    } cases[] = {
        {"background: url(a.jpg)", {"a.jpg"}},
        {"background: url('a.jpg')", {"a.jpg"}},
        {"background: url(\"a.jpg\")", {"a.jpg"}},
        {"url(  \"a b.jpg\"  )", {"a b.jpg"}},
        {"url( a.jpg\t)", {"a.jpg"}},
        {R"(url("a\"b.jpg"))", {"a\"b.jpg"}},
        {R"(url('it\'s.jpg'))", {"it's.jpg"}},
        {R"(url("a)b.jpg"))", {"a)b.jpg"}},
        {R"(url(a\,b.jpg))", {"a,b.jpg"}},
        {"background: url(a.jpg), url('b.jpg')", {"a.jpg", "b.jpg"}},
        {"image-set(url(a.jpg) 1x, url(b.jpg) 2x)", {"a.jpg", "b.jpg"}},
        {"url(a.jpg", {}},
        {"url(\"a.jpg\"", {}},
        {"url(\"a.jpg", {}},
        {"url('a.jpg\\", {}},
        {"url(a b.jpg)", {}},
        {"url(a.jpg; background: url(b.jpg)", {"b.jpg"}},
        {"color: red", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(values(forEachCssUrl, c.css), c.urls) << c.css;
}

// An unquoted url() may escape a closing parenthesis or a space; the escape
// belongs to the URL.
TEST(ForEachCssUrl, UnquotedUrlKeepsEscapedParenthesisAndSpace)
{
    EXPECT_EQ(values(forEachCssUrl, R"(url(a\)b.jpg))"), Strings{"a)b.jpg"});
    EXPECT_EQ(values(forEachCssUrl, R"(url(a\ b.jpg))"), Strings{"a b.jpg"});
}

TEST(ForEachDataAttributeUrl, SrcsetsWordsAndUrlsInText)
{
    const struct {
        const char* name;
        const char* value;
        Strings urls;
    } cases[] = {
        {"data-src", "a.jpg", {"a.jpg"}},
        {"data-src", "  a.jpg\n", {"a.jpg"}},
        {"data-srcset", "a.jpg 1x, b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"data-lazy-srcset", "w.jpg?c=1,2 640w", {"w.jpg?c=1,2"}},
        {"data-images",
         "https://a.test/1.jpg https://a.test/2.jpg",
         {"https://a.test/1.jpg", "https://a.test/2.jpg"}},
        {"data-gallery",
         R"({"full":"https://cdn.test/a.jpg","w":640,"list":["http://cdn.test/b.jpg"]})",
         {"https://cdn.test/a.jpg", "http://cdn.test/b.jpg"}},
        {"data-items", R"(["https://cdn.test/a.jpg"])", {"https://cdn.test/a.jpg"}},
        {"data-items", "[1,2]", {}},
        {"data-caption", "A day at the sea", {}},
        {"data-caption", "photo (https://a.test/x.jpg) by me", {"https://a.test/x.jpg"}},
        {"data-caption", "see http:// or https:// or httpx://a.test", {}},
        {"data-src", "", {}},
        {"data-src", "   ", {}},
    };
    for (const auto& c : cases) {
        Strings urls;
        forEachDataAttributeUrl(c.name, c.value, [&](std::string_view v) { urls.emplace_back(v); });
        EXPECT_EQ(urls, c.urls) << c.name << "=" << c.value;
    }
}

TEST(IsMediaMetaKind, NamesPicturesVideosAndSounds)
{
    const struct {
        const char* kind;
        bool media;
    } cases[] = {
        {"og:image", true},       {"OG:IMAGE:URL", true},        {"og:image:secure_url", true},
        {"twitter:image", true},  {"og:video:secure_url", true}, {"og:video", true},
        {"og:audio:url", true},   {"Twitter:Image", true},       {"image", true},
        {"og:title", false},      {"og:imagex", false},          {"og:image:width", false},
        {"og:image:type", false}, {"twitter:image:src", false},  {"twitter:card", false},
        {"og:", false},           {"description", false},        {"", false},
        {"xog:image", false},     {"og:images", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isMediaMetaKind(c.kind), c.media) << c.kind;
}

TEST(JoinPlainReference, JoinsPlainValuesAsTheBrowserDoes)
{
    const std::string page = "https://site.test/gallery/page.html?x=1#f";
    const std::string file = "file:///tmp/p/g.html";
    const struct {
        std::string base;
        const char* value;
        const char* url;
    } cases[] = {
        {page, "a.jpg", "https://site.test/gallery/a.jpg"},
        {page, "photos/a.jpg?w=1&h=2", "https://site.test/gallery/photos/a.jpg?w=1&h=2"},
        {page, "a.jpg?", "https://site.test/gallery/a.jpg?"},
        {page, "a.jpg?next=/b/../c:d", "https://site.test/gallery/a.jpg?next=/b/../c:d"},
        {page, "a//b@2x.jpg", "https://site.test/gallery/a//b@2x.jpg"},
        {page, "/img/a.jpg", "https://site.test/img/a.jpg"},
        {page, "/img/a.jpg?s=1", "https://site.test/img/a.jpg?s=1"},
        {page, "https://cdn.test/a.jpg", "https://cdn.test/a.jpg"},
        {page, "http://cdn.test/A:B.JPG", "http://cdn.test/A:B.JPG"},
        {page, "https://cdn.test", "https://cdn.test/"},
        {page, "https://cdn.test?q=1", "https://cdn.test/?q=1"},
        {page, "https://img-1.cdn.test./a.jpg", "https://img-1.cdn.test./a.jpg"},
        {file, "a.jpg", "file:///tmp/p/a.jpg"},
        {file, "/a.jpg", "file:///a.jpg"},
        {file, "https://cdn.test/a.jpg", "https://cdn.test/a.jpg"},
        {"https://site.test/", "a.jpg", "https://site.test/a.jpg"},
        {"https://u:p@site.test:8443/g/p.html", "/a.jpg", "https://u:p@site.test:8443/a.jpg"},
        {"http://site.test/g/p.html?next=/x/#/y/z", "a.jpg", "http://site.test/g/a.jpg"},
        {"about:blank", "https://cdn.test/a.jpg", "https://cdn.test/a.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joinPlainReference(c.base, c.value), std::optional<std::string>(c.url))
            << c.base << " + " << c.value;
}

TEST(JoinPlainReference, LeavesAllElseToTheBrowser)
{
    const std::string page = "https://site.test/gallery/page.html?x=1#f";
    const struct {
        const char* what;
        std::vector<const char*> values;
    } cases[] = {
        {"dot segments",
         {"./a", "../a", "a/./b", "a/..", ".", "..", "https://cdn.test/a/../b.jpg"}},
        {"escapes", {"%7Ea.jpg", "a.jpg?x=%20", "https://cdn.test/%7E.jpg"}},
        {"fragments", {"a.jpg#top", "#top", "https://cdn.test/a.jpg#f"}},
        {"spaces, backslashes, quotes", {"a b.jpg", "a\tb.jpg", "a\\b.jpg", "a.jpg?it's"}},
        {"characters the parser escapes",
         {"a<b>.jpg", "a^b.jpg", "a{b}.jpg", "a|b.jpg", "a`b.jpg"}},
        {"non-ASCII bytes", {"caf\xC3\xA9.jpg", "https://caf\xC3\xA9.test/"}},
        {"upper case", {"https://CDN.test/a.jpg", "HTTPS://cdn.test/a.jpg"}},
        {"ports and user info", {"https://cdn.test:443/a.jpg", "https://u:p@cdn.test/"}},
        {"IPv4-like hosts", {"http://1.2.3.4/", "http://1.2.3.4./a.jpg", "http://a.0x1/"}},
        {"odd hosts", {"http://cdn.123/", "http://cdn..test/", "https://cdn.test\\a.jpg"}},
        {"no host or punycode", {"https:///a.jpg", "https://", "https://xn--caf-dma.test/"}},
        {"scheme-relative, query only, empty", {"//cdn.test/x.jpg", "?q", ""}},
        {"a colon in the path", {"a:b.jpg", "/a:b.jpg", "mailto:me@site.test", "data:,x"}},
    };
    for (const auto& c : cases) {
        for (const char* value : c.values)
            EXPECT_EQ(joinPlainReference(page, value), std::nullopt) << c.what << ": " << value;
    }
    for (const char* base : {"about:blank", "about:srcdoc", "data:text/html,<p>x</p>",
                             "blob:https://site.test/0c2e"}) {
        EXPECT_EQ(joinPlainReference(base, "a.jpg"), std::nullopt) << base;
        EXPECT_EQ(joinPlainReference(base, "/a.jpg"), std::nullopt) << base;
    }
}

RenderedDocument document(std::string markup, std::string baseUrl, std::vector<int> frames = {},
                          Strings otherUrls = {})
{
    return {std::move(markup), std::move(baseUrl), std::move(frames), std::move(otherUrls)};
}

TEST(PlanRenderedReferences, WalksFramesWhereTheyStand)
{
    const std::string top = "https://site.test/gallery/page.html";
    const struct {
        const char* name;
        std::vector<RenderedDocument> documents;
        Strings urls;
    } cases[] = {
        {"two iframes, the second unreadable",
         {document(R"(<img src="top.jpg"><iframe src="f1.html"></iframe><img src="mid.jpg">)"
                   R"(<iframe src="https://other.test/"></iframe><img src="end.jpg">)",
                   top, {1, -1}, {"https://site.test/computed.jpg"}),
          document(R"(<img src="inner.jpg">)", "https://site.test/frames/f1.html", {},
                   {"https://site.test/frames/chosen.jpg"})},
         {"https://site.test/gallery/top.jpg", "https://site.test/gallery/f1.html",
          "https://site.test/frames/inner.jpg", "https://site.test/frames/chosen.jpg",
          "https://site.test/gallery/mid.jpg", "https://other.test/",
          "https://site.test/gallery/end.jpg", "https://site.test/computed.jpg"}},
        {"a frame naming its parent",
         {document(R"(<iframe src="a.html"></iframe><img src="0.jpg">)", top, {1}),
          document(R"(<iframe src="b.html"></iframe><img src="1.jpg">)", top, {0})},
         {"https://site.test/gallery/a.html", "https://site.test/gallery/b.html",
          "https://site.test/gallery/1.jpg", "https://site.test/gallery/0.jpg"}},
        {"a frame naming itself or no document",
         {document(R"(<iframe></iframe><img src="0.jpg">)", top, {0, 9, -1})},
         {"https://site.test/gallery/0.jpg"}},
        {"frames the markup does not show",
         {document(R"(<img src="a.jpg">)", top, {1, 2}, {"https://site.test/o.jpg"}),
          document(R"(<img src="b.jpg">)", top), document(R"(<img src="c.jpg">)", top)},
         {"https://site.test/gallery/a.jpg", "https://site.test/gallery/b.jpg",
          "https://site.test/gallery/c.jpg", "https://site.test/o.jpg"}},
        {"no documents", {}, {}},
    };
    for (const auto& c : cases) {
        const ReferencePlan plan = planRenderedReferences(c.documents);
        EXPECT_EQ(plan.urls, c.urls) << c.name;
        EXPECT_TRUE(plan.pending.empty()) << c.name;
    }
}

TEST(PlanRenderedReferences, PendingValuesKeepTheirSlots)
{
    const std::string top = "https://site.test/gallery/page.html?x=1#f";
    const std::string frame = "https://site.test/frames/f.html";
    const std::vector<RenderedDocument> documents = {
        document("<img src=\"a.jpg\"><img src=\" ../up.jpg\t\">"
                 "<img src=\"\x01 b.jpg&#10;\"><img src=\"  \"><iframe></iframe>"
                 "<img src=\"c.jpg?w=%20\">",
                 top, {1}, {"https://site.test/done.jpg"}),
        document(R"(<img src="#icon"><img src="d.jpg">)", frame)};
    const ReferencePlan plan = planRenderedReferences(documents);
    EXPECT_EQ(plan.urls,
              (Strings{"https://site.test/gallery/a.jpg", "", "https://site.test/gallery/b.jpg", "",
                       "https://site.test/frames/d.jpg", "", "https://site.test/done.jpg"}));
    EXPECT_EQ(plan.pendingSlots, (std::vector<std::size_t>{1, 3, 5}));
    EXPECT_EQ(plan.pending,
              (std::vector<std::pair<std::string, std::string>>{
                  {"../up.jpg", top}, {"#icon", frame}, {"c.jpg?w=%20", top}}));

    const Strings resolved = {"https://site.test/up.jpg", "https://site.test/frames/f.html#icon",
                              "https://site.test/gallery/c.jpg?w=%20"};
    EXPECT_EQ(finishRenderedReferences(plan, resolved),
              (Strings{"https://site.test/gallery/a.jpg", "https://site.test/up.jpg",
                       "https://site.test/gallery/b.jpg", "https://site.test/frames/f.html#icon",
                       "https://site.test/frames/d.jpg", "https://site.test/gallery/c.jpg?w=%20",
                       "https://site.test/done.jpg"}));
}

TEST(FinishRenderedReferences, KeepsEachUrlOnceWithoutInlineOnes)
{
    const ReferencePlan plan = planRenderedReferences({document(
        R"(<img src="https://a.test/1.jpg"><img src="../up.jpg"><img src="https://a.test/2.jpg">)"
        R"(<img src="http://[bad"><img src="data:image/png;base64,AA"><img src="./1.jpg">)"
        R"~(<img src="blob:https://a.test/x"><a href="javascript:void(0)"></a><a href="../up.jpg">)~",
        "https://a.test/g/p.html", {},
        {"DATA:image/gif;base64,R0", "https://a.test/2.jpg", "https://a.test/3.jpg"})});
    ASSERT_EQ(plan.pending.size(), 7u);
    // The browser's answers, in the pending values' order; "" names no URL.
    const Strings resolved = {"https://a.test/up.jpg",    "",
                              "data:image/png;base64,AA", "https://a.test/1.jpg",
                              "BLOB:https://a.test/x",    "JavaScript:void(0)",
                              "https://a.test/up.jpg"};
    EXPECT_EQ(joined(finishRenderedReferences(plan, resolved)),
              "https://a.test/1.jpg https://a.test/up.jpg https://a.test/2.jpg "
              "https://a.test/3.jpg");
}

TEST(PlanRenderedReferences, LargeGalleryGivesEveryPictureInOrder)
{
    constexpr std::size_t n = 200000;
    std::string markup = "<html><body>";
    Strings expected;
    expected.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string name = "p/i-" + std::to_string(i) + ".jpg";
        markup += "<img src=\"" + name + "\">";
        expected.push_back("https://site.test/gallery/" + name);
    }
    markup += "</body></html>";
    const ReferencePlan plan =
        planRenderedReferences({document(markup, "https://site.test/gallery/page.html")});
    EXPECT_TRUE(plan.pending.empty());
    EXPECT_EQ(plan.urls, expected);
    EXPECT_EQ(finishRenderedReferences(plan, {}), expected);
}

}  // namespace
}  // namespace vel
