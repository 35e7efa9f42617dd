#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vel {

inline constexpr std::string_view kStartPageFileName = "config.vel";

// Only the first line counts; reading stops after this much of a garbage file.
inline constexpr std::size_t kMaxStartPageBytes = 1024 * 1024;

// The first line of the bytes (up to LF or CR LF); the rest is ignored.
std::string parseStartPage(std::string_view bytes);

// TopPageUrl from config.vel in the directory (start-up passes the current
// directory). Empty when the file is missing, empty or unreadable, silently.
std::string readStartPage(const std::filesystem::path& directory);

// The dialog's OK: config.vel in the directory (the caller passes the current
// directory) becomes the one line `url` followed by CR LF, replaced in one step.
// False when it could not be written; the old file then stays, and the user is
// not told.
bool writeStartPage(const std::filesystem::path& directory, std::string_view url);

}  // namespace vel
