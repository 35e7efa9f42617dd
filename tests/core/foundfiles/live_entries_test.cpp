#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/download_plan.h"
#include "core/download/entry_request.h"
#include "core/foundfiles/live_entries.h"

namespace vel {
namespace {

TEST(LiveEntries, PathEndsInTheExtension)
{
    struct Case {
        const char* url;
        const char* extension;
        bool matches;
    };
    const Case cases[] = {
        {"https://h/a.jpg", "jpg", true},
        {"https://h/A.JPG", "jpg", true},
        {"https://h/a.jpg", "JPG", true},
        {"https://h/a.jpg?w=100", "jpg", true},
        {"https://h/a.jpg#top", "jpg", true},
        {"https://h/a.jpeg", "jpg", false},
        {"https://h/ajpg", "jpg", false},
        {"https://h/a.png?name=b.jpg", "jpg", false},  // the query is no part of the path
        {"https://h/a.png#b.jpg", "jpg", false},
        {"https://h.jpg", "jpg", false},  // a host is no path
        {"https://h.jpg/", "jpg", false},
        {"https://h/.jpg", "jpg", true},
        {"https://h/dir.jpg/", "jpg", false},
        {"https://h/a.jpg", "", false},
        {"https://h/a.", "", false},
        {"file:///tmp/a.gif", "gif", true},
        {"https://h/%E7%94%BB.gif", "gif", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pathHasExtension(c.url, c.extension), c.matches) << c.url << " " << c.extension;
    EXPECT_EQ(urlPath("https://u:p@h:8080/d/a.jpg?q#f"), "/d/a.jpg");
    EXPECT_EQ(urlPath("https://h"), "");
    EXPECT_EQ(urlPath("https://h?q=/x.jpg"), "");
}

TEST(LiveEntries, NewFilesOnceInDocumentOrder)
{
    const std::vector<FoundEntry> listed{
        {"http://h/old.jpg", "http://h/old.jpg"},
        {"thumbs/rel.jpg", "thumbs/rel.jpg"},
    };
    const std::vector<std::string> urls{
        "https://h/b.jpg",          "https://h/page.html",
        "http://h/old.jpg",  // listed already
        "https://h/a.JPG",
        "https://h/b.jpg",  // twice on the page
        "https://h/b.jpg#zoom",  // the same file
        "https://h/c.jpg?size=2",
        "https://h/c.jpg?size=3",  // another answer of the server: kept
        "https://h/thumbs/rel.jpg",  // another text than the relative entry
        "https://h/d.png",
    };
    const LiveEntries found = liveEntries(urls, "jpg", listed, "https://h/page.html", 100);
    const std::string page = "https://h/page.html";
    const std::vector<FoundEntry> expected{
        {"https://h/b.jpg", "https://h/b.jpg", page},
        {"https://h/a.JPG", "https://h/a.JPG", page},
        {"https://h/c.jpg?size=2", "https://h/c.jpg?size=2", page},
        {"https://h/c.jpg?size=3", "https://h/c.jpg?size=3", page},
        {"https://h/thumbs/rel.jpg", "https://h/thumbs/rel.jpg", page},
    };
    EXPECT_EQ(found.entries, expected);
    EXPECT_EQ(found.leftOut, 0U);
    EXPECT_TRUE(liveEntries({}, "jpg", listed, page, 100).entries.empty());
    EXPECT_TRUE(liveEntries(urls, "gif", listed, page, 100).entries.empty());
}

TEST(LiveEntries, TheListKeepsItsBound)
{
    const std::vector<FoundEntry> listed{{"a.gif", "a.gif"}, {"b.gif", "b.gif"}};
    const std::vector<std::string> urls{"http://h/1.gif", "http://h/2.gif", "http://h/1.gif",
                                        "http://h/3.gif", "http://h/4.gif"};
    LiveEntries found = liveEntries(urls, "gif", listed, "http://h/", 4);
    ASSERT_EQ(found.entries.size(), 2U);
    EXPECT_EQ(found.entries[1].text, "http://h/2.gif");
    EXPECT_EQ(found.leftOut, 2U);
    found = liveEntries(urls, "gif", listed, "http://h/", 1);
    EXPECT_TRUE(found.entries.empty());
    EXPECT_EQ(found.leftOut, 4U);
}

// Live entries are fetched from the browser's URL whatever the last source
// search left behind, and named by the path alone.
TEST(LiveEntries, FetchedAsTheBrowserResolvedThemAndNamedByPath)
{
    const std::string page = "https://site.test/gal/";
    const std::vector<FoundEntry> entries{
        {"https://cdn.test/img/photo.jpg?w=800&h=600", "https://cdn.test/img/photo.jpg?w=800&h=600",
         page},
        {"https://cdn.test/img/%E5%86%99%E7%9C%9F.jpg",
         "https://cdn.test/img/%E5%86%99%E7%9C%9F.jpg", page},
        {"ftp://cdn.test/x.jpg", "ftp://cdn.test/x.jpg", page},
        // A source-search entry beside them keeps its own rule.
        {"pics/a.jpg?v=1", "pics/a.jpg?v=1"},
    };
    // A source whose base would break an https URL joined to it.
    const EntrySource source{"http://old.test/dir/", "", PageCharset::CodePage};
    const std::vector<DownloadItem> items = planDownload(
        entries, source, [](std::string_view name) { return "cp:" + std::string(name); });
    ASSERT_EQ(items.size(), 4U);
    EXPECT_EQ(items[0].url, "https://cdn.test/img/photo.jpg?w=800&h=600");
    EXPECT_EQ(items[0].fileName, "photo.jpg");
    EXPECT_EQ(items[1].url, "https://cdn.test/img/%E5%86%99%E7%9C%9F.jpg");
    EXPECT_EQ(items[1].fileName, "%E5%86%99%E7%9C%9F.jpg");
    EXPECT_FALSE(items[2].url);
    EXPECT_EQ(items[2].fileName, "");
    EXPECT_EQ(items[3].url, "http://old.test/dir/pics/a.jpg?v=1");
    EXPECT_EQ(items[3].fileName, "cp:a.jpg?v=1");

    EXPECT_EQ(entryRequest(entries[0], source).url, "https://cdn.test/img/photo.jpg?w=800&h=600");
    EXPECT_EQ(entryRequest(entries[0], EntrySource{"", "http://x/", PageCharset::Utf8}).url,
              "https://cdn.test/img/photo.jpg?w=800&h=600");
}

}  // namespace
}  // namespace vel
