#include <string>

#include <gtest/gtest.h>

#include "core/text/code_page.h"

namespace vel {
namespace {

// Boundaries by the definition: count the run of lead bytes right before i.
bool beginsCharacterNaive(const std::string& text, std::size_t i)
{
    std::size_t run = 0;
    while (run < i && isLeadByte(static_cast<unsigned char>(text[i - run - 1])))
        ++run;
    return run % 2 == 0;
}

TEST(CharBoundaries, FollowTheParityOfTheLeadByteRun)
{
    const std::string texts[] = {
        "plain ascii",
        "\x83\x68ttp://",  // second byte 0x68 is an ASCII letter
        "\x81\x81\x81\x81h",  // even run: h begins a character
        "\x81\x81\x81h",  // odd run: h is a second byte
        "a\xE0\xFC\x9F\x40\xFD\xA0\x80z",  // 0xFD, 0xA0 and 0x80 are never lead bytes
        std::string(1, '\0') + "\x82\x00x" + std::string(3, '\x82'),
    };
    for (const std::string& text : texts) {
        const CharBoundaries boundaries(text);
        for (std::size_t i = 0; i < text.size(); ++i)
            EXPECT_EQ(boundaries.beginsCharacter(i), beginsCharacterNaive(text, i))
                << "text " << ::testing::PrintToString(text) << " index " << i;
        EXPECT_FALSE(boundaries.beginsCharacter(text.size()));
    }
}

TEST(CharBoundaries, LongLeadRunsStayCorrect)
{
    // Long enough that a per-position backwards walk would be quadratic.
    std::string text(200000, '\x81');
    text += "ab";
    const CharBoundaries boundaries(text);
    EXPECT_TRUE(boundaries.beginsCharacter(0));
    EXPECT_FALSE(boundaries.beginsCharacter(1));
    EXPECT_TRUE(boundaries.beginsCharacter(199998));
    EXPECT_TRUE(boundaries.beginsCharacter(200000));  // even run: 'a' starts a character
    text.insert(text.begin(), '\x81');
    EXPECT_FALSE(CharBoundaries(text).beginsCharacter(200001));
}

TEST(CharBoundaries, SingleByteCodePageMakesEveryByteACharacter)
{
    setCurrentCodePage(CodePage::SingleByte);
    const CharBoundaries boundaries("\x83\x68\x81");
    EXPECT_TRUE(boundaries.beginsCharacter(1));
    EXPECT_TRUE(boundaries.beginsCharacter(2));
    setCurrentCodePage(CodePage::Cp932);
    EXPECT_FALSE(CharBoundaries("\x83\x68").beginsCharacter(1));
}

TEST(FindCharAligned, SkipsMatchesOnSecondBytesAndStopsAtNul)
{
    using std::string_view;
    constexpr auto npos = string_view::npos;
    EXPECT_EQ(findCharAligned("b", "abc"), 1u);
    EXPECT_EQ(findCharAligned("B", "abc"), npos);  // case matters
    EXPECT_EQ(findCharAligned("", "abc"), npos);  // empty pattern
    EXPECT_EQ(findCharAligned("a", ""), npos);  // empty text
    EXPECT_EQ(findCharAligned("c", "abc", 3), npos);  // start past the end
    EXPECT_EQ(findCharAligned("h", "\x83h h"), 3u);  // first h is a second byte
    EXPECT_EQ(findCharAligned("hh", "\x83hh"), npos);  // an occurrence inside overlaps
    EXPECT_EQ(findCharAligned("\\", "\x95\\a\\"), 3u);  // 0x5C as a second byte
    const std::string withNul = std::string("ab") + '\0' + "cd";
    EXPECT_EQ(findCharAligned("cd", withNul), npos);
    EXPECT_EQ(findCharAligned("cd", withNul, 3), 3u);
    // Boundaries count from the whole text even when the search starts later.
    EXPECT_EQ(findCharAligned("h", "\x83hxh", 1), 3u);
}

TEST(TextHelpers, LowerCaseAndSlashesLeaveSecondBytesAlone)
{
    EXPECT_EQ(toLowerAscii("FrameSet \x83\x41Z"), "frameset \x83\x41z");
    EXPECT_EQ(backslashesToSlashes("http:\\\\host\\\x95\\a\\b"), "http://host/\x95\\a/b");
}

}  // namespace
}  // namespace vel
