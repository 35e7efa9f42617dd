#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_plan.h"

namespace vel::test {

// A found-files list of listed texts alone, without the page they came from:
// each text is its own written value, fetched from the plain join to BaseUrl.
inline std::vector<DownloadItem>
planListedDownload(const std::vector<std::string>& texts, std::string_view baseUrl,
                   const std::function<std::string(std::string_view)>& fileNameFromCodePage = {})
{
    std::vector<FoundEntry> entries;
    entries.reserve(texts.size());
    for (const std::string& text : texts)
        entries.push_back({text, text});
    return planDownload(entries, EntrySource{std::string(baseUrl), {}, PageCharset::CodePage},
                        fileNameFromCodePage);
}

}  // namespace vel::test
