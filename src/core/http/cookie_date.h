#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace vel {

// Reads the date of a cookie's "expires" attribute in the forms servers use:
// "Wdy, DD Mon YYYY HH:MM:SS GMT", "Wdy, DD-Mon-YY HH:MM:SS GMT" and the
// asctime form "Wdy Mon D HH:MM:SS YYYY". The weekday and the zone name are
// ignored (cookie dates are GMT); a missing time is midnight. Two-digit years
// below 70 are in the 2000s. Nothing usable in the text gives nullopt.
std::optional<std::chrono::sys_seconds> parseCookieDate(std::string_view text);

}  // namespace vel
