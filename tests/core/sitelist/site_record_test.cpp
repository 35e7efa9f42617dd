#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/sitelist/site_record.h"

namespace vel {
namespace {

// Bytes from hex pairs separated by spaces.
std::string hex(std::string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        bytes.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return bytes;
}

std::string padded(std::string bytes, std::size_t width)
{
    bytes.resize(width, '\0');
    return bytes;
}

TEST(SiteRecord, TextsComeBackCutToTheirFieldWidthInBytes)
{
    // name length, URL length, and what comes back of each
    const std::size_t cases[][4] = {
        {0, 0, 0, 0}, {30, 200, 30, 200}, {31, 201, 31, 201}, {40, 250, 31, 201}};
    for (const auto& c : cases) {
        const std::string bytes =
            encodeSiteRecord({7, std::string(c[0], 'n'), std::string(c[1], 'u')});
        ASSERT_EQ(bytes.size(), kSiteRecordSize);
        EXPECT_EQ(decodeSiteRecord(bytes),
                  (SiteRecord{7, std::string(c[2], 'n'), std::string(c[3], 'u')}))
            << c[0] << " " << c[1];
    }
}

TEST(SiteRecord, LayoutIsLittleEndianNumberThenNulTerminatedFields)
{
    const std::string bytes = encodeSiteRecord({-5, "ab", "http://x/"});
    EXPECT_EQ(bytes, hex("fb ff ff ff") + padded("ab", 31) + padded("http://x/", 201));
    EXPECT_EQ(decodeSiteRecord(encodeSiteRecord({INT32_MIN, "", ""}))->number, INT32_MIN);
    // A double-byte character at the limit keeps only its lead byte.
    const std::string name = std::string(30, 'a') + "\x83\x54";
    EXPECT_EQ(decodeSiteRecord(encodeSiteRecord({1, name, ""}))->name,
              std::string(30, 'a') + "\x83");
    // Reading stops at the first NUL, whatever follows it.
    const std::string junk = hex("03 00 00 00") + padded(std::string("ab\0junk", 7), 31)
        + padded(std::string("u\0\x83\x54", 4), 201);
    EXPECT_EQ(decodeSiteRecord(junk), (SiteRecord{3, "ab", "u"}));
    for (std::size_t size = 0; size < kSiteRecordSize; ++size)
        EXPECT_FALSE(decodeSiteRecord(std::string_view(bytes).substr(0, size))) << size;
}

TEST(SiteRecords, WholeRecordsOnlyAndAtMostTheCap)
{
    std::string file = encodeSiteRecords({{1, "a", "x"}, {2, "b", "y"}, {3, "c", "z"}});
    file.append(100, '\x7f');
    const auto records = decodeSiteRecords(file);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2], (SiteRecord{3, "c", "z"}));
    EXPECT_TRUE(encodeSiteRecords({}).empty());

    const auto garbage =
        decodeSiteRecords(std::string((kMaxSiteRecords + 2) * kSiteRecordSize, '\xff'));
    ASSERT_EQ(garbage.size(), kMaxSiteRecords);
    EXPECT_EQ(garbage.front().number, -1);
    EXPECT_EQ(garbage.front().name.size(), kSiteNameFieldSize);
}

// A site list in the original layout, by hand: Shift-JIS names, a name filling
// its field without a NUL, a URL filling its field, a negative number.
TEST(SiteRecords, HandWrittenFixtureLoadsAndWritesBackByteForByte)
{
    const std::string url201 = "http://example.jp/" + std::string(183, 'p');
    // "テスト" five times and "1": 31 bytes.
    const std::string name31 =
        hex("83 65 83 58 83 67 83 65 83 58 83 67 83 65 83 58 83 67 83 65 83 58 "
            "83 67 83 65 83 58 83 67 31");
    const std::string fixture = hex("01 00 00 00") + padded(hex("83 54 83 43 83 67"), 31)
        + padded("http://example.jp/", 201) + hex("02 00 00 00") + name31
        + padded("http://a.jp/", 201) + hex("fb ff ff ff") + padded("", 31) + url201;
    ASSERT_EQ(fixture.size(), 3 * kSiteRecordSize);

    const auto records = decodeSiteRecords(fixture);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], (SiteRecord{1, "\x83\x54\x83\x43\x83\x67", "http://example.jp/"}));
    EXPECT_EQ(records[1], (SiteRecord{2, name31, "http://a.jp/"}));
    EXPECT_EQ(records[2], (SiteRecord{-5, "", url201}));
    EXPECT_EQ(encodeSiteRecords(records), fixture);
}

}  // namespace
}  // namespace vel
