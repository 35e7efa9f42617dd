#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

inline constexpr std::string_view kExtensionListFileName = "config.lis";

// Far more than any real list of extensions. A bigger file loads its
// beginning and is never written over, so what was not read stays.
inline constexpr std::size_t kMaxExtensionListBytes = 1024 * 1024;

// Shown by the extension list dialog when config.lis is bigger than that (UTF-8).
inline constexpr std::string_view kExtensionListTooLargeMessage =
    "拡張子リストが大きすぎるため保存しません";

// One entry per line, unchanged and untrimmed; empty lines are empty entries.
std::vector<std::string> parseExtensionList(std::string_view bytes);

// Each entry followed by CR LF; an empty list gives no bytes.
std::string formatExtensionList(const std::vector<std::string>& entries);

// config.lis from the directory (start-up passes the folder VEL was started in). A
// missing or unreadable file gives no entries, silently.
std::vector<std::string> readExtensionList(const std::filesystem::path& directory);

// Whether config.lis in the directory holds more than kMaxExtensionListBytes.
bool extensionListTooLarge(const std::filesystem::path& directory);

// Writes config.lis into the directory (the caller passes the program's own
// directory), replacing the old file in one step. False when it could not be
// written or is too large to replace (not reported to the user; the old file
// then stays as it was).
bool saveExtensionList(const std::vector<std::string>& entries,
                       const std::filesystem::path& directory);

// What the extension chooser shows: its items and the selected index, the first
// item whenever there is one (-1: none).
struct ChooserContents {
    std::vector<std::string> items;
    int selectedIndex = -1;
    friend bool operator==(const ChooserContents&, const ChooserContents&) = default;
};

ChooserContents chooserContents(std::vector<std::string> items);

}  // namespace vel
