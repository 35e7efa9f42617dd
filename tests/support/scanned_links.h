#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/foundfiles/found_files_merge.h"
#include "core/search/link_scanner.h"
#include "core/text/code_page.h"

namespace vel::test {

// The links the scans find, as texts of their own.
inline std::vector<std::string> linkTexts(std::string_view source,
                                          const std::vector<LinkSpan>& spans)
{
    std::vector<std::string> links;
    links.reserve(spans.size());
    for (const LinkSpan& span : spans)
        links.emplace_back(source.substr(span.offset, span.length));
    return links;
}

inline std::vector<std::string> scanAbsoluteLinks(std::string_view source, std::string_view marker,
                                                  std::string_view suffix,
                                                  CodePage codePage = currentCodePage())
{
    return linkTexts(source, scanAbsoluteLinkSpans(source, marker, suffix, codePage));
}

inline std::vector<std::string> scanRelativeLinks(std::string_view source, std::string_view marker,
                                                  std::string_view suffix,
                                                  CodePage codePage = currentCodePage())
{
    return linkTexts(source, scanRelativeLinkSpans(source, marker, suffix, codePage));
}

// The found-files list of the absolute links, then the normalised relative
// links, through the search's de-duplication: each text once, in the order
// first seen.
inline std::vector<std::string> mergeFoundFiles(const std::vector<std::string>& absoluteLinks,
                                                const std::vector<std::string>& relativeLinks)
{
    std::vector<FoundEntry> candidates;
    candidates.reserve(absoluteLinks.size() + relativeLinks.size());
    for (const std::string& link : absoluteLinks)
        candidates.push_back({link, {}});
    for (const std::string& link : relativeLinks)
        candidates.push_back({normaliseRelativeLink(link), {}});
    std::vector<std::string> entries;
    for (FoundEntry& entry : mergeFoundEntries(std::move(candidates)))
        entries.push_back(std::move(entry.text));
    return entries;
}

}  // namespace vel::test
