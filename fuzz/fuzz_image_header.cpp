// Feeds arbitrary bytes to the picture header reader with the properties its
// header promises: a known size is not 0 and was read from the bytes given,
// more bytes never change it, and fewer bytes than it read ask for more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/pictures/image_size.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly `size` bytes: a read past it is caught by the sanitizer.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const vel::ImageHeader header = vel::readImageHeader(bytes);
    if (header.status != vel::ImageHeaderStatus::Known)
        return 0;
    if (header.width == 0 || header.height == 0 || header.consumed > size
        || header.consumed > vel::kMaxImageHeaderBytes)
        std::abort();
    if (!(vel::readImageHeader(bytes + "\xFF\xD8<svg") == header))
        std::abort();
    if (header.consumed > 0
        && vel::readImageHeader(std::string_view(bytes).substr(0, header.consumed - 1)).status
            != vel::ImageHeaderStatus::NeedMore)
        std::abort();
    return 0;
}
