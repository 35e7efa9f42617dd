#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/entry_request.h"
#include "core/foundfiles/found_files_merge.h"
#include "core/search/file_search.h"

namespace vel {
namespace {

TEST(MergeFoundEntries, EachTextOnceWithItsFirstValue)
{
    const std::vector<FoundEntry> entries = mergeFoundEntries({
        {"http://h/a.gif", "http://h/a.gif"},
        {"https://h/b.gif", "https://h/b.gif"},
        {"c.gif", "/c.gif"},
        {"/cdn/d.gif", "//cdn/d.gif"},
        {"http://h/a.gif", "http://h/a.gif?second"},
        {"c.gif", "c.gif"},
        {"./e.gif", "./e.gif"},
    });
    const std::vector<FoundEntry> expected{
        {"http://h/a.gif", "http://h/a.gif"},
        {"https://h/b.gif", "https://h/b.gif"},
        {"c.gif", "/c.gif"},  // the first value of a text wins
        {"/cdn/d.gif", "//cdn/d.gif"},
        {"./e.gif", "./e.gif"},
    };
    EXPECT_EQ(entries, expected);
}

// The URL an entry of a searched page is fetched from.
std::string fetchUrl(const FoundEntry& entry, const FileSearchResult& result)
{
    return entryRequest(entry, {result.baseUrl, result.documentBase, result.charset}).url;
}

// What each entry of a page fetches, as a browser resolves it.
TEST(FetchUrlOfEntry, ResolvesTheWrittenValueAgainstThePage)
{
    const std::string page = "<img src=\"HTTPS://Cdn.test/Up.jpg\">"
                             "<img src=\"//cdn.test/proto.jpg\">"
                             "<img src=\"/static/root.jpg\">"
                             "<img src=\"./here.jpg\">"
                             "<img src=\"../up.jpg\">"
                             "<img src=\"q.jpg?w=1&amp;h=2\">"
                             "<img src=\"plain.jpg\">"
                             "<a href=\"http://other.test/abs.jpg\">x</a>"
                             " https://text.test/in-text.jpg ";
    const FileSearchResult result =
        searchFetchedPage(page, "jpg", "https://site.test/gal/index.html",
                          "https://site.test/gal/index.html", "text/html");
    std::vector<std::string> urls;
    for (const FoundEntry& entry : result.entries)
        urls.push_back(fetchUrl(entry, result));
    const std::vector<std::string> expected{
        "http://other.test/abs.jpg",         "https://text.test/in-text.jpg",
        "https://cdn.test/Up.jpg",           "https://cdn.test/proto.jpg",
        "https://site.test/static/root.jpg", "https://site.test/gal/here.jpg",
        "https://site.test/up.jpg",          "https://site.test/gal/q.jpg?w=1&h=2",
        "https://site.test/gal/plain.jpg",
    };
    EXPECT_EQ(urls, expected);
}

TEST(FetchUrlOfEntry, ASrcsetCandidateEndsAtItsDescriptor)
{
    const FileSearchResult result =
        searchFetchedPage("<img srcset=\"a.jpg 1x, b.jpg?crop=1,2 2x,c.jpg\n3x\">", "jpg",
                          "http://h/d/", "http://h/d/");
    std::vector<std::string> urls;
    for (const FoundEntry& entry : result.entries)
        urls.push_back(fetchUrl(entry, result));
    // Only the first candidate follows an opener; the others are not listed.
    EXPECT_EQ(urls, (std::vector<std::string>{"http://h/d/a.jpg"}));
    const FileSearchResult query =
        searchFetchedPage("<img src=\"b.jpg?crop=1,2 \">", "jpg", "http://h/d/", "http://h/d/");
    ASSERT_EQ(query.entries.size(), 1u);
    EXPECT_EQ(query.entries[0].written, "b.jpg?crop=1,2");
}

TEST(FetchUrlOfEntry, BaseHrefDecidesWhereRelativeValuesPoint)
{
    const FileSearchResult result =
        searchFetchedPage("<base href=\"/img/v2/\"><img src=\"a.gif\"><img src=\"/b.gif\">", "gif",
                          "http://h/page.html", "http://h/page.html");
    EXPECT_EQ(result.documentBase, "http://h/img/v2/");
    ASSERT_EQ(result.entries.size(), 2u);
    EXPECT_EQ(fetchUrl(result.entries[0], result), "http://h/img/v2/a.gif");
    EXPECT_EQ(fetchUrl(result.entries[1], result), "http://h/b.gif");
}

TEST(FetchUrlOfEntry, PlainRelativeEntriesOnPlainPagesFetchWhatTheyAlwaysFetched)
{
    const struct {
        const char* pageUrl;
        const char* written;
    } cases[] = {
        {"http://h/dir/index.html", "a.gif"},
        {"http://h/dir/", "sub/b.gif"},
        {"http://h/dir/list.cgi?p=1", "c.gif"},
        {"http://h/", "d.gif"},
    };
    for (const auto& c : cases) {
        const FoundEntry entry{c.written, c.written};
        const std::string baseUrl = searchFetchedPage("", "gif", c.pageUrl).baseUrl;
        EXPECT_EQ(entryRequest(entry, {baseUrl, c.pageUrl, PageCharset::CodePage}).url,
                  fullUrlOfEntry(entry.text, baseUrl))
            << c.pageUrl;
    }
}

TEST(FetchUrlOfEntry, WithoutAPageUrlTheEntryJoinsTheBaseUrlAsBefore)
{
    const FoundEntry entry{"x/a.gif", "/x/a.gif"};
    EXPECT_EQ(entryRequest(entry, {"http://h/dir/", "", PageCharset::CodePage}).url,
              "http://h/dir/x/a.gif");
    EXPECT_EQ(entryRequest(entry, {"http://h/dir/", "not a url", PageCharset::CodePage}).url,
              "http://h/dir/x/a.gif");
}

TEST(SearchFetchedPage, UtfEightPagesReadEveryAsciiByteOnItsOwn)
{
    // "写" ends in 0x99, a Shift-JIS lead byte that would swallow the dot.
    const std::string page = "<meta charset=\"utf-8\"><img src=\"\xE5\x86\x99.jpg\">";
    const FileSearchResult utf8 = searchFetchedPage(page, "jpg", "http://h/", "http://h/");
    EXPECT_EQ(utf8.charset, PageCharset::Utf8);
    ASSERT_EQ(utf8.entries.size(), 1u);
    EXPECT_EQ(utf8.entries[0].text, "\xE5\x86\x99.jpg");
    // Undeclared, the same bytes keep the code page's reading.
    const FileSearchResult undeclared =
        searchFetchedPage("<img src=\"\xE5\x86\x99.jpg\">", "jpg", "http://h/", "http://h/");
    EXPECT_EQ(undeclared.charset, PageCharset::CodePage);
    EXPECT_TRUE(undeclared.entries.empty());
}

}  // namespace
}  // namespace vel
