#pragma once

#include <string>
#include <string_view>

namespace vel {

class HttpClient;

// How a page fetch for the file search ended.
enum class PageFetchVerdict {
    Page,  // the page is in the page source and may be searched
    // The server refused the page (error status, a redirect that is not
    // followed, bad status line).
    ProtocolError,
    CertificateFailure,  // the https server's certificate could not be verified
    OtherFailure,  // no page: lookup, connection, time-out, broken answer, unsupported URL
    FramePage,  // the page arrived but holds "frameset": nothing worth scanning
    Aborted,  // the fetch was cut short (the window is closing)
};

// What a page fetch brings back.
struct FetchedPage {
    // The body, only when the server sent a page (a frame page stays in it).
    std::string source;
    // Where the page finally came from, after redirects; the URL asked for
    // when none was followed.
    std::string finalUrl;
    // The final answer's Content-Type header value; empty if none.
    std::string contentType;
};

// Fetches url into page, which is emptied first.
PageFetchVerdict fetchPageSource(HttpClient& client, std::string_view url, FetchedPage& page);

}  // namespace vel
