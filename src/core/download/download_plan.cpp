#include "core/download/download_plan.h"

#include <utility>

#include "core/download/entry_request.h"

namespace vel {

std::vector<DownloadItem>
planDownload(const std::vector<FoundEntry>& entries, const EntrySource& source,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage,
             const std::vector<BrowserCookie>& browserCookies, std::chrono::sys_seconds now)
{
    std::vector<DownloadItem> items;
    items.reserve(entries.size());
    for (const FoundEntry& entry : entries) {
        DownloadItem item;
        if (!batchSkipsEntry(entry)) {
            EntryRequest request = entryRequest(entry, source, browserCookies, now);
            item.url = std::move(request.url);
            item.referer = std::move(request.referer);
            item.cookie = std::move(request.cookie);
            item.fileName = entryLocalName(entry, source, fileNameFromCodePage);
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace vel
