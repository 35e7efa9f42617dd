#include "core/search/fetch_page.h"

#include <utility>

#include "core/http/http_client.h"
#include "core/search/frame_page.h"

namespace vel {

PageFetchVerdict fetchPageSource(HttpClient& client, std::string_view url, FetchedPage& page)
{
    page = FetchedPage{};
    FetchResult result = client.get(url);
    page.finalUrl = std::move(result.finalUrl);
    page.contentType = std::move(result.contentType);
    PageFetchVerdict verdict = PageFetchVerdict::OtherFailure;
    switch (result.outcome) {
    case FetchOutcome::Success:
        page.source = std::move(result.body);
        verdict = PageFetchVerdict::Page;
        break;
    case FetchOutcome::ProtocolError:
        verdict = PageFetchVerdict::ProtocolError;
        break;
    case FetchOutcome::CertificateFailure:
        verdict = PageFetchVerdict::CertificateFailure;
        break;
    case FetchOutcome::OtherFailure:
        verdict = PageFetchVerdict::OtherFailure;
        break;
    case FetchOutcome::Aborted:
        return PageFetchVerdict::Aborted;
    }
    // Whatever happened; after a failure the source is empty and this finds nothing.
    if (isFramePage(page.source))
        return PageFetchVerdict::FramePage;
    return verdict;
}

}  // namespace vel
