#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/browser_cookies.h"
#include "core/foundfiles/found_entry.h"

namespace vel {

// One entry of a batch, as the batch fetches it.
struct DownloadItem {
    // What is fetched; nothing when the batch skips the entry (see batchSkipsEntry).
    std::optional<std::string> url;
    // The local name in the file system's bytes; empty for a skipped entry.
    std::string fileName;
    // The referrer and cookies of an entry sent as the browser sends it (see
    // EntryRequest); both empty for every other entry.
    std::string referer;
    std::string cookie;

    bool asBrowser() const { return !referer.empty(); }
};

// Turns the found-files list (in list order) into the batch's items, one per
// entry and in the same order, so an item's index is its entry's row: each
// sent as entryRequest says and named as entryLocalName says, unless the batch
// skips it.
std::vector<DownloadItem>
planDownload(const std::vector<FoundEntry>& entries, const EntrySource& source,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage,
             const std::vector<BrowserCookie>& browserCookies = {},
             std::chrono::sys_seconds now = {});

}  // namespace vel
