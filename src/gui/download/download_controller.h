#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>

#include "core/download/browser_cookies.h"
#include "core/download/download_root.h"
#include "core/foundfiles/found_entry.h"
#include "core/history/download_history.h"
#include "core/io/directory_handle.h"

namespace vel {

class BackgroundJob;
class Downloader;
class PictureCache;

// What a batch tells the download history and asks of it.
struct DownloadHistoryChoice {
    // The site row and page the entries came from (see DownloadBatch).
    HistoryRecord recordTemplate;
    // Entries the history holds are not fetched, and files whose bytes it
    // holds are not stored again.
    bool skipFetched = false;
};

// The batch download's life cycle: plans the batch (URLs and local names) and
// opens the target folder on the GUI thread, runs the batch on a background
// job and brings its reports back: status text, progress and failed entries
// as they happen, a message box while the batch waits for it.
class DownloadController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadController)

public:
    // Without a downloader nothing is ever downloaded.
    explicit DownloadController(std::unique_ptr<Downloader> downloader, QObject* parent = nullptr);
    ~DownloadController() override;

    // Shows a message box and returns when it is closed (on the GUI thread).
    void setMessageBox(std::function<void(const QString&)> showMessage)
    {
        m_showMessage = std::move(showMessage);
    }

    enum class StartResult {
        Started,
        NotStarted,  // one runs, no downloader, or no thread
        NoFolder,  // the date folder cannot be made or entered: nothing is written
    };

    bool running() const { return m_running; }

    // The download history every batch records into, and asks with
    // DownloadHistoryChoice::skipFetched; none: nothing is recorded.
    void setHistory(std::shared_ptr<DownloadHistory> history) { m_history = std::move(history); }
    // Bodies fetched earlier in the run, which batches store instead of
    // asking again (see DownloadBatch::pictureCache); it must outlive them.
    void setPictureCache(PictureCache* cache) { m_pictureCache = cache; }

    // Downloads the entries (the found-files list, in list order, from the
    // search that `source` describes) into the date folder `dateFolder` of
    // `root` (see openDownloadFolder). Local names in the code
    // page are turned into the file system's UTF-8. With `skipExisting` an
    // entry whose name is taken in the folder is not fetched. Entries collected
    // from the page shown carry that page as referrer and the matching ones of
    // `browserCookies` (the browser's, now). Unless Started, nothing is
    // reported and no file is touched.
    StartResult start(const std::vector<FoundEntry>& entries, const EntrySource& source,
                      const DownloadRoot& root, const std::string& dateFolder,
                      bool skipExisting = false,
                      const std::vector<BrowserCookie>& browserCookies = {},
                      const DownloadHistoryChoice& historyChoice = {});
    // Asks the batch to stop without waiting: it ends its transfers at once
    // and reports as usual, finished() included; a message box it waits on
    // is given up.
    void requestStop();
    // Stops the batch at once and waits for it; a message box it waits on is
    // given up.
    void cancelAndWait();

    // The rows of the entries the last batch did not store, in list order;
    // cleared when a batch starts.
    const std::vector<int>& failedEntries() const { return m_failedEntries; }

signals:
    void statusText(const QString& text);
    void progressRange(int minimum, int maximum);
    void progress(int position);
    void finished();

private:
    class Observer;

    void onJobFinished();
    void answerMessage();

    std::unique_ptr<Downloader> m_downloader;
    std::shared_ptr<DownloadHistory> m_history;
    PictureCache* m_pictureCache = nullptr;
    std::function<void(const QString&)> m_showMessage;
    BackgroundJob* m_job = nullptr;
    DirectoryHandle m_targetFolder;
    std::vector<int> m_failedEntries;
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    // The batch waits here while its message box is up.
    std::mutex m_messageMutex;
    std::condition_variable m_messageAnswered;
    bool m_messagePending = false;
};

}  // namespace vel
