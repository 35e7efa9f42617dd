#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/pictures/lru_bytes.h"
#include "core/pictures/picture_cache.h"
#include "core/pictures/size_filter.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using Keys = std::vector<std::string>;

TEST(LruBytes, DropsTheLeastRecentlyUsedFirst)
{
    // Each step on a budget of 100 bytes: put (size) or touch (size -1).
    struct Step {
        std::string key;
        long long size;
        Keys dropped;
        unsigned long long total;
    };
    const Step steps[] = {
        {"a", 40, {}, 40},     {"b", 40, {}, 80}, {"a", -1, {}, 80},
        {"c", 30, {"b"}, 70},  {"a", 50, {}, 80}, {"d", 30, {"c"}, 80},
        {"e", 101, {"e"}, 80}, {"x", -1, {}, 80}, {"f", 100, {"a", "d"}, 100},
    };
    LruBytes lru(100);
    for (const Step& s : steps) {
        if (s.size < 0)
            EXPECT_EQ(lru.touch(s.key), s.key != "x") << s.key;
        else
            EXPECT_EQ(lru.put(s.key, static_cast<unsigned long long>(s.size)), s.dropped) << s.key;
        EXPECT_EQ(lru.total(), s.total) << s.key;
    }
}

TEST(SizeFilter, TakesOffWhatIsKnownToBeBelow)
{
    const std::vector<PictureFacts> facts = {
        {2048, 320, 240},  // 0: big enough
        {1023, 320, 240},  // 1: under 1 KB
        {4096, 16, 16},  // 2: an icon
        {4096, 320, 99},  // 3: a banner
        {},  // 4: never fetched
        {300, {}, {}},  // 5: an error page's bytes
        {4096, {}, {}},  // 6: no picture, big
    };
    struct Case {
        SizeMinimum minimum;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {{0, 0, 0}, {}},
        {{100, 100, 0}, {2, 3}},
        {{0, 0, 1}, {1, 5}},
        {{100, 100, 1}, {1, 2, 3, 5}},
        {{321, 0, 0}, {0, 1, 2, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rowsBelowMinimum(facts, c.minimum), c.rows)
            << c.minimum.width << "x" << c.minimum.height << " " << c.minimum.kilobytes;
    EXPECT_EQ(pixelSizeText(facts[0]),
              "320\xC3\x97"
              "240");
    EXPECT_EQ(kilobytesText(facts[1]) + kilobytesText(facts[0]), "1 KB2 KB");
}

void writeBody(const PictureCache& cache, const std::string& url, const std::string& bytes)
{
    const int fd = ::openat(cache.folder(), PictureCache::fileNameFor(url).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

TEST(PictureCache, KeepsBodiesWithinItsBudgetAndForgetsEarlierRuns)
{
    test::TempDir dir;
    const auto folder = dir.path() / "cache";
    {
        PictureCache cache(folder, 10);
        ASSERT_TRUE(cache.valid());
        writeBody(cache, "http://h/a", "aaaa");
        cache.added("http://h/a", 4);
        writeBody(cache, "http://h/b", "bbbbbb");
        cache.added("http://h/b", 6);
        ASSERT_TRUE(cache.open("http://h/a"));  // a is now the more recent
        writeBody(cache, "http://h/c", "cc");
        cache.added("http://h/c", 2);
        EXPECT_FALSE(cache.open("http://h/b"));
        EXPECT_FALSE(std::filesystem::exists(folder / PictureCache::fileNameFor("http://h/b")));
        const auto a = cache.open("http://h/a");
        ASSERT_TRUE(a);
        EXPECT_EQ(a->readAll(), "aaaa");
        EXPECT_EQ(cache.totalBytes(), 6u);
    }
    std::filesystem::create_directories(folder / "kept");
    PictureCache again(folder, 10);
    EXPECT_FALSE(again.open("http://h/a"));
    EXPECT_FALSE(std::filesystem::exists(folder / PictureCache::fileNameFor("http://h/a")));
    EXPECT_TRUE(std::filesystem::exists(folder / "kept"));
}

}  // namespace
}  // namespace vel
