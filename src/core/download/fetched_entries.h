#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/foundfiles/found_entry.h"

namespace vel {

class DownloadHistory;

// When the file of each entry was stored, as the download history remembers
// the URL the entry is requested from (see entryRequest): seconds since the
// epoch, or 0 for an entry the history does not hold or the batch leaves out.
// One lookup for the whole list.
std::vector<std::int64_t> fetchedTimes(const DownloadHistory& history,
                                       const std::vector<FoundEntry>& entries,
                                       const EntrySource& source);

// How the found-files list marks an entry stored at `storedAt`:
// "取得済み（yyyy/mm/dd）", the day in local time (UTF-8).
std::string fetchedMarkText(std::int64_t storedAt);

}  // namespace vel
