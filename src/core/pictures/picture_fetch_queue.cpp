#include "core/pictures/picture_fetch_queue.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include <curl/curl.h>

#include "core/download/download_rules.h"

namespace vel {

namespace {

constexpr int kMaxRedirects = 10;
// How long one wait for the network lasts at most, so a new wish or a stop
// is seen soon even where a wake-up is lost.
constexpr int kWaitMs = 100;

struct Transfer {
    PictureRequest request;  // as asked: its URL names the cached body
    std::unique_ptr<CurlTransfer> curl;
    std::uint64_t maxBody = 0;
    int redirects = 0;
    bool tooLarge = false;
};

int progressCallback(void* data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t)
{
    auto* transfer = static_cast<Transfer*>(data);
    if (received >= 0 && static_cast<std::uint64_t>(received) > transfer->maxBody) {
        transfer->tooLarge = true;
        return 1;
    }
    return 0;
}

PictureFetchEnd endOf(const Transfer& transfer, EntryOutcome outcome, CURLcode result)
{
    if (outcome == EntryOutcome::Stored)
        return PictureFetchEnd::Stored;
    if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return PictureFetchEnd::TooLarge;
    if (transfer.curl->status() >= 400)
        return PictureFetchEnd::ErrorStatus;
    if (result == CURLE_PARTIAL_FILE)
        return PictureFetchEnd::CutShort;
    return PictureFetchEnd::Failed;
}

}  // namespace

struct PictureFetchQueue::Shared {
    CURLM* multi = nullptr;
    std::vector<std::unique_ptr<Transfer>> running;
};

PictureFetchQueue::PictureFetchQueue(PictureCache& cache, Done done, PictureFetchOptions options)
    : m_cache(cache)
    , m_done(std::move(done))
    , m_options(std::move(options))
    , m_worker([this] { run(); })
{}

PictureFetchQueue::~PictureFetchQueue()
{
    stop();
}

void PictureFetchQueue::want(std::vector<PictureRequest> requests,
                             std::vector<BrowserCookie> cookies, std::chrono::sys_seconds now)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.assign(std::make_move_iterator(requests.begin()),
                     std::make_move_iterator(requests.end()));
    m_cookies = std::move(cookies);
    m_now = now;
    if (m_multi)
        curl_multi_wakeup(static_cast<CURLM*>(m_multi));
    m_wake.notify_all();
}

void PictureFetchQueue::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_multi)
            curl_multi_wakeup(static_cast<CURLM*>(m_multi));
        m_wake.notify_all();
    }
    if (m_worker.joinable())
        m_worker.join();
}

void PictureFetchQueue::run()
{
    Shared shared;
    shared.multi = curl_multi_init();
    const auto parallel = static_cast<std::size_t>(std::max(1, m_options.parallelTransfers));
    if (shared.multi) {
        curl_multi_setopt(shared.multi, CURLMOPT_MAX_TOTAL_CONNECTIONS,
                          static_cast<long>(parallel));
        curl_multi_setopt(shared.multi, CURLMOPT_MAXCONNECTS, static_cast<long>(parallel));
    }
    {
        const std::lock_guard lock(m_mutex);
        m_multi = shared.multi;
    }
    const auto finishRequest = [this](const PictureFetched& fetched) {
        {
            const std::lock_guard lock(m_mutex);
            m_running.erase(std::remove(m_running.begin(), m_running.end(), fetched.url),
                            m_running.end());
        }
        // Nothing a report does may end the worker.
        try {
            m_done(fetched);
        } catch (...) {
        }
    };
    const auto start = [&](std::unique_ptr<Transfer> transfer, const std::string& url,
                           const BrowserHeaders* headers) {
        transfer->curl = std::make_unique<CurlTransfer>(
            m_cache.folder(), PictureCache::fileNameFor(transfer->request.url));
        transfer->maxBody = m_options.maxBody;
        CURL* easy = nullptr;
        if (!transfer->curl->prepare(url, m_options.limits, m_options.trust, headers)) {
            easy = static_cast<CURL*>(transfer->curl->handle());
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                             static_cast<curl_off_t>(m_options.maxBody));
            curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progressCallback);
            curl_easy_setopt(easy, CURLOPT_XFERINFODATA, transfer.get());
            curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        }
        if (!easy || !shared.multi || curl_multi_add_handle(shared.multi, easy) != CURLM_OK) {
            finishRequest({transfer->request.url, PictureFetchEnd::Failed});
            return;
        }
        shared.running.push_back(std::move(transfer));
    };

    try {
        for (;;) {
            std::vector<PictureRequest> starting;
            std::vector<BrowserCookie> cookies;
            std::chrono::sys_seconds now{};
            {
                std::unique_lock lock(m_mutex);
                if (shared.running.empty())
                    m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
                if (m_stopping)
                    break;
                while (shared.running.size() + starting.size() < parallel && !m_waiting.empty()) {
                    PictureRequest next = std::move(m_waiting.front());
                    m_waiting.pop_front();
                    if (std::find(m_running.begin(), m_running.end(), next.url) != m_running.end())
                        continue;
                    m_running.push_back(next.url);
                    starting.push_back(std::move(next));
                }
                cookies = m_cookies;
                now = m_now;
            }
            for (PictureRequest& request : starting) {
                if (const auto cached = m_cache.open(request.url)) {
                    finishRequest({request.url, PictureFetchEnd::Stored, 0, cached->size()});
                    continue;
                }
                auto transfer = std::make_unique<Transfer>();
                transfer->request = std::move(request);
                const PictureRequest& asked = transfer->request;
                const BrowserHeaders headers{asked.referer, asked.cookie};
                const std::string url = asked.url;
                start(std::move(transfer), url, asked.referer.empty() ? nullptr : &headers);
            }
            if (shared.running.empty())
                continue;
            int stillRunning = 0;
            curl_multi_perform(shared.multi, &stillRunning);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(shared.multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                CURL* easy = message->easy_handle;
                const CURLcode result = message->data.result;
                curl_multi_remove_handle(shared.multi, easy);
                const auto found = std::find_if(
                    shared.running.begin(), shared.running.end(),
                    [easy](const auto& transfer) { return transfer->curl->handle() == easy; });
                if (found == shared.running.end())
                    continue;
                std::unique_ptr<Transfer> transfer = std::move(*found);
                shared.running.erase(found);
                const std::optional<std::string> target = transfer->curl->redirectTarget(result);
                if (target && ++transfer->redirects <= kMaxRedirects) {
                    const BrowserHeaders headers{transfer->request.referer,
                                                 cookieHeaderFor(*target, cookies, now)};
                    start(std::move(transfer), *target, &headers);
                    continue;
                }
                const EntryOutcome outcome = transfer->curl->finish(result, false);
                const PictureFetchEnd end = endOf(*transfer, outcome, result);
                const std::uint64_t size = end == PictureFetchEnd::Stored
                    ? static_cast<std::uint64_t>(transfer->curl->digest().size)
                    : 0;
                if (end == PictureFetchEnd::Stored)
                    m_cache.added(transfer->request.url, size);
                finishRequest({transfer->request.url, end, transfer->curl->status(), size});
            }
            if (!shared.running.empty())
                curl_multi_poll(shared.multi, nullptr, 0, kWaitMs, nullptr);
        }
    } catch (...) {
    }
    for (const auto& transfer : shared.running)
        curl_multi_remove_handle(shared.multi, transfer->curl->handle());
    shared.running.clear();
    {
        const std::lock_guard lock(m_mutex);
        m_multi = nullptr;
    }
    if (shared.multi)
        curl_multi_cleanup(shared.multi);
}

}  // namespace vel
