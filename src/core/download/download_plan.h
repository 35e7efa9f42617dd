#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// One entry of a batch, as the batch fetches it.
struct DownloadItem {
    // What is fetched; nothing when the entry is skipped (see downloadUrlOfEntry).
    std::optional<std::string> url;
    // The local name in the file system's bytes; empty for a skipped entry.
    std::string fileName;
};

// Turns the found-files list (code-page bytes, in list order) into the
// batch's items, one per entry and in the same order, so an item's index is
// its entry's row: url = downloadUrlOfEntry(entry, baseUrl), fileName = the
// converter applied to localFileName(url) (the bytes unchanged when the
// converter is empty).
std::vector<DownloadItem>
planDownload(const std::vector<std::string>& entries, std::string_view baseUrl,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage);

}  // namespace vel
