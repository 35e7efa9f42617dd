#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/search/file_search.h"

namespace vel {
namespace {

using Entries = std::vector<std::string>;

Entries textsOf(const std::vector<FoundEntry>& entries)
{
    Entries texts;
    for (const FoundEntry& entry : entries)
        texts.push_back(entry.text);
    return texts;
}

TEST(SearchFetchedPage, AbsoluteLinksFirstThenRelativeOnesEachOnce)
{
    const std::string page =
        "<a href=\"http://x/a.gif\">a</a><img src=\"b.gif\">"
        "<img src=\"/c.gif\"> http://x/a.gif <img src=\"b.gif\"><img src=\"d.jpg\">";
    const FileSearchResult result = searchFetchedPage(page, "gif", "http://x/dir/index.html");
    EXPECT_EQ(textsOf(result.entries), (Entries{"http://x/a.gif", "b.gif", "c.gif"}));
    EXPECT_EQ(result.baseUrl, "http://x/dir/");
}

TEST(SearchFetchedPage, TheExtensionIsMatchedAfterADot)
{
    const std::string page = "<img src=\"agif\"><img src=\"x.GIF\"><img src=\"y.gif\">";
    EXPECT_EQ(textsOf(searchFetchedPage(page, "gif", "http://x/").entries), (Entries{"y.gif"}));
    // An empty extension searches for the dot alone.
    EXPECT_EQ(textsOf(searchFetchedPage("<a href=\"z.\">", "", "http://x/").entries),
              (Entries{"z."}));
}

TEST(SearchFetchedPage, NothingFoundStillGivesTheBaseUrl)
{
    const FileSearchResult result = searchFetchedPage("", "gif", "http://x/a/page.htm");
    EXPECT_TRUE(result.entries.empty());
    EXPECT_EQ(result.baseUrl, "http://x/a/");
}

TEST(FoundFilesStatusText, CountsInJapanese)
{
    EXPECT_EQ(foundFilesStatusText(0), "0個のファイルが見つかりました");
    EXPECT_EQ(foundFilesStatusText(1234567), "1234567個のファイルが見つかりました");
    EXPECT_EQ(foundFilesStatusText(1000000, 25),
              "1000000個のファイルが見つかりました（ほか25個は表示していません）");
}

TEST(ScanFetchedPage, StopsListingAtTheBoundAndCountsTheRest)
{
    std::string page;
    for (int i = 0; i < 10; ++i)
        page += "<img src=\"" + std::to_string(i) + ".gif\"><img src=\"0.gif\">";
    const FileSearchResult cut = scanFetchedPage(page, "gif", "http://h/", "", 4);
    EXPECT_EQ(textsOf(cut.entries), (Entries{"0.gif", "1.gif", "2.gif", "3.gif"}));
    EXPECT_EQ(cut.leftOut, 6u);  // repeats of a listed text are no more entries
    const FileSearchResult whole = scanFetchedPage(page, "gif", "http://h/", "");
    EXPECT_EQ(whole.entries.size(), 10u);
    EXPECT_EQ(whole.leftOut, 0u);
    EXPECT_TRUE(whole.baseUrl.empty());

    // A search stopped at its second question ends with nothing listed.
    int asked = 0;
    const FileSearchResult stopped = scanFetchedPage(page, "gif", "http://h/", "", 4,
                                                     [&asked] { return ++asked > 1; });
    EXPECT_TRUE(stopped.entries.empty());
}

TEST(FetchFailureTexts, EachVerdictTellsItsOwnStory)
{
    const struct {
        PageFetchVerdict verdict;
        std::optional<std::pair<std::string, std::string>> texts;  // message, row status
    } cases[] = {
        {PageFetchVerdict::Page, std::nullopt},
        {PageFetchVerdict::Aborted, std::nullopt},
        {PageFetchVerdict::ProtocolError,
         std::pair<std::string, std::string>{"このページはご利用できません", "利用できません"}},
        {PageFetchVerdict::CertificateFailure,
         std::pair<std::string, std::string>{"このページの証明書を確認できませんでした",
                                             "証明書を確認できません"}},
        {PageFetchVerdict::OtherFailure,
         std::pair<std::string, std::string>{"ページが見つかりません", "ページが見つかりません"}},
        {PageFetchVerdict::FramePage,
         std::pair<std::string, std::string>{"このページはフレームページです",
                                             "このページはフレームページです"}},
    };
    for (const auto& c : cases) {
        const std::optional<FetchFailureTexts> texts = fetchFailureTexts(c.verdict);
        ASSERT_EQ(texts.has_value(), c.texts.has_value()) << static_cast<int>(c.verdict);
        if (texts) {
            EXPECT_EQ(texts->message, c.texts->first);
            EXPECT_EQ(texts->rowStatus, c.texts->second);
        }
    }
}

}  // namespace
}  // namespace vel
