#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/foundfiles/found_files_merge.h"
#include "core/search/base_url.h"
#include "support/scanned_links.h"

namespace vel {
namespace {

TEST(DeriveBaseUrl, CutsPageNamesAndTakesOtherSegmentsForDirectories)
{
    const struct {
        const char* rowUrl;
        const char* baseUrl;
    } cases[] = {
        {"http://HOST/dir/index.html", "http://HOST/dir/"},
        {"http://HOST/dir/", "http://HOST/dir/"},
        {"http://HOST/dir", "http://HOST/dir/"},
        {"http://HOST", "http://HOST/"},
        {"http://HOST/a/b.cgi?x=1", "http://HOST/a/"},
        {"http://HOST/a/b.htm#top", "http://HOST/a/"},
        {"http://HOST/a/page.php", "http://HOST/a/page.php/"},
        {"http://HOST/a/INDEX.HTML", "http://HOST/a/INDEX.HTML/"},
        {"http://HOST/a.html/b", "http://HOST/a.html/b/"},
        {"http://HOST/cgi-bin/x.cgi?p=/y/z", "http://HOST/cgi-bin/x.cgi?p=/y/z/"},
        {"", ""},
        {"index.html", ""},  // no "/" at all: nothing remains
        {"plain", "plain/"},
        {"http://HOST/\x83\x5C.html", "http://HOST/"},  // Shift-JIS name before .html
    };
    for (const auto& c : cases)
        EXPECT_EQ(deriveBaseUrl(c.rowUrl), c.baseUrl) << c.rowUrl;
}

TEST(FoundFiles, WorkedExampleKeepsFirstSeenOrderWithoutRepeats)
{
    const std::vector<std::string> absolute{"http://HOST/pics/big.gif"};
    const std::vector<std::string> relative{"=\"http://HOST/pics/big.gif",
                                            "=\"thumbs/small.gif",
                                            "=\"./logo.gif",
                                            "=\"/img/top.gif",
                                            "=\"../up.gif",
                                            "=\"thumbs/small.gif"};
    EXPECT_EQ(test::mergeFoundFiles(absolute, relative),
              (std::vector<std::string>{"http://HOST/pics/big.gif", "thumbs/small.gif",
                                        "./logo.gif", "img/top.gif", "../up.gif"}));
}

TEST(FoundFiles, RepeatsAreExactByteComparisons)
{
    const std::vector<std::string> absolute{"http://h/a.gif", "http://h/a.gif", "http://h/A.gif"};
    const std::vector<std::string> relative{"=\"//cdn/a.gif", "=\"a.gif", "=\"/a.gif", "=\"A.gif"};
    EXPECT_EQ(test::mergeFoundFiles(absolute, relative),
              (std::vector<std::string>{"http://h/a.gif", "http://h/A.gif", "/cdn/a.gif", "a.gif",
                                        "A.gif"}));
    EXPECT_TRUE(test::mergeFoundFiles({}, {}).empty());
}

TEST(FoundFiles, NormalisingRemovesTheOpenerAndOneSlash)
{
    EXPECT_EQ(normaliseRelativeLink("=\"/img/top.gif"), "img/top.gif");
    EXPECT_EQ(normaliseRelativeLink("=\"//cdn/a.gif"), "/cdn/a.gif");
    EXPECT_EQ(normaliseRelativeLink("=\"https://h/a.gif"), "https://h/a.gif");
    EXPECT_EQ(normaliseRelativeLink("=\"a.gif?x=/y"), "a.gif?x=/y");
}

TEST(FoundFiles, ManyDistinctLinksAllSurvive)
{
    std::vector<std::string> absolute;
    std::vector<std::string> relative;
    for (int i = 0; i < 20000; ++i) {
        absolute.push_back("http://h/" + std::to_string(i) + ".gif");
        relative.push_back("=\"" + std::to_string(i % 500) + ".gif");
    }
    const auto entries = test::mergeFoundFiles(absolute, relative);
    ASSERT_EQ(entries.size(), 20500u);
    EXPECT_EQ(entries[20000], "0.gif");
    EXPECT_EQ(entries.back(), "499.gif");
}

}  // namespace
}  // namespace vel
