#include <string>

#include <gtest/gtest.h>

#include "core/settings/start_page_file.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using test::makeReadOnly;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(StartPage, FirstLineOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\r\n", ""},
        {"http://a/", "http://a/"},
        {"http://a/\r\n", "http://a/"},
        {"http://a/\nhttp://b/\n", "http://a/"},
        {"http://a/\r\nhttp://b/", "http://a/"},
        {"\nhttp://b/", ""},
        {"a\rb\r\n", "a\rb"},
    };
    for (const auto& [bytes, line] : cases)
        EXPECT_EQ(parseStartPage(bytes), line) << bytes;
}

TEST(StartPage, WritesOneLineIntoTheGivenDirectory)
{
    TempDir dir;
    EXPECT_EQ(readStartPage(dir.path()), "");
    writeBytes(dir.file("config.vel"), "http://old/\r\nsecond line\r\n");
    EXPECT_EQ(readStartPage(dir.path()), "http://old/");

    ASSERT_TRUE(writeStartPage(dir.path(), "http://new/\x83\x54"));
    EXPECT_EQ(readBytes(dir.file("config.vel")), "http://new/\x83\x54\r\n");
    ASSERT_TRUE(writeStartPage(dir.path(), ""));
    EXPECT_EQ(readBytes(dir.file("config.vel")), "\r\n");
    EXPECT_EQ(readStartPage(dir.path()), "");
}

TEST(StartPage, ReadOnlyFileStays)
{
    TempDir dir;
    writeBytes(dir.file("config.vel"), "http://kept/\r\n");
    makeReadOnly(dir.file("config.vel"));
    EXPECT_FALSE(writeStartPage(dir.path(), "http://new/"));
    EXPECT_EQ(readStartPage(dir.path()), "http://kept/");
}

}  // namespace
}  // namespace vel
