#pragma once

#include <string>
#include <string_view>

namespace vel {

class HttpClient;

// How a page fetch for the file search ended.
enum class PageFetchVerdict {
    Page,  // the page is in the page source and may be searched
    ProtocolError,  // the server refused the page (error status, redirect, bad status line)
    OtherFailure,  // no page: lookup, connection, time-out, broken answer, unsupported URL
    FramePage,  // the page arrived but holds "frameset": nothing worth scanning
    Aborted,  // the fetch was cut short (the window is closing)
};

// Fetches url into pageSource, which is emptied first and holds the body only
// when the server sent a page (a frame page stays in it).
PageFetchVerdict fetchPageSource(HttpClient& client, std::string_view url, std::string& pageSource);

}  // namespace vel
