#include "core/download/download_plan.h"

#include <utility>

#include "core/download/download_rules.h"

namespace vel {

std::vector<DownloadItem>
planDownload(const std::vector<std::string>& entries, std::string_view baseUrl,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage)
{
    std::vector<DownloadItem> items;
    items.reserve(entries.size());
    for (const std::string& entry : entries) {
        DownloadItem item;
        item.url = downloadUrlOfEntry(entry, baseUrl);
        if (item.url) {
            const std::string name = localFileName(*item.url);
            item.fileName = fileNameFromCodePage ? fileNameFromCodePage(name) : name;
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace vel
