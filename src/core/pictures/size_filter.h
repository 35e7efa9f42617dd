#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vel {

// What is known of one entry's file once it was fetched: its size in bytes,
// and its pixel size when its header is a picture's.
struct PictureFacts {
    std::optional<std::uint64_t> bytes;
    std::optional<std::uint32_t> width;
    std::optional<std::uint32_t> height;

    friend bool operator==(const PictureFacts&, const PictureFacts&) = default;
};

// The smallest picture kept by the size filter; 0 keeps any.
struct SizeMinimum {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t kilobytes = 0;  // of 1024 bytes
};

// The rows (ascending) the filter takes off: those with a measure known and
// below its minimum. What is not known (a file that could not be fetched, a
// file that is no picture has no pixel size) never takes an entry off.
std::vector<int> rowsBelowMinimum(const std::vector<PictureFacts>& facts, SizeMinimum minimum);

// "320×240" (UTF-8), or empty when the pixel size is not known.
std::string pixelSizeText(const PictureFacts& facts);
// "12 KB" (kilobytes of 1024, rounded up), or empty when the size is not known.
std::string kilobytesText(const PictureFacts& facts);

}  // namespace vel
