#include "core/download/download_plan.h"

#include <utility>

#include "core/download/download_rules.h"
#include "core/foundfiles/entry_url.h"
#include "core/foundfiles/live_entries.h"

namespace vel {

std::vector<DownloadItem>
planDownload(const std::vector<std::string>& entries, std::string_view baseUrl,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage)
{
    // Listed texts alone: each is its own written value, and without a page
    // URL it is fetched from the plain join, as before.
    std::vector<FoundEntry> found;
    found.reserve(entries.size());
    for (const std::string& entry : entries)
        found.push_back({entry, entry});
    return planDownload(found, EntrySource{std::string(baseUrl), {}, PageCharset::CodePage},
                        fileNameFromCodePage);
}

std::vector<DownloadItem>
planDownload(const std::vector<FoundEntry>& entries, const EntrySource& source,
             const std::function<std::string(std::string_view)>& fileNameFromCodePage,
             const std::vector<BrowserCookie>& browserCookies, std::chrono::sys_seconds now)
{
    std::vector<DownloadItem> items;
    items.reserve(entries.size());
    for (const FoundEntry& entry : entries) {
        DownloadItem item;
        if (entry.isLive()) {
            // The browser's URL, named by its path: a query never becomes part
            // of the name. Its bytes are ASCII or UTF-8 already.
            if (downloadUrlOfEntry(entry.written, {})) {
                item.url = entry.written;
                item.fileName = localFileName(withoutQueryAndFragment(entry.written));
                item.referer = entry.shownOn;
                item.cookie = cookieHeaderFor(*item.url, browserCookies, now);
            }
            items.push_back(std::move(item));
            continue;
        }
        if (const std::optional<std::string> listedUrl =
                downloadUrlOfEntry(entry.text, source.baseUrl)) {
            item.url = fetchUrlOfEntry(entry, source);
            const std::string name = localFileName(*listedUrl);
            const bool utf8 = source.charset == PageCharset::Utf8;
            item.fileName = utf8 || !fileNameFromCodePage ? name : fileNameFromCodePage(name);
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace vel
