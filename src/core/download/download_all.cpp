#include "core/download/download_all.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "core/download/batch_history.h"
#include "core/download/browser_cookies.h"
#include "core/download/curl_transfer.h"
#include "core/download/download_file.h"
#include "core/download/download_rules.h"
#include "core/history/file_digest.h"

namespace vel {

namespace {

// As many as libcurl follows for the other entries.
constexpr int kMaxRedirects = 10;

// How long one wait for the network lasts at most, so a stop is seen at once
// even while every server is silent.
constexpr int kWaitMs = 100;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

bool nameTaken(int folder, const std::string& name)
{
    struct stat existing {};
    return folder >= 0 && !name.empty()
        && ::fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
}

// One batch: the entries running on the multi handle and the bookkeeping
// that keeps the result that of fetching the list in order.
class Batch {
public:
    Batch(const DownloadBatch& batch, const DownloadOptions& options, DownloadObserver& observer,
          CURLM* multi)
        : m_batch(batch)
        , m_options(options)
        , m_observer(observer)
        , m_multi(multi)
        , m_parallel(static_cast<std::size_t>(std::max(1, options.parallelTransfers)))
        , m_history(batch)
        , m_fetched(m_history.fetchedItems())
        , m_settled(batch.items.size(), false)
        , m_retried(batch.items.size(), false)
    {}

    // A stopped batch: the transfers leave the multi handle before they go,
    // and each removes its temporary file.
    ~Batch() { endTransfers(); }

    // False when the batch was stopped.
    bool run()
    {
        for (;;) {
            if (m_observer.cancelled())
                return false;
            startWhatMayStart();
            if (m_running.empty() && m_waiting.empty() && m_next >= m_batch.items.size())
                return true;
            int stillRunning = 0;
            if (curl_multi_perform(m_multi, &stillRunning) != CURLM_OK) {
                failEverythingRunning();
                continue;
            }
            // A slot that came free is filled before the next wait.
            const bool someEnded = collectFinished();
            if (m_observer.cancelled())
                return false;
            if (!someEnded && (!m_running.empty() || !m_waiting.empty())
                && curl_multi_poll(m_multi, nullptr, 0, waitMs(), nullptr) != CURLM_OK)
                failEverythingRunning();
        }
    }

    // The failed entries in list order, once the batch is over. A batch cut
    // short by an error also fails every entry it had not settled: none of
    // them was stored.
    std::vector<std::size_t> failures(bool cutShort) const
    {
        std::vector<std::size_t> sorted = m_failures;
        for (std::size_t index = 0; cutShort && index < m_settled.size(); ++index) {
            if (!m_settled[index])
                sorted.push_back(index);
        }
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    // Ends every running transfer, removing its temporary file.
    void endTransfers()
    {
        for (auto& [index, transfer] : m_running)
            curl_multi_remove_handle(m_multi, transfer->handle());
        m_running.clear();
    }

private:
    void startWhatMayStart()
    {
        const auto now = std::chrono::steady_clock::now();
        for (auto waiting = m_waiting.begin();
             waiting != m_waiting.end() && m_running.size() < m_parallel;) {
            if (waiting->first > now) {
                ++waiting;
                continue;
            }
            const std::size_t index = waiting->second;
            waiting = m_waiting.erase(waiting);
            m_redirects.erase(index);
            startItem(index);
        }
        while (m_running.size() < m_parallel && m_next < m_batch.items.size()) {
            const DownloadItem& item = m_batch.items[m_next];
            if (item.url && m_fetched[m_next]) {
                endEntry(m_next++, EntryOutcome::AlreadyFetched);
                continue;
            }
            // Whether the name is taken is asked only once every earlier entry
            // of that name is done, as in a fetch of one entry after the other.
            if (m_batch.skipExisting && item.url && runningWithName(item.fileName))
                return;
            const std::size_t index = m_next++;
            if (!item.url
                || (m_batch.skipExisting && nameTaken(m_batch.targetFolder, item.fileName))) {
                endEntry(index, EntryOutcome::Skipped);
                continue;
            }
            startItem(index);
        }
    }

    void startItem(std::size_t index)
    {
        const DownloadItem& item = m_batch.items[index];
        if (storedFromCache(index))
            return;
        std::optional<BrowserHeaders> headers;
        if (item.asBrowser())
            headers = BrowserHeaders{item.referer, item.cookie};
        startTransfer(index, *item.url, headers);
    }

    // An entry whose body the run fetched already is stored from the picture
    // cache, judged as a transfer's complete body is (see collectFinished);
    // false when the cache cannot give it, and the server is asked.
    bool storedFromCache(std::size_t index)
    {
        const DownloadItem& item = m_batch.items[index];
        std::optional<CachedBody> body =
            m_batch.pictureCache ? m_batch.pictureCache->open(*item.url) : std::nullopt;
        const std::optional<std::string> bytes = body ? body->readAll() : std::nullopt;
        if (!bytes)
            return false;
        DownloadFile file;
        if (!file.create(m_batch.targetFolder, item.fileName)
            || !file.write(bytes->data(), bytes->size())) {
            file.discard();
            endEntry(index, EntryOutcome::Failed);
            return true;
        }
        const FileDigest digest{static_cast<std::int64_t>(bytes->size()), sha256Hex(*bytes)};
        const auto taken = m_nameTakenBy.find(item.fileName);
        EntryOutcome outcome = EntryOutcome::Stored;
        std::optional<HistoryRecord> copy;
        if (taken != m_nameTakenBy.end() && taken->second > index) {
            file.discard();
        } else if (m_history.dedupes() && !digest.sha256.empty()
                   && (copy = m_history.storedCopy(digest))) {
            file.discard();
            m_history.recordCopy(item, *copy);
            outcome = EntryOutcome::SameContent;
        } else if (file.commit()) {
            m_nameTakenBy[item.fileName] = index;
            m_history.recordStored(item, item.fileName, digest);
        } else {
            outcome = EntryOutcome::Failed;
        }
        endEntry(index, outcome);
        return true;
    }

    // How long the next wait for the network may last: until the first
    // entry waiting to be asked again is due, at most kWaitMs.
    int waitMs() const
    {
        auto wait = std::chrono::milliseconds(kWaitMs);
        const auto now = std::chrono::steady_clock::now();
        for (const auto& [due, index] : m_waiting)
            wait = std::min(wait,
                            std::chrono::ceil<std::chrono::milliseconds>(
                                std::max(due - now, std::chrono::steady_clock::duration{})));
        return static_cast<int>(wait.count());
    }

    // An entry that may arrive when asked once more waits for its turn
    // instead of ending; each is asked again only once.
    bool willRetry(std::size_t index, const CurlTransfer& transfer, CURLcode result,
                   EntryOutcome outcome)
    {
        if (!isFailedEntry(outcome) || m_retried[index])
            return false;
        const std::optional<std::chrono::milliseconds> wait =
            transfer.retryDelay(result, m_options.retry);
        if (!wait)
            return false;
        m_retried[index] = true;
        m_waiting.emplace_back(std::chrono::steady_clock::now() + *wait, index);
        return true;
    }

    void startTransfer(std::size_t index, std::string_view url,
                       const std::optional<BrowserHeaders>& headers)
    {
        const DownloadItem& item = m_batch.items[index];
        auto transfer = std::make_unique<CurlTransfer>(m_batch.targetFolder, item.fileName);
        std::optional<EntryOutcome> refused = transfer->prepare(
            url, m_options.limits, m_options.trust, headers ? &*headers : nullptr);
        if (!refused
            && curl_multi_add_handle(m_multi, static_cast<CURL*>(transfer->handle())) != CURLM_OK)
            refused = EntryOutcome::NotOpened;
        if (refused) {
            m_running.erase(index);
            endEntry(index, *refused);
            return;
        }
        m_running[index] = std::move(transfer);
    }

    // A browser-like item's redirect: the next request goes out with the
    // cookies of the URL it points to, the page still its referrer.
    bool followedRedirect(std::size_t index, const CurlTransfer& transfer, CURLcode result)
    {
        const std::optional<std::string> target = transfer.redirectTarget(result);
        if (!target || ++m_redirects[index] > kMaxRedirects)
            return false;
        const DownloadItem& item = m_batch.items[index];
        startTransfer(
            index, *target,
            BrowserHeaders{item.referer,
                           cookieHeaderFor(*target, m_batch.browserCookies, m_batch.now)});
        return true;
    }

    bool runningWithName(const std::string& name) const
    {
        return std::any_of(
                   m_running.begin(), m_running.end(),
                   [&name](const auto& running) { return running.second->fileName() == name; })
            || std::any_of(m_waiting.begin(), m_waiting.end(), [&](const auto& waiting) {
                   return m_batch.items[waiting.second].fileName == name;
               });
    }

    // True when a transfer ended.
    bool collectFinished()
    {
        bool someEnded = false;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* easy = message->easy_handle;
            const CURLcode result = message->data.result;
            const auto found =
                std::find_if(m_running.begin(), m_running.end(),
                             [easy](const auto& r) { return r.second->handle() == easy; });
            curl_multi_remove_handle(m_multi, easy);
            if (found == m_running.end())
                continue;
            someEnded = true;
            const std::size_t index = found->first;
            std::unique_ptr<CurlTransfer> transfer = std::move(found->second);
            m_running.erase(found);
            if (followedRedirect(index, *transfer, result))
                continue;
            const auto taken = m_nameTakenBy.find(transfer->fileName());
            const bool superseded = taken != m_nameTakenBy.end() && taken->second > index;
            std::optional<HistoryRecord> copy;
            std::function<bool(const FileDigest&)> sameAsStored;
            if (m_history.dedupes())
                sameAsStored = [this, &copy](const FileDigest& digest) {
                    copy = m_history.storedCopy(digest);
                    return copy.has_value();
                };
            const EntryOutcome outcome = transfer->finish(result, superseded, sameAsStored);
            if (willRetry(index, *transfer, result, outcome))
                continue;
            const DownloadItem& item = m_batch.items[index];
            // Recorded in the step that counts the file done: a file dropped
            // for a later one of its name is not there to record.
            if (outcome == EntryOutcome::Stored && !superseded) {
                m_nameTakenBy[transfer->fileName()] = index;
                m_history.recordStored(item, transfer->fileName(), transfer->digest());
            } else if (outcome == EntryOutcome::SameContent && copy) {
                m_history.recordCopy(item, *copy);
            }
            endEntry(index, outcome);
        }
        return someEnded;
    }

    // The multi handle itself broke: every running entry fails, the rest go on.
    void failEverythingRunning()
    {
        for (auto& [index, transfer] : m_running) {
            curl_multi_remove_handle(m_multi, transfer->handle());
            transfer.reset();
            endEntry(index, EntryOutcome::Failed);
        }
        m_running.clear();
    }

    void endEntry(std::size_t index, EntryOutcome outcome)
    {
        if (outcome == EntryOutcome::NoHandle)
            m_observer.showMessage(kNoInternetText);
        if (isFailedEntry(outcome))
            m_failures.push_back(index);
        m_observer.entryEnded(index, outcome);
        m_settled[index] = true;
        ++m_done;
        m_observer.setProgress(static_cast<int>(m_done));
        m_observer.setStatusText(downloadProgressText(m_done, m_batch.items.size()));
    }

    const DownloadBatch& m_batch;
    const DownloadOptions& m_options;
    DownloadObserver& m_observer;
    CURLM* m_multi;
    const std::size_t m_parallel;
    BatchHistory m_history;
    const std::vector<bool> m_fetched;  // per item: the history holds its URL
    std::size_t m_next = 0;
    std::size_t m_done = 0;
    std::map<std::size_t, std::unique_ptr<CurlTransfer>> m_running;
    // Local name -> the latest entry whose file took it.
    std::map<std::string, std::size_t> m_nameTakenBy;
    std::map<std::size_t, int> m_redirects;  // redirects followed per browser-like item
    std::vector<std::size_t> m_failures;
    std::vector<bool> m_settled;  // per item: stored, failed or skipped
    std::vector<bool> m_retried;  // per item: asked once more already
    // Entries to be asked once more, and when.
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::size_t>> m_waiting;
};

}  // namespace

CurlDownloader::CurlDownloader(DownloadOptions options)
    : m_options(std::move(options))
{}

void CurlDownloader::downloadAll(const DownloadBatch& batch, DownloadObserver& observer)
{
    std::vector<std::size_t> failures;
    bool stopped = false;
    // Outside the try, so that a batch cut short by an error still knows
    // which entries it settled.
    std::unique_ptr<CURLM, MultiDeleter> multi;
    std::optional<Batch> run;
    try {
        const std::size_t total = batch.items.size();
        observer.setStatusText(downloadProgressText(0, total));
        // A range of 0 to 0 would make the bar a busy indicator.
        observer.setProgressRange(0, static_cast<int>(std::max<std::size_t>(total, 1)));
        observer.setProgress(0);

        multi.reset(curl_multi_init());
        if (multi) {
            const long parallel = std::max(1, m_options.parallelTransfers);
            curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, parallel);
            curl_multi_setopt(multi.get(), CURLMOPT_MAX_HOST_CONNECTIONS, parallel);
            curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, parallel);
        }
        run.emplace(batch, m_options, observer, multi.get());
        if (multi) {
            stopped = !run->run();
        } else {
            // No multi handle: nothing can be fetched, as with no easy handle.
            observer.showMessage(kNoInternetText);
        }
        failures = run->failures(false);
    } catch (...) {
        // Nothing reaches the caller; the closing report follows and counts
        // every entry not stored as failed, so none passes for done.
        try {
            if (run) {
                run->endTransfers();
                failures = run->failures(!stopped);
            } else {
                failures.resize(batch.items.size());
                std::iota(failures.begin(), failures.end(), std::size_t{0});
            }
        } catch (...) {
        }
    }
    try {
        for (const std::size_t index : failures)
            observer.entryFailed(index);
        observer.setStatusText(stopped ? std::string(kDownloadStoppedText)
                                       : downloadFinishedText(failures.size()));
        observer.setProgress(0);
    } catch (...) {
    }
}

}  // namespace vel
