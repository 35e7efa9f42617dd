#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/pictures/image_size.h"

namespace vel {
namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (const int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + bytes({0, 0, 0, 13}) + "IHDR"
    + bytes({0, 0, 1, 0x40, 0, 0, 0, 0xF0, 8, 6, 0, 0, 0});
const std::string kGif = "GIF89a" + bytes({0x40, 1, 0xF0, 0, 0, 0, 0});
// SOI, an APP0 segment, fill bytes, then a progressive frame header.
const std::string kJpeg = bytes(
    {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xFF, 0xC2, 0, 11, 8, 0, 0xF0, 1, 0x40, 3});
const std::string kWebpLossy = "RIFF" + bytes({0, 0, 0, 0}) + "WEBPVP8 "
    + bytes({0, 0, 0, 0, 0, 0, 0, 0x9D, 1, 0x2A, 0x40, 1, 0xF0, 0});
// Lossless: 14 bits of width - 1 (319) and of height - 1 (239).
const std::string kWebpLossless = "RIFF" + bytes({0, 0, 0, 0}) + "WEBPVP8L" + bytes({0, 0, 0, 0})
    + bytes({0x2F, 0x3F, 0xC1, 0x3B, 0});
const std::string kWebpExtended = "RIFF" + bytes({0, 0, 0, 0}) + "WEBPVP8X" + bytes({0, 0, 0, 0})
    + bytes({0, 0, 0, 0, 0x3F, 1, 0, 0xEF, 0, 0});
const std::string kBmp = "BM" + std::string(12, '\0') + bytes({40, 0, 0, 0, 0x40, 1, 0, 0})
    + bytes({0x10, 0xFF, 0xFF, 0xFF});  // height -240: top row first
const std::string kBmpCore = "BM" + std::string(12, '\0') + bytes({12, 0, 0, 0, 0x40, 1, 0xF0, 0});
const std::string kSvg = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- a -> b -->\n"
                         "<!DOCTYPE svg>\n<svg xmlns=\"x\" width=\"320px\" height='240'>";
const std::string kSvgViewBox = "<svg viewBox=\"0 0 320.4, 239.6\" width=\"100%\">";

TEST(ImageHeader, ReadsTheSizeWholeAndByteByByte)
{
    struct Case {
        const char* name;
        std::string input;
        ImageHeaderStatus status;
        PictureFormat format;
    };
    const Case cases[] = {
        {"png", kPng, ImageHeaderStatus::Known, PictureFormat::Png},
        {"gif", kGif, ImageHeaderStatus::Known, PictureFormat::Gif},
        {"jpeg", kJpeg, ImageHeaderStatus::Known, PictureFormat::Jpeg},
        {"webp lossy", kWebpLossy, ImageHeaderStatus::Known, PictureFormat::Webp},
        {"webp lossless", kWebpLossless, ImageHeaderStatus::Known, PictureFormat::Webp},
        {"webp extended", kWebpExtended, ImageHeaderStatus::Known, PictureFormat::Webp},
        {"bmp", kBmp, ImageHeaderStatus::Known, PictureFormat::Bmp},
        {"bmp core", kBmpCore, ImageHeaderStatus::Known, PictureFormat::Bmp},
        {"svg", kSvg, ImageHeaderStatus::Known, PictureFormat::Svg},
        {"svg viewBox", kSvgViewBox, ImageHeaderStatus::Known, PictureFormat::Svg},
        {"error page", "<!DOCTYPE html><html><body>404</body></html>",
         ImageHeaderStatus::NotPicture, PictureFormat::Png},
        {"text", "Not Found", ImageHeaderStatus::NotPicture, PictureFormat::Png},
        {"png without IHDR", kPng.substr(0, 12) + "IDAT" + kPng.substr(16),
         ImageHeaderStatus::NotPicture, PictureFormat::Png},
        {"png of width 0", kPng.substr(0, 16) + bytes({0, 0, 0, 0}) + kPng.substr(20),
         ImageHeaderStatus::NotPicture, PictureFormat::Png},
        {"jpeg scan before frame", bytes({0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xD9}),
         ImageHeaderStatus::NotPicture, PictureFormat::Png},
        {"jpeg cut short", kJpeg.substr(0, 15), ImageHeaderStatus::NeedMore, PictureFormat::Png},
        {"svg tag open", kSvg.substr(0, kSvg.size() - 1), ImageHeaderStatus::NeedMore,
         PictureFormat::Png},
        {"svg without size", "<svg width=\"2em\" height=\"3em\">", ImageHeaderStatus::NotPicture,
         PictureFormat::Png},
    };
    for (const Case& c : cases) {
        const ImageHeader whole = readImageHeader(c.input);
        EXPECT_EQ(whole.status, c.status) << c.name;
        if (c.status == ImageHeaderStatus::Known) {
            EXPECT_EQ(whole.format, c.format) << c.name;
            EXPECT_EQ(whole.width, 320u) << c.name;
            EXPECT_EQ(whole.height, 240u) << c.name;
            EXPECT_LE(whole.consumed, c.input.size()) << c.name;
            // Every prefix short of what it read asks for more; every longer
            // input answers the same.
            for (std::size_t n = 0; n < whole.consumed; ++n)
                ASSERT_EQ(readImageHeader(c.input.substr(0, n)).status, ImageHeaderStatus::NeedMore)
                    << c.name << " at " << n;
            EXPECT_EQ(readImageHeader(c.input + std::string(100, 'x')), whole) << c.name;
        } else {
            // A prefix never knows a size the whole does not.
            for (std::size_t n = 0; n <= c.input.size(); ++n)
                ASSERT_NE(readImageHeader(c.input.substr(0, n)).status, ImageHeaderStatus::Known)
                    << c.name << " at " << n;
        }
    }
}

TEST(ImageHeader, StopsAtTheCap)
{
    // A JPEG whose frame header lies beyond the cap, behind empty segments.
    std::string jpeg = bytes({0xFF, 0xD8});
    while (jpeg.size() < kMaxImageHeaderBytes + 10)
        jpeg += bytes({0xFF, 0xE1, 0xFF, 0xFF}) + std::string(0xFFFD, '\0');
    EXPECT_EQ(readImageHeader(jpeg + kJpeg.substr(8)).status, ImageHeaderStatus::NotPicture);
    EXPECT_EQ(readImageHeader(std::string(kMaxImageHeaderBytes + 1, ' ')).status,
              ImageHeaderStatus::NotPicture);
    // A huge declared size is reported as declared.
    const std::string huge = kPng.substr(0, 16) + bytes({0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0});
    EXPECT_EQ(readImageHeader(huge).width, 100'000u);
}

}  // namespace
}  // namespace vel
