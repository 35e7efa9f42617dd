#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/cli/command_line.h"

namespace vel {
namespace {

TEST(CommandLineTest, ReadsTheModesAndTheirOptions)
{
    using M = CommandMode;
    using Args = std::vector<std::string_view>;
    struct Case {
        Args args;
        M mode;
        std::optional<std::string> settings{};
        std::optional<std::string> extension{};
        std::optional<std::string> page{};
    };
    const Case cases[] = {
        {{}, M::Window},
        {{"http://example.com/"}, M::Window, {}, {}, "http://example.com/"},
        {{"--", "--help"}, M::Window, {}, {}, "--help"},
        {{"--patrol"}, M::Patrol},
        {{"--patrol", "--settings", "/srv/vel", "--extension", "jpg"},
         M::Patrol,
         "/srv/vel",
         "jpg"},
        {{"--extension=png", "--patrol", "--settings=dir=x"}, M::Patrol, "dir=x", "png"},
        {{"--settings", "--patrol", "--patrol"}, M::Patrol, "--patrol"},
        {{"--help"}, M::Help},
        {{"-h", "--bogus"}, M::Help},
        {{"--patrol", "--version", "extra"}, M::Version},
        // Bad usage, exit status 2.
        {{"--bogus"}, M::BadUsage},
        {{"-p"}, M::BadUsage},
        {{"http://example.com/", "http://example.org/"}, M::BadUsage},
        {{"--patrol", "http://example.com/"}, M::BadUsage},
        {{"http://example.com/", "--extension", "jpg"}, M::BadUsage},
        {{"--patrol", "--", "--help"}, M::BadUsage},
        {{"--patrol", "--settings"}, M::BadUsage},
        {{"--patrol", "--settings="}, M::BadUsage},
        {{"--patrol", "--extension", "jpg", "--extension", "gif"}, M::BadUsage},
        {{"--patrol", "--patrol"}, M::BadUsage},
        {{"--patrol=yes"}, M::BadUsage},
        {{"--help=x"}, M::BadUsage},
        {{"--settings", "/srv/vel"}, M::BadUsage},
        {{"--extension", "jpg"}, M::BadUsage},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string_view arg : c.args)
            shown += std::string(arg) + " ";
        const CommandLine line = parseCommandLine(c.args);
        EXPECT_EQ(line.mode, c.mode) << shown;
        EXPECT_EQ(line.mode == M::BadUsage, !line.error.empty()) << shown;
        EXPECT_EQ(line.page, c.page) << shown;
        if (c.mode == M::Patrol) {
            EXPECT_EQ(line.settingsFolder, c.settings) << shown;
            EXPECT_EQ(line.extension, c.extension) << shown;
        }
    }
}

}  // namespace
}  // namespace vel
