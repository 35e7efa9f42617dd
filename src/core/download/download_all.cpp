#include "core/download/download_all.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/download/download_rules.h"

namespace vel {

CurlDownloader::CurlDownloader(DownloadOptions options)
    : m_options(std::move(options))
{}

void CurlDownloader::DownloadAll(const DownloadBatch& batch, DownloadObserver& observer)
{
    std::size_t failures = 0;
    try {
        observer.setStatusText(kDownloadingText);
        observer.setProgressRange(0, kProgressMaximum);
        observer.setProgress(0);
        const int step = downloadStep(batch.items.size());

        CurlFetcher fetcher(m_options.limits);
        const std::function<bool()> cancelled = [&observer] { return observer.cancelled(); };
        int position = 0;
        for (std::size_t index = 0; index < batch.items.size(); ++index) {
            if (cancelled())
                break;
            const DownloadItem& item = batch.items[index];
            if (!item.url)
                continue;
            EntryOutcome outcome = EntryOutcome::Failed;
            try {
                outcome = fetcher.fetch(*item.url, batch.targetFolder, item.fileName, cancelled);
            } catch (...) {
                // A failure inside one entry never ends the batch.
            }
            if (outcome == EntryOutcome::Cancelled)
                break;
            if (outcome == EntryOutcome::NoHandle)
                observer.showMessage(kNoInternetText);
            if (isFailedEntry(outcome)) {
                ++failures;
                observer.entryFailed(index);
            }
            if (!entryTakesStep(outcome))
                continue;
            if (const std::optional<int> next = progressAfterStep(position, step)) {
                position = *next;
                observer.setProgress(position);
            }
        }
    } catch (...) {
        // Nothing reaches the caller; the closing report still follows.
    }
    try {
        observer.setStatusText(downloadFinishedText(failures));
        observer.setProgress(0);
    } catch (...) {
    }
}

}  // namespace vel
