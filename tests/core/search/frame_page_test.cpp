#include <string>

#include <gtest/gtest.h>

#include "core/search/frame_page.h"
#include "support/code_page_scope.h"

namespace vel {
namespace {

using namespace std::string_literals;

struct FrameCase {
    const char* name;
    std::string page;
    CodePage codePage;
    bool framePage;
};

class FramePageTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FramePageTest, FindsFramesetAsTheLoadedPageWouldBeRead)
{
    const CodePageScope scope(GetParam().codePage);
    EXPECT_EQ(isFramePage(GetParam().page), GetParam().framePage);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FramePageTest,
    ::testing::Values(
        FrameCase{"TagInCapitals", "<HTML><FRAMESET cols=\"50%,50%\">", CodePage::Cp932, true},
        FrameCase{"MixedCaseInComment", "<html><!-- no FrameSet here --></html>", CodePage::Cp932,
                  true},
        FrameCase{"Prose", "a page about fRaMeSeTs", CodePage::Cp932, true},
        FrameCase{"NoFrames", "<html><frame src=x><set></html>", CodePage::Cp932, false},
        FrameCase{"Empty", "", CodePage::Cp932, false},
        // 0x83 0x66 is one Shift-JIS character: the bytes "frameset" start on its
        // second byte and are no word of the page.
        FrameCase{"OnSecondByte",
                  "\x83"
                  "frameset",
                  CodePage::Cp932, false},
        FrameCase{"UpperOnSecondByte",
                  "\x83"
                  "FRAMESET",
                  CodePage::Cp932, false},
        FrameCase{"AfterWholeCharacters",
                  "\x83\x83"
                  "frameset",
                  CodePage::Cp932, true},
        FrameCase{"AfterJapaneseText", "\x83\x74\x83\x8c\x81\x5b\x83\x80 <FRAMESET>",
                  CodePage::Cp932, true},
        FrameCase{"SingleByteCodePage",
                  "\x83"
                  "frameset",
                  CodePage::SingleByte, true},
        FrameCase{"AfterNul", "<html>\0<frameset>"s, CodePage::Cp932, false},
        FrameCase{"BeforeNul", "<frameset>\0"s, CodePage::Cp932, true},
        FrameCase{"SplitByNul", "frame\0set"s, CodePage::Cp932, false}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vel
