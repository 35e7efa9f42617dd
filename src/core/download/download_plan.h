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
    // What is fetched; nothing when the entry is skipped (see downloadUrlOfEntry).
    std::optional<std::string> url;
    // The local name in the file system's bytes; empty for a skipped entry.
    std::string fileName;
    // An entry collected from the page the browser shows is requested as the
    // browser would request it: with that page as its referrer (never empty
    // then) and the browser's cookies for the URL (empty when none match).
    // Both stay empty for every other entry.
    std::string referer;
    std::string cookie;

    bool asBrowser() const { return !referer.empty(); }
};

// Turns the found-files list (code-page bytes, in list order) into the
// batch's items, one per entry and in the same order, so an item's index is
// its entry's row: url = downloadUrlOfEntry(entry, baseUrl), fileName = the
// converter applied to localFileName(url) (the bytes unchanged when the
// converter is empty).
std::vector<DownloadItem>
planDownload(const std::vector<std::string>& entries, std::string_view baseUrl,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage);

// The same for a search's entries: an entry is skipped by the same rule, is
// fetched from the URL a browser resolves its written value to, and keeps the
// local name of its listed text. On a UTF-8 page the name's bytes are already
// the file system's; otherwise the converter turns them from the code page.
// An entry collected from the page the browser shows is fetched from its URL,
// named by that URL's path alone, and sent with its page as referrer and the
// cookies of `browserCookies` that go with its URL at `now`.
std::vector<DownloadItem>
planDownload(const std::vector<FoundEntry>& entries, const EntrySource& source,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage,
             const std::vector<BrowserCookie>& browserCookies = {},
             std::chrono::sys_seconds now = {});

}  // namespace vel
