#include "core/search/fetch_page.h"

#include "core/http/http_client.h"
#include "core/search/frame_page.h"

namespace vel {

PageFetchVerdict fetchPageSource(HttpClient& client, std::string_view url, std::string& pageSource)
{
    pageSource.clear();
    FetchResult result = client.get(url);
    PageFetchVerdict verdict = PageFetchVerdict::OtherFailure;
    switch (result.outcome) {
    case FetchOutcome::Success:
        pageSource = std::move(result.body);
        verdict = PageFetchVerdict::Page;
        break;
    case FetchOutcome::ProtocolError:
        verdict = PageFetchVerdict::ProtocolError;
        break;
    case FetchOutcome::OtherFailure:
        verdict = PageFetchVerdict::OtherFailure;
        break;
    case FetchOutcome::Aborted:
        return PageFetchVerdict::Aborted;
    }
    // Whatever happened; after a failure the source is empty and this finds nothing.
    if (isFramePage(pageSource))
        return PageFetchVerdict::FramePage;
    return verdict;
}

}  // namespace vel
