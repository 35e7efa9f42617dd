#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/download_plan.h"
#include "support/listed_entries.h"

namespace vel {
namespace {

struct Expected {
    std::optional<std::string> url;
    std::string fileName;
};

void expectItems(const std::vector<DownloadItem>& items, const std::vector<Expected>& expected)
{
    ASSERT_EQ(items.size(), expected.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].url, expected[i].url) << "item " << i;
        EXPECT_EQ(items[i].fileName, expected[i].fileName) << "item " << i;
    }
}

TEST(DownloadPlanTest, OneItemPerEntryInListOrder)
{
    const std::vector<std::string> entries = {
        "a.gif", "sub/b.jpg", "http://x/p/c.png", "ftp://x/d.gif", "img.cgi?f=e.gif",
        "dir/",  "a.gif",
    };

    expectItems(test::planListedDownload(entries, "http://h/d/"),
                {
                    {"http://h/d/a.gif", "a.gif"},
                    {"http://h/d/sub/b.jpg", "b.jpg"},
                    {"http://x/p/c.png", "c.png"},
                    {std::nullopt, ""},  // skipped: the batch keeps its row
                    {"http://h/d/img.cgi?f=e.gif", "img.cgi?f=e.gif"},
                    {"http://h/d/dir/", ""},  // fetched; the empty name fails it then
                    {"http://h/d/a.gif", "a.gif"},
                });
    EXPECT_TRUE(test::planListedDownload({}, "http://h/d/").empty());
}

TEST(DownloadPlanTest, OnlyTheLocalNameGoesThroughTheConverter)
{
    std::vector<std::string> converted;
    const auto toUtf8 = [&converted](std::string_view name) {
        converted.emplace_back(name);
        std::string result(name);
        if (const std::size_t at = result.find("\x82\xa0"); at != std::string::npos)
            result.replace(at, 2, "\xe3\x81\x82");
        return result;
    };

    expectItems(test::planListedDownload(
                    {"\x82\xa0.gif", "ftp://x/\x82\xa0.gif", "http://x/\x82\xa0/b.gif"},
                    "http://h/\x82\xa0/", toUtf8),
                {
                    {"http://h/\x82\xa0/\x82\xa0.gif", "\xe3\x81\x82.gif"},
                    {std::nullopt, ""},
                    {"http://x/\x82\xa0/b.gif", "b.gif"},
                });
    EXPECT_EQ(converted, (std::vector<std::string>{"\x82\xa0.gif", "b.gif"}));
}

TEST(DownloadPlanTest, SearchEntriesFetchTheResolvedValueAndKeepTheListedName)
{
    const EntrySource source{"http://h/d/", "https://h/d/page.html", PageCharset::CodePage};
    const std::vector<FoundEntry> entries = {
        {"a.gif", "a.gif"},
        {"root.gif", "/root.gif"},
        {"up.gif", "../up.gif?v=1&amp;w=2"},
        {"/cdn/x.gif", "//cdn/x.gif"},
        {"ftp://x/d.gif", "ftp://x/d.gif"},
        {"img\\e.gif", "img\\e.gif"},
        {"f.gif", "//h:port/f.gif"},
    };
    expectItems(planDownload(entries, source, {}),
                {
                    {"https://h/d/a.gif", "a.gif"},
                    {"https://h/root.gif", "root.gif"},
                    {"https://h/up.gif?v=1&w=2", "up.gif"},
                    {"https://cdn/x.gif", "x.gif"},
                    {std::nullopt, ""},
                    // A backslash is a slash in the URL, the name keeps the listed text.
                    {"https://h/d/img/e.gif", "img\\e.gif"},
                    // No URL a browser would fetch: the entry is sent nowhere and fails.
                    {"", "f.gif"},
                });
    // Without a page URL the entries fetch what the plain join gives.
    expectItems(planDownload(entries, EntrySource{"http://h/d/", "", PageCharset::CodePage}, {}),
                {
                    {"http://h/d/a.gif", "a.gif"},
                    {"http://h/d/root.gif", "root.gif"},
                    {"http://h/d/up.gif", "up.gif"},
                    {"http://h/d//cdn/x.gif", "x.gif"},
                    {std::nullopt, ""},
                    {"http://h/d/img\\e.gif", "img\\e.gif"},
                    {"http://h/d/f.gif", "f.gif"},
                });
}

TEST(DownloadPlanTest, NamesOfUtf8PagesAreAlreadyTheFileSystems)
{
    int calls = 0;
    const auto converter = [&calls](std::string_view name) {
        ++calls;
        return std::string(name);
    };
    const std::vector<FoundEntry> entries = {{"\xE5\x86\x99.gif", "\xE5\x86\x99.gif"}};
    expectItems(planDownload(entries, {"http://h/", "http://h/", PageCharset::Utf8}, converter),
                {{"http://h/\xE5\x86\x99.gif", "\xE5\x86\x99.gif"}});
    EXPECT_EQ(calls, 0);
    planDownload(entries, {"http://h/", "http://h/", PageCharset::CodePage}, converter);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vel
