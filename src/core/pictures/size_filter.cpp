#include "core/pictures/size_filter.h"

#include <cstddef>

namespace vel {

std::vector<int> rowsBelowMinimum(const std::vector<PictureFacts>& facts, SizeMinimum minimum)
{
    const std::uint64_t minBytes = std::uint64_t{minimum.kilobytes} * 1024;
    std::vector<int> rows;
    for (std::size_t row = 0; row < facts.size(); ++row) {
        const PictureFacts& f = facts[row];
        if ((f.width && *f.width < minimum.width) || (f.height && *f.height < minimum.height)
            || (f.bytes && *f.bytes < minBytes))
            rows.push_back(static_cast<int>(row));
    }
    return rows;
}

std::string pixelSizeText(const PictureFacts& facts)
{
    if (!facts.width || !facts.height)
        return {};
    return std::to_string(*facts.width) + "\xC3\x97" + std::to_string(*facts.height);
}

std::string kilobytesText(const PictureFacts& facts)
{
    if (!facts.bytes)
        return {};
    return std::to_string((*facts.bytes + 1023) / 1024) + " KB";
}

}  // namespace vel
