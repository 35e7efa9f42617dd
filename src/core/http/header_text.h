#pragma once

#include <string_view>

namespace vel {

// Header names and keywords compare without regard to ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// A header value without the spaces and tabs around it.
std::string_view trimBlanks(std::string_view text);

}  // namespace vel
