#include "core/download/fetched_entries.h"

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <optional>

#include "core/download/entry_request.h"
#include "core/history/download_history.h"

namespace vel {

std::vector<std::int64_t> fetchedTimes(const DownloadHistory& history,
                                       const std::vector<FoundEntry>& entries,
                                       const EntrySource& source)
{
    std::vector<std::string> urls;
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (batchSkipsEntry(entries[row]))
            continue;
        urls.push_back(historyKey(entryRequest(entries[row], source).url));
        rows.push_back(row);
    }
    const std::vector<std::optional<HistoryRecord>> known = history.lookup(urls);
    std::vector<std::int64_t> times(entries.size(), 0);
    for (std::size_t i = 0; i < known.size() && i < rows.size(); ++i) {
        if (known[i])
            times[rows[i]] = known[i]->storedAt;
    }
    return times;
}

std::string fetchedMarkText(std::int64_t storedAt)
{
    const auto time = static_cast<std::time_t>(storedAt);
    std::tm local{};
    char date[32] = "";
    if (localtime_r(&time, &local))
        std::snprintf(date, sizeof date, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
    return std::string("取得済み（") + date + "）";
}

}  // namespace vel
