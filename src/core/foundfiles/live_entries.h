#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/foundfiles/found_entry.h"

namespace vel {

// The path of an absolute URL: from the first "/" after "scheme://authority"
// up to its query or fragment; empty when the URL has none. A URL without
// "://" is taken as a path itself, up to its query or fragment.
std::string_view urlPath(std::string_view url);

// The URL without its query and fragment, which never reach a file's name.
std::string_view withoutQueryAndFragment(std::string_view url);

// True when the URL's path ends in "." + extension, ASCII letters compared
// without case; never for an empty extension.
bool pathHasExtension(std::string_view url, std::string_view extension);

// What a search of the page the browser shows adds to the found-files list.
struct LiveEntries {
    std::vector<FoundEntry> entries;
    // Distinct new files that did not fit under the list's bound.
    std::size_t leftOut = 0;
};

// The entries to append to a list that holds `listed`, from the page's URLs in
// document order (absolute, as the browser resolved them): each URL whose path
// ends in the extension, without its fragment, once, unless the list holds it
// already. Its text and written value are that URL and it remembers `pageUrl`
// (the referrer). The list grows to at most `maxListed` entries. Linear in the
// total size of the URLs and the list.
LiveEntries liveEntries(const std::vector<std::string>& urls, std::string_view extension,
                        const std::vector<FoundEntry>& listed, std::string_view pageUrl,
                        std::size_t maxListed);

}  // namespace vel
