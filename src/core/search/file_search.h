#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/foundfiles/found_entry.h"
#include "core/html/page_charset.h"
#include "core/search/fetch_page.h"

namespace vel {

// What the file search makes of a fetched page: the found-files entries, each
// text once in the order first seen; the directory URL shown entries are
// joined to (from the site row's URL as it reads now); the URL a browser
// resolves the page's links against; and how the page's bytes are read.
struct FileSearchResult {
    std::vector<FoundEntry> entries;
    std::string baseUrl;
    std::string documentBase;
    PageCharset charset = PageCharset::CodePage;
    // Distinct entries past the list's bound that were not listed.
    std::size_t leftOut = 0;
};

// The most entries one search lists; a page with more is cut there.
inline constexpr std::size_t kMaxFoundEntries = 1'000'000;

// The part of the search that does not depend on the site row: scanning,
// de-duplication and the page's base URL and character set (baseUrl stays
// empty). Runs on the fetch's thread. A search that is stopped meanwhile
// (`stopped` answers true, asked between the scan's steps and every few
// thousand links) ends at once with an empty result.
FileSearchResult scanFetchedPage(std::string_view pageSource, std::string_view extension,
                                 std::string_view pageUrl, std::string_view contentType,
                                 std::size_t maxEntries = kMaxFoundEntries,
                                 const std::function<bool()>& stopped = {});

// Scans the page for absolute "http://" and "https://" links and
// attribute-value links that end in "." + extension, and merges them into the
// found-files list. `pageUrl` is where the page came from (after redirects);
// `contentType` its Content-Type header, for the character set.
FileSearchResult searchFetchedPage(std::string_view pageSource, std::string_view extension,
                                   std::string_view rowUrl, std::string_view pageUrl = {},
                                   std::string_view contentType = {});

// The row status and status text after a search: "N個のファイルが見つかりました",
// followed by "（ほかM個は表示していません）" when the list's bound cut it (UTF-8).
std::string foundFilesStatusText(std::size_t count, std::size_t leftOut = 0);

// What a failed fetch tells the user: the message box text and the text
// written into the site row's status column (UTF-8).
struct FetchFailureTexts {
    std::string_view message;
    std::string_view rowStatus;
};

// Nothing for a page (it is searched) or an aborted fetch (nothing is said).
std::optional<FetchFailureTexts> fetchFailureTexts(PageFetchVerdict verdict);

}  // namespace vel
