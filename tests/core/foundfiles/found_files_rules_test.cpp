#include <string_view>

#include <gtest/gtest.h>

#include "core/foundfiles/found_files_rules.h"

namespace vel {
namespace {

TEST(FoundFilesRules, SpacePreviewsPicturesOnly)
{
    struct Case {
        std::string_view entry;
        bool previewed;
    };
    const Case cases[] = {
        {"a.gif", true},          {"http://h/b.jpg", true},  {"c.jpeg", true},
        {"d.png", true},          {"e.webp", true},          {"f.bmp", true},
        {"g.svg", true},          {"h.png?w=20", true},      {"i.PNG", false},
        {"j.pdf", false},         {"k.zip", false},          {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(spaceOpensEntry(1, c.entry), c.previewed) << c.entry;
        EXPECT_FALSE(spaceOpensEntry(2, c.entry)) << c.entry;
        EXPECT_EQ(foundFilesMenuState(1, 3, c.entry).preview, c.previewed) << c.entry;
    }
}

}  // namespace
}  // namespace vel
