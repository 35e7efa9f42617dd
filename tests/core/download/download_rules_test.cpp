#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "core/download/download_rules.h"

namespace vel {
namespace {

TEST(DownloadRulesTest, StepRoundsHalfToEven)
{
    struct Case {
        std::size_t entries;
        int step;
    };
    const Case cases[] = {
        {0, 50},   {1, 1000}, {3, 333}, {6, 167},  {7, 143},   {16, 62},   {48, 21},
        {80, 12},  {400, 2},  {667, 1}, {1333, 1}, {1999, 1},  {2000, 0},  {5000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadStep(c.entries), c.step) << c.entries << " entries";
}

TEST(DownloadRulesTest, DateFolderDropsEverySlash)
{
    EXPECT_EQ(dateFolderName("2024/05/06"), "20240506");
    EXPECT_EQ(dateFolderName("06.05.2024"), "06.05.2024");
    EXPECT_EQ(dateFolderName("2024-05-06"), "2024-05-06");
    EXPECT_EQ(dateFolderName("/5//6/"), "56");
}

TEST(DownloadRulesTest, EntryUrlAndFtpSkip)
{
    const std::string base = "http://h/d/";
    struct Case {
        std::string_view entry;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {"a.gif", "http://h/d/a.gif"},
        {"http://x/a.gif", "http://x/a.gif"},
        {"ftp://x/a.gif", std::nullopt},
        {"p/ftp://x/a.gif", std::nullopt},
        {"ftp://x/http://y.gif", "ftp://x/http://y.gif"},
        {"HTTP://X/a.gif", "http://h/d/HTTP://X/a.gif"},
        {"https://x/a.gif", "http://h/d/https://x/a.gif"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadUrlOfEntry(c.entry, base), c.url) << c.entry;
}

TEST(DownloadRulesTest, LocalNameIsTheLastSegmentUnchanged)
{
    struct Case {
        std::string_view url;
        std::string_view name;
        bool safe;
    };
    const Case cases[] = {
        {"http://h/dir/a.gif", "a.gif", true},
        {"http://h/dir/", "", false},
        {"http://h/img.cgi?f=a.gif", "img.cgi?f=a.gif", true},
        {"http://h/x?u=p/q.gif", "q.gif", true},
        {"http://h/%41%20b.gif", "%41%20b.gif", true},
        {"http://h/d/.", ".", false},
        {"http://h/d/..", "..", false},
        {"http://h/d/...", "...", true},
        {"http://h", "h", true},
        {"a b.gif", "a b.gif", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(localFileName(c.url), c.name) << c.url;
        EXPECT_EQ(isSafeLocalName(c.name), c.safe) << c.url;
    }
    EXPECT_FALSE(isSafeLocalName(std::string_view("a\0b", 3)));
    EXPECT_FALSE(isSafeLocalName("a/b"));
}

TEST(DownloadRulesTest, BytesAUrlCannotCarryArePercentEncoded)
{
    EXPECT_EQ(encodeUrlForRequest("http://h/a b.gif"), "http://h/a%20b.gif");
    EXPECT_EQ(encodeUrlForRequest("http://h/a\r\nX: 1"), "http://h/a%0D%0AX:%201");
    EXPECT_EQ(encodeUrlForRequest("http://h/\x82\xa0\t\x7f"), "http://h/%82%A0%09%7F");
    EXPECT_EQ(encodeUrlForRequest("http://h/%41?q=a&b=~#f"), "http://h/%41?q=a&b=~#f");
}

}  // namespace
}  // namespace vel
