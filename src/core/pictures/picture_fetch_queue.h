#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/download/browser_cookies.h"
#include "core/download/curl_transfer.h"
#include "core/pictures/picture_cache.h"

namespace vel {

// One entry's file asked for a picture, as the batch would ask for it (see
// EntryRequest): a referrer and cookies only for an entry of the page shown.
struct PictureRequest {
    std::string url;
    std::string referer;
    std::string cookie;
};

enum class PictureFetchEnd {
    Stored,  // the whole body is in the cache
    ErrorStatus,  // the server answered 400 or more
    CutShort,  // the connection closed before the body was complete
    TooLarge,  // the body is larger than a picture may be
    Failed,  // no answer (name, connection, TLS, time) or nowhere fetchable
};

struct PictureFetched {
    std::string url;
    PictureFetchEnd end = PictureFetchEnd::Failed;
    int httpStatus = 0;
    std::uint64_t size = 0;  // of a stored body
};

struct PictureFetchOptions {
    FetchLimits limits;
    TlsTrust trust = tlsTrustFromEnvironment();
    int parallelTransfers = 4;
    std::uint64_t maxBody = 64 * 1024 * 1024;
};

// Fetches entries' files into the picture cache on a worker thread of its
// own through one libcurl multi handle, a few at a time, with the batch's
// request rules (CurlTransfer: TLS checks, redirects; an entry of the page
// shown follows each redirect with the cookies of the URL it points to).
// Each request ends in one call of `done`, on the worker thread; a URL
// already cached ends at once as Stored. Stopping ends every transfer at
// once and removes its temporary file. libcurl must have been set up (CurlGlobal).
class PictureFetchQueue {
public:
    using Done = std::function<void(const PictureFetched&)>;

    PictureFetchQueue(PictureCache& cache, Done done, PictureFetchOptions options = {});
    ~PictureFetchQueue();
    PictureFetchQueue(const PictureFetchQueue&) = delete;
    PictureFetchQueue& operator=(const PictureFetchQueue&) = delete;

    // What to fetch next, most wanted first; replaces what still waits (those
    // running go on, and are not asked again). `cookies` and `now` serve the
    // redirects of entries of the page shown.
    void want(std::vector<PictureRequest> requests, std::vector<BrowserCookie> cookies = {},
              std::chrono::sys_seconds now = {});
    // Ends every transfer and the worker; nothing is reported after it returns.
    void stop();

private:
    struct Shared;
    void run();

    PictureCache& m_cache;
    Done m_done;
    PictureFetchOptions m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PictureRequest> m_waiting;
    std::vector<BrowserCookie> m_cookies;
    std::chrono::sys_seconds m_now{};
    std::vector<std::string> m_running;  // URLs in flight
    void* m_multi = nullptr;  // the CURLM*, set while the worker runs
    bool m_stopping = false;
    std::thread m_worker;
};

}  // namespace vel
