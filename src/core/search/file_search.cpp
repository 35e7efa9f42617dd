#include "core/search/file_search.h"

#include "core/foundfiles/found_files_merge.h"
#include "core/search/base_url.h"
#include "core/search/link_scanner.h"

namespace vel {

FileSearchResult searchFetchedPage(std::string_view pageSource, std::string_view extension,
                                   std::string_view rowUrl)
{
    const std::string suffix = "." + std::string(extension);
    const std::vector<std::string> absoluteLinks = ScanAbsoluteLinks(pageSource, "http://", suffix);
    const std::vector<std::string> relativeLinks = ScanRelativeLinks(pageSource, "=\"", suffix);
    FileSearchResult result;
    result.entries = mergeFoundFiles(absoluteLinks, relativeLinks);
    result.baseUrl = DeriveBaseUrl(rowUrl);
    return result;
}

std::string foundFilesStatusText(std::size_t count)
{
    return std::to_string(count) + "個のファイルが見つかりました";
}

std::optional<FetchFailureTexts> fetchFailureTexts(PageFetchVerdict verdict)
{
    switch (verdict) {
    case PageFetchVerdict::Page:
    case PageFetchVerdict::Aborted:
        return std::nullopt;
    case PageFetchVerdict::ProtocolError:
        return FetchFailureTexts{"このページはご利用できません", "利用できません"};
    case PageFetchVerdict::OtherFailure:
        return FetchFailureTexts{"ページが見つかりません", "ページが見つかりません"};
    case PageFetchVerdict::FramePage:
        return FetchFailureTexts{"このページはフレームページです",
                                 "このページはフレームページです"};
    }
    return std::nullopt;
}

}  // namespace vel
