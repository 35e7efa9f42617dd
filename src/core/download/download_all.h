#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/curl_transfer.h"
#include "core/download/download_plan.h"
#include "core/download/download_rules.h"
#include "core/history/download_history.h"
#include "core/pictures/picture_cache.h"

namespace vel {

// What the batch reports to the window. downloadAll runs on a worker thread
// and calls these there; the window marshals each call to the GUI thread.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;

    // Status panel 0: how many entries are done while the batch runs, then
    // how it ended.
    virtual void setStatusText(std::string_view utf8Text) = 0;
    // The bar counts entries done out of all of them, and goes back to 0 at the end.
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgress(int position) = 0;
    // A modal message box with an OK button; returns once the user closed it.
    virtual void showMessage(std::string_view utf8Text) = 0;
    // The item at `index` of the batch was not stored (see isFailedEntry);
    // reported once per failed item, in batch order, before the closing status.
    virtual void entryFailed(std::size_t index) = 0;
    // The item at `index` ended this way; reported once per item as it ends,
    // in whatever order they end.
    virtual void entryEnded(std::size_t index, EntryOutcome outcome)
    {
        static_cast<void>(index);
        static_cast<void>(outcome);
    }
    // Asked between the batch's reads and several times a second while every
    // server is silent; true stops the batch. Must be cheap and safe to call
    // from the worker thread.
    virtual bool cancelled() = 0;
};

// One batch's inputs, read when "OK" is pressed.
struct DownloadBatch {
    // One per found-files entry, in list order (see planDownload).
    std::vector<DownloadItem> items;
    // The folder the files go into (see openDownloadFolder): a directory
    // descriptor the caller owns and keeps open until downloadAll returns.
    // With -1 no file can be created, and every fetched entry fails.
    int targetFolder = -1;
    // An entry whose local name is already taken in the folder is not
    // requested at all, and counts as done.
    bool skipExisting = false;
    // The browser's cookies when the batch was planned, held in memory only: an
    // item sent as the browser would send it (DownloadItem::asBrowser) follows
    // each redirect with the cookies of the URL it points to, so a cookie never
    // reaches a host, path or scheme it was not set for.
    std::vector<BrowserCookie> browserCookies;
    std::chrono::sys_seconds now{};

    // The download history, or none. Every file the batch puts in place is
    // recorded right after its rename, before it counts as done: a batch
    // killed in between leaves a file the history does not know (fetched
    // again next time), never a record without its file. Failed entries are
    // never recorded.
    DownloadHistory* history = nullptr;
    // Where targetFolder lies in the download folder ("20261208" or
    // "20261208/<site>"): a record's localPath is "<folderPath>/<name>". The
    // folder as many levels above targetFolder is the download folder, where
    // content dedupe finds the files recorded.
    std::string folderPath;
    // What every record of the batch holds besides its file: the site row and
    // the page the entries were found on.
    HistoryRecord recordTemplate;
    // Entries whose URL the history holds are not requested (AlreadyFetched).
    bool skipFetched = false;
    // A complete body with the size and SHA-256 of a recorded file that is
    // still there with them is not stored again (SameContent): the history
    // records the entry's URL against that file.
    bool dedupeContent = false;
    // Bodies fetched earlier in the run (for thumbnails), or none. An entry
    // whose URL it holds is stored from there, byte for byte as its server
    // sent it, instead of being asked for again: under a temporary name,
    // renamed when complete and recorded like any file the batch stores.
    PictureCache* pictureCache = nullptr;
};

struct DownloadOptions {
    FetchLimits limits;
    TlsTrust trust = tlsTrustFromEnvironment();
    // Transfers at once, all to one host at most (each on its own kept connection).
    int parallelTransfers = 4;
    // Entries that may succeed when asked once more (busy server, dropped
    // connection, time-out) wait without holding a transfer's place.
    RetryLimits retry;
};

// The batch download, as the window sees it; tests of the window hand in
// their own.
class Downloader {
public:
    virtual ~Downloader() = default;
    virtual void downloadAll(const DownloadBatch& batch, DownloadObserver& observer) = 0;
};

// Fetches every item into the batch's target folder, relative to its
// descriptor: the process's current directory is neither used nor changed.
// Several entries are fetched at once through one libcurl multi handle, yet
// what ends up on disk is what fetching the list in order leaves: of entries
// sharing a local name the last one stored keeps the name, and with
// skipExisting an entry waits until an earlier one of its name is done. Each
// failed item is reported, and the closing status counts them
// (downloadFinishedText). A stop ends every transfer at once, removes their
// temporary files, keeps the files already complete and ends with
// kDownloadStoppedText. Raises nothing: a batch cut short by an error (one
// of the observer's calls throwing, memory running out) reports every entry
// it did not store as failed.
class CurlDownloader final : public Downloader {
public:
    explicit CurlDownloader(DownloadOptions options = {});

    void downloadAll(const DownloadBatch& batch, DownloadObserver& observer) override;

private:
    DownloadOptions m_options;
};

}  // namespace vel
