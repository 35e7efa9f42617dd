#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/search/link_scanner.h"
#include "core/search/reference_scanner.h"
#include "support/code_page_scope.h"
#include "support/scanned_links.h"

namespace vel {
namespace {

using namespace std::string_literals;
using ::testing::ElementsAreArray;
using Links = std::vector<std::string>;

constexpr const char* kMarker = "http://";
constexpr const char* kOpener = "=\"";
constexpr const char* kSuffix = ".gif";

struct ScanCase {
    const char* name;
    std::string source;
    Links absolute;
    Links relative;
    CodePage codePage = CodePage::Cp932;
};

class ScanTableTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanTableTest, BothScannersAndTheReferenceAgreeWithTheTable)
{
    const ScanCase& c = GetParam();
    const CodePageScope scope(c.codePage);
    EXPECT_THAT(test::scanAbsoluteLinks(c.source, kMarker, kSuffix), ElementsAreArray(c.absolute));
    EXPECT_THAT(test::scanRelativeLinks(c.source, kOpener, kSuffix), ElementsAreArray(c.relative));
    EXPECT_THAT(reference::scanAbsolute(c.source, kMarker, kSuffix), ElementsAreArray(c.absolute));
    EXPECT_THAT(reference::scanRelative(c.source, kOpener, kSuffix), ElementsAreArray(c.relative));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ScanTableTest,
    ::testing::Values(
        ScanCase{"NoMarker", "<p>see a.gif</p>", {}, {}},
        ScanCase{"NoSuffixAfterMarkers", "<a href=\"http://h/x.png\">x</a> http://h/.gi", {}, {}},
        ScanCase{"SuffixIsCaseSensitive", "<img src=\"http://h/A.GIF\"> HTTP://h/b.gif", {}, {}},
        ScanCase{"QuotedAbsoluteLink",
                 "<a href=\"http://HOST/p/a.gif\">",
                 {"http://HOST/p/a.gif"},
                 {"=\"http://HOST/p/a.gif"}},
        ScanCase{"RejectedStretchThenImage",
                 "<a href=\"http://HOST/page.html\">next</a><img src=\"b.gif\">",
                 {},
                 {"=\"b.gif"}},
        ScanCase{"SuffixInsideLongerName", "http://HOST/a.gifts/b.gif", {"http://HOST/a.gif"}, {}},
        ScanCase{
            "SpaceInPlainText", "see http://HOST/my pic.gif here", {"http://HOST/my pic.gif"}, {}},
        ScanCase{"LineBreakInside", "http://HOST/x\r\na.gif", {"http://HOST/x\r\na.gif"}, {}},
        ScanCase{"UnquotedValue", "<a href=http://HOST/x.gif>", {"http://HOST/x.gif"}, {}},
        ScanCase{"SingleQuotedValue", "<img src='a.gif'>", {}, {}},
        ScanCase{"SpaceBeforeQuote", "<img src= \"a.gif\">", {}, {}},
        ScanCase{
            "TwoValuesInOneTag", "<img src=\"a.gif\" alt=\"b.gif\">", {}, {"=\"a.gif", "=\"b.gif"}},
        ScanCase{"OpenerFivePastRejectedOneIsSkipped", "<img v=\"\" w=\"a.gif\">", {}, {}},
        ScanCase{
            "OpenerSevenPastRejectedOneIsFound", "<img alt=\"\" src=\"a.gif\">", {}, {"=\"a.gif"}},
        ScanCase{"MarkerOnSecondByte", "\x83\x68ttp://HOST/a.gif", {}, {}},
        ScanCase{"MarkerAfterLeadByteSingleByteCodePage",
                 "\x83\x68ttp://HOST/a.gif",
                 {"http://HOST/a.gif"},
                 {},
                 CodePage::SingleByte},
        ScanCase{"JapaneseFolderName",
                 "<img src=\"\x93\xfa\x96\x7b/a.gif\">",
                 {},
                 {"=\"\x93\xfa\x96\x7b/a.gif"}},
        // Excluded characters that are second bytes of double-byte characters
        // do not count (and do in a single-byte code page).
        ScanCase{"ExcludedOnSecondByte",
                 "=\"\x83 x.gif http://h/\x83\"y.gif",
                 {"http://h/\x83\"y.gif"},
                 {"=\"\x83 x.gif"}},
        ScanCase{"ExcludedOnSecondByteSingleByteCodePage",
                 "=\"\x83 x.gif http://h/\x83\"y.gif",
                 {},
                 {},
                 CodePage::SingleByte},
        ScanCase{
            "NulEndsTheText", "http://HOST/a.gif\0http://HOST/b.gif"s, {"http://HOST/a.gif"}, {}},
        ScanCase{"NulBeforeSuffixEndsTheScan", "http://HOST/a\0.gif http://HOST/b.gif"s, {}, {}},
        ScanCase{"SecondMarkerInsideAcceptedLink",
                 "http://h/http://i/a.gif",
                 {"http://h/http://i/a.gif"},
                 {}},
        ScanCase{"MarkerInsideRejectedLink", "http://h/<http://i/a.gif", {"http://i/a.gif"}, {}},
        ScanCase{"DuplicatesKept",
                 "http://h/a.gif http://h/a.gif",
                 {"http://h/a.gif", "http://h/a.gif"},
                 {}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(ScanLinksTest, EmptyOrNulHoldingPatternsFindNothing)
{
    const std::string page = "http://h/a.gif =\"b.gif";
    EXPECT_TRUE(test::scanAbsoluteLinks(page, "", kSuffix).empty());
    EXPECT_TRUE(test::scanAbsoluteLinks(page, kMarker, "").empty());
    EXPECT_TRUE(test::scanRelativeLinks(page, "=\"\0"s, kSuffix).empty());
    EXPECT_TRUE(test::scanRelativeLinks(page + "\0"s, kOpener, "gif\0"s).empty());
    EXPECT_TRUE(test::scanAbsoluteLinks("", kMarker, kSuffix).empty());
}

TEST(ScanLinksTest, OneByteLeadMarkerSeesItsLinkOnlyUpToTheNul)
{
    // The suffix search steps over the whole character at the marker, NUL
    // included; the excluded-character test of the link then ends at that NUL.
    const std::string page = "\x83\0<x.gif"s;
    EXPECT_THAT(test::scanAbsoluteLinks(page, "\x83", kSuffix), ElementsAreArray(Links{page}));
    EXPECT_THAT(reference::scanAbsolute(page, "\x83", kSuffix), ElementsAreArray(Links{page}));
}

TEST(ScanLinksTest, ResumeAfterRejectionStepsOverACharacterAndTheNulInIt)
{
    // Five past the rejected opener lies a lead byte; the next search starts
    // after its whole character, beyond the NUL, and finds the second opener.
    const std::string page = "=\"<xa\x83\0=\"yx"s;
    EXPECT_THAT(test::scanRelativeLinks(page, kOpener, "x"), ElementsAreArray(Links{"=\"yx"}));
    EXPECT_THAT(reference::scanRelative(page, kOpener, "x"), ElementsAreArray(Links{"=\"yx"}));
}

struct PosAfterCase {
    std::string pattern;
    std::string text;
    int after;
    int expected;
    CodePage codePage = CodePage::Cp932;
};

class PosAfterTest : public ::testing::TestWithParam<PosAfterCase> {};

TEST_P(PosAfterTest, FindsTheFirstCountedOccurrenceAfterThePosition)
{
    const PosAfterCase& c = GetParam();
    const CodePageScope scope(c.codePage);
    EXPECT_EQ(posAfter(c.pattern, c.text, c.after), c.expected);
    EXPECT_EQ(reference::posAfter(c.pattern, c.text, c.after), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, PosAfterTest,
    ::testing::Values(PosAfterCase{"c", "abc", 2, 3}, PosAfterCase{"c", "abc", 3, 0},
                      PosAfterCase{"c", "abc", 4, 0}, PosAfterCase{"a", "abc", 0, 1},
                      PosAfterCase{"a", "abc", -7, 1}, PosAfterCase{"bc", "abc", 1, 2},
                      PosAfterCase{"", "abc", 0, 0}, PosAfterCase{"a", "", 0, 0},
                      PosAfterCase{"A", "abc", 0, 0}, PosAfterCase{"abcd", "abc", 0, 0},
                      // Lead-byte runs: odd run before a byte makes it a second byte.
                      PosAfterCase{"h", "\x83hh", 0, 3},
                      PosAfterCase{"A",
                                   "\x83\x83"
                                   "A",
                                   0, 3},
                      PosAfterCase{"A",
                                   "\x83\x83\x83"
                                   "A",
                                   0, 0},
                      PosAfterCase{"h", "\x83h", 0, 2, CodePage::SingleByte},
                      // A double-byte character at `after` is stepped over whole.
                      PosAfterCase{"@", "\x83@@", 1, 3}, PosAfterCase{"\x83", "\x83\x83\x83", 1, 3},
                      PosAfterCase{"\x83", "\x83\x83\x83", 2, 3}, PosAfterCase{"@", "\x83@", 1, 0},
                      // A search ends at the first NUL from its own start.
                      PosAfterCase{"b", "a\0b"s, 0, 0}, PosAfterCase{"b", "a\0b"s, 2, 3},
                      PosAfterCase{"a\0"s, "a\0"s, 0, 0}, PosAfterCase{"a", "\x83\0a"s, 1, 3},
                      PosAfterCase{"a", "\x83\0a"s, 0, 0},
                      PosAfterCase{"a", "\x83\0a"s, 1, 0, CodePage::SingleByte}));

// Random pages built from the pieces that matter to the loop: both markers,
// suffix parts, excluded characters, lead bytes, NUL bytes and filler.
class RandomPages {
public:
    explicit RandomPages(std::uint32_t seed)
        : m_random(seed)
    {}

    std::string page(int maxPieces)
    {
        static const std::vector<std::string> pieces = {
            "http://", "=\"",  ".gif", ".g",   "gif",  "\"",   ">",     "<", " ",
            "\x81",    "\x83", "\x83", "\x9f", "\xe0", "\xfc", "\0"s,   "a", "b",
            "h",       "/",    ".",    "=",    "\r\n", "x",    "ttp://"};
        std::string text;
        const int count = pick(maxPieces + 1);
        for (int i = 0; i < count; ++i)
            text += pieces[pick(static_cast<int>(pieces.size()))];
        return text;
    }

    std::string marker()
    {
        static const std::vector<std::string> markers = {
            "http://", "http://", "=\"", "=\"", "\x83", "h", "\x83h", "=", "\"", "", "=\0"s};
        return markers[pick(static_cast<int>(markers.size()))];
    }

    std::string suffix()
    {
        static const std::vector<std::string> suffixes = {
            ".gif", ".gif", ".g", "f", "\x83", "\x83\x83", "/", "a", "\"", "gif.", "", ".\0"s};
        return suffixes[pick(static_cast<int>(suffixes.size()))];
    }

    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

private:
    std::mt19937 m_random;
};

class RandomComparisonTest : public ::testing::TestWithParam<CodePage> {};

TEST_P(RandomComparisonTest, ScannersEqualTheReferenceLoop)
{
    const CodePageScope scope(GetParam());
    RandomPages random(20240611);
    for (int i = 0; i < 30000; ++i) {
        const std::string page = random.page(i % 100 == 0 ? 600 : 40);
        const std::string marker = random.marker();
        const std::string suffix = random.suffix();
        SCOPED_TRACE(::testing::PrintToString(page) + " marker " + ::testing::PrintToString(marker)
                     + " suffix " + ::testing::PrintToString(suffix));
        ASSERT_EQ(test::scanAbsoluteLinks(page, marker, suffix),
                  reference::scanAbsolute(page, marker, suffix));
        ASSERT_EQ(test::scanRelativeLinks(page, marker, suffix),
                  reference::scanRelative(page, marker, suffix));
    }
}

TEST_P(RandomComparisonTest, PosAfterEqualsTheReference)
{
    const CodePageScope scope(GetParam());
    RandomPages random(7);
    for (int i = 0; i < 30000; ++i) {
        const std::string text = random.page(12);
        const std::string pattern = i % 2 ? random.marker() : random.suffix();
        const int after = random.pick(static_cast<int>(text.size()) + 5) - 2;
        SCOPED_TRACE(::testing::PrintToString(text) + " pattern "
                     + ::testing::PrintToString(pattern) + " after " + std::to_string(after));
        ASSERT_EQ(posAfter(pattern, text, after), reference::posAfter(pattern, text, after));
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, RandomComparisonTest,
                         ::testing::Values(CodePage::Cp932, CodePage::SingleByte),
                         [](const ::testing::TestParamInfo<CodePage>& info) {
                             return std::string(info.param == CodePage::Cp932 ? "Cp932"
                                                                              : "SingleByte");
                         });

TEST(ScanLinksTest, ManyRejectedLinksBeforeFarSuffixesEqualTheReference)
{
    // Thousands of markers sharing one far suffix, with lead-byte runs of both
    // parities and a NUL that a rejection jumps over.
    std::string page;
    for (int i = 0; i < 1500; ++i) {
        page += "<a href=\"http://h/" + std::to_string(i) + ".html\">";
        page += std::string(static_cast<std::size_t>(i % 7), '\x83');
        page += i % 500 == 499 ? "=\"x.gif\">"s : "<br>"s;
        if (i == 1400)
            page += "=\"<.gif"s + '\0';
    }
    page += "http://h/last.gif";
    for (const CodePage codePage : {CodePage::Cp932, CodePage::SingleByte}) {
        const CodePageScope scope(codePage);
        EXPECT_EQ(test::scanAbsoluteLinks(page, kMarker, kSuffix),
                  reference::scanAbsolute(page, kMarker, kSuffix));
        EXPECT_EQ(test::scanRelativeLinks(page, kOpener, kSuffix),
                  reference::scanRelative(page, kOpener, kSuffix));
    }
}

}  // namespace
}  // namespace vel
