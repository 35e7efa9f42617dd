#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/search/fetch_page.h"

namespace vel {

// What the file search makes of a fetched page: the found-files entries, each
// text once in the order first seen, and the directory URL that relative
// entries are joined to (from the site row's URL as it reads now).
struct FileSearchResult {
    std::vector<std::string> entries;
    std::string baseUrl;
};

// Scans the page for absolute "http://" links and attribute-value links that
// end in "." + extension, and merges them into the found-files list.
FileSearchResult searchFetchedPage(std::string_view pageSource, std::string_view extension,
                                   std::string_view rowUrl);

// The row status and status text after a search: "N個のファイルが見つかりました" (UTF-8).
std::string foundFilesStatusText(std::size_t count);

// What a failed fetch tells the user: the message box text and the text
// written into the site row's status column (UTF-8).
struct FetchFailureTexts {
    std::string_view message;
    std::string_view rowStatus;
};

// Nothing for a page (it is searched) or an aborted fetch (nothing is said).
std::optional<FetchFailureTexts> fetchFailureTexts(PageFetchVerdict verdict);

}  // namespace vel
