#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/search/rendered_markup.h"

namespace vel::test {

using Strings = std::vector<std::string>;

inline constexpr const char* kFrame = "<frame>";  // where the scanner reported a frame start tag

// What the scanner reports, in order, with each frame callback as kFrame.
inline Strings scanned(std::string_view markup)
{
    Strings events;
    scanRenderedMarkup(
        markup, [&](std::string_view value) { events.emplace_back(value); },
        [&] { events.emplace_back(kFrame); });
    return events;
}

}  // namespace vel::test
