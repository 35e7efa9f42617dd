#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vel {

// An attribute-value link as a list entry: the opener `="` goes, then at most
// one leading "/".
std::string normaliseRelativeLink(std::string_view link);

// The found-files list of a search: the absolute links, then the normalised
// relative links, each text once, in the order first seen. Linear in the total
// size of the links.
std::vector<std::string> mergeFoundFiles(const std::vector<std::string>& absoluteLinks,
                                         const std::vector<std::string>& relativeLinks);

}  // namespace vel
