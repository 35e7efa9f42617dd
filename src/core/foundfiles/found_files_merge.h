#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/foundfiles/found_entry.h"

namespace vel {

// An attribute-value link as a list entry: the opener `="` goes, then at most
// one leading "/".
std::string normaliseRelativeLink(std::string_view link);

// The found-files list from candidates in page order (the absolute links, then
// the attribute values): each text once, the first occurrence keeping the value
// the page wrote for it. Linear in the total size of the candidates.
std::vector<FoundEntry> mergeFoundEntries(std::vector<FoundEntry> candidates);

// The same, keeping at most `maxEntries` texts; `leftOut` receives how many
// distinct texts did not fit.
std::vector<FoundEntry> mergeFoundEntries(std::vector<FoundEntry> candidates,
                                          std::size_t maxEntries, std::size_t& leftOut);

}  // namespace vel
