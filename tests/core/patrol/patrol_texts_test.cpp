#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/patrol/patrol_texts.h"

namespace vel {
namespace {

TEST(PatrolTextsTest, RowTextTellsTheSitesResult)
{
    using V = PageFetchVerdict;
    struct Case {
        SiteOutcome outcome;
        std::optional<std::string> text;
        bool failed;
    };
    const Case cases[] = {
        {{V::Page, false, false, 0, 0}, "新しいファイルはありません", false},
        {{V::Page, false, false, 12, 0}, "新しいファイル12個を保存しました", false},
        {{V::Page, false, false, 3, 2}, "新しいファイル3個を保存しました（2個失敗）", true},
        {{V::Page, false, false, 0, 4}, "新しいファイル0個を保存しました（4個失敗）", true},
        {{V::Page, false, false, 1, 3, 2},
         "新しいファイル1個を保存しました（3個失敗）（うち2個はサーバーが混雑中のため次回の巡回で取得）",
         true},
        {{V::OtherFailure, false, false, 0, 0}, "ページが見つかりません", true},
        {{V::ProtocolError, false, false, 0, 0}, "利用できません", true},
        {{V::CertificateFailure, false, false, 0, 0}, "証明書を確認できません", true},
        {{V::FramePage, false, false, 0, 0}, "このページはフレームページです", true},
        {{V::Page, true, false, 0, 5}, "保存先フォルダを作成できませんでした", true},
        // Stopped: only what happened before the stop is told.
        {{V::Aborted, false, true, 0, 0}, std::nullopt, false},
        {{V::Page, false, true, 0, 0}, std::nullopt, false},
        {{V::Page, false, true, 2, 1}, "新しいファイル2個を保存しました（1個失敗）", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(patrolRowText(c.outcome), c.text) << c.text.value_or("(none)");
        EXPECT_EQ(siteFailed(c.outcome), c.failed) << c.text.value_or("(none)");
    }
}

TEST(PatrolTextsTest, FinishedTextLeavesOutTheZeroParts)
{
    EXPECT_EQ(patrolFinishedText(0, 0), "巡回が終了しました");
    EXPECT_EQ(patrolFinishedText(7, 0), "巡回が終了しました（新しいファイル7個）");
    EXPECT_EQ(patrolFinishedText(0, 2), "巡回が終了しました（失敗2個）");
    EXPECT_EQ(patrolFinishedText(7, 2), "巡回が終了しました（新しいファイル7個、失敗2個）");
    EXPECT_EQ(patrolProgressText(3, 20, "サイト"), "巡回中（3/20）サイト");
}

TEST(PatrolTextsTest, EverySiteGetsAFolderOfItsOwnThatNamesNothingElse)
{
    using Names = std::vector<std::string>;
    struct Case {
        Names names;
        Names folders;
    };
    const std::string longName(150, 'a');
    const std::string kana = "あ";  // three bytes: a cut never splits it
    std::string longKana;
    for (int i = 0; i < 70; ++i)
        longKana += kana;
    const Case cases[] = {
        {{"画像", "a/b", std::string("x\0y", 3), "tab\there", "del\x7f"},
         {"画像", "a_b", "x_y", "tab_here", "del_"}},
        {{".", "..", "", "...", ".hidden"}, {"_", "__", "_ (2)", "...", ".hidden"}},
        {{"a", "a", "a"}, {"a", "a (2)", "a (3)"}},
        // A later site named like a numbered folder keeps its name; the
        // repeat takes the next free number.
        {{"a", "a", "a (2)"}, {"a", "a (3)", "a (2)"}},
        {{"a/b", "a_b"}, {"a_b", "a_b (2)"}},
        {{longName + longName}, {longName + std::string(50, 'a')}},
        {{longKana}, {longKana.substr(0, 198)}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(siteFolderNames(c.names), c.folders) << c.names.front();
}

}  // namespace
}  // namespace vel
