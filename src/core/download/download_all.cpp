#include "core/download/download_all.h"

#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "core/download/download_rules.h"

namespace vel {

CurlDownloader::CurlDownloader(DownloadOptions options)
    : m_options(std::move(options))
{}

std::string CurlDownloader::fileNameOf(std::string_view url) const
{
    const std::string name = localFileName(url);
    return m_options.fileNameFromCodePage ? m_options.fileNameFromCodePage(name) : name;
}

void CurlDownloader::DownloadAll(const DownloadBatch& batch, DownloadObserver& observer)
{
    try {
        observer.setStatusText(kDownloadingText);
        observer.setProgressRange(0, kProgressMaximum);
        observer.setProgress(0);
        const int step = downloadStep(batch.entries.size());

        CurlFetcher fetcher(m_options.limits);
        const std::function<bool()> cancelled = [&observer] { return observer.cancelled(); };
        int position = 0;
        for (const std::string& entry : batch.entries) {
            if (cancelled())
                break;
            const std::optional<std::string> url = downloadUrlOfEntry(entry, batch.baseUrl);
            if (!url)
                continue;
            EntryOutcome outcome = EntryOutcome::Failed;
            try {
                outcome = fetcher.fetch(*url, batch.targetFolder, fileNameOf(*url), cancelled);
            } catch (...) {
                // A failure inside one entry never ends the batch.
            }
            if (outcome == EntryOutcome::Cancelled)
                break;
            if (outcome == EntryOutcome::NoHandle)
                observer.showMessage(kNoInternetText);
            if (outcome == EntryOutcome::Failed && batch.targetFolder >= 0)
                ::unlinkat(batch.targetFolder, "temp.bin", 0);
            if (outcome != EntryOutcome::Stored && outcome != EntryOutcome::Failed)
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
        observer.setStatusText(kDownloadFinishedText);
        observer.setProgress(0);
    } catch (...) {
    }
}

}  // namespace vel
