#include "core/foundfiles/found_files_merge.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace vel {

std::string normaliseRelativeLink(std::string_view link)
{
    link.remove_prefix(std::min<std::size_t>(2, link.size()));
    if (!link.empty() && link.front() == '/')
        link.remove_prefix(1);
    return std::string(link);
}

std::vector<FoundEntry> mergeFoundEntries(std::vector<FoundEntry> candidates)
{
    std::size_t leftOut = 0;
    const std::size_t all = candidates.size();
    return mergeFoundEntries(std::move(candidates), all, leftOut);
}

std::vector<FoundEntry> mergeFoundEntries(std::vector<FoundEntry> candidates,
                                          std::size_t maxEntries, std::size_t& leftOut)
{
    leftOut = 0;
    std::vector<std::size_t> kept;
    kept.reserve(std::min(candidates.size(), maxEntries));
    {
        std::unordered_set<std::string_view> seen;
        seen.reserve(candidates.size());
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (!seen.insert(candidates[i].text).second)
                continue;
            if (kept.size() < maxEntries)
                kept.push_back(i);
            else
                ++leftOut;
        }
    }
    std::vector<FoundEntry> entries;
    entries.reserve(kept.size());
    for (const std::size_t i : kept)
        entries.push_back(std::move(candidates[i]));
    return entries;
}

}  // namespace vel
