#pragma once

#include <string_view>

namespace vel {

// True when the page text holds "frameset" in any letter case (anywhere: tag,
// comment, script or prose). The search never starts on the second byte of a
// double-byte character and ends at the first NUL byte.
bool isFramePage(std::string_view pageSource);

}  // namespace vel
