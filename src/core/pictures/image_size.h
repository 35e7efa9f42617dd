#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vel {

enum class PictureFormat { Png, Gif, Jpeg, Webp, Bmp, Svg };

enum class ImageHeaderStatus {
    Known,  // the width and height are read
    NeedMore,  // the bytes so far are the start of a picture whose size comes later
    NotPicture,  // no picture format read here, a broken header or no size within the cap
};

struct ImageHeader {
    ImageHeaderStatus status = ImageHeaderStatus::NotPicture;
    PictureFormat format = PictureFormat::Png;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // How many bytes were read to know it (Known only).
    std::size_t consumed = 0;

    friend bool operator==(const ImageHeader&, const ImageHeader&) = default;
};

// How far a picture's size is looked for: JPEG segments before the frame
// header (EXIF, ICC profiles) and an SVG's prolog and root tag. A picture
// whose size lies further is NotPicture.
inline constexpr std::size_t kMaxImageHeaderBytes = 256 * 1024;

// The pixel size a picture's first bytes declare (PNG, GIF, JPEG, WebP, BMP,
// and an SVG's width and height in pixels, else its viewBox), read without
// decoding anything. Never reads past `bytes`, nor past kMaxImageHeaderBytes;
// a size of 0 is no size. A picture declaring a huge size is reported as it
// declares it: whoever decodes it judges that.
ImageHeader readImageHeader(std::string_view bytes);

}  // namespace vel
