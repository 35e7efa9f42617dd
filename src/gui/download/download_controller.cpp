#include "gui/download/download_controller.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include <QMetaObject>

#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_plan.h"
#include "gui/common/background_job.h"
#include "gui/common/qt_text.h"

namespace vel {

// Lives on the batch's thread; every report is posted to the controller's.
class DownloadController::Observer final : public DownloadObserver {
public:
    explicit Observer(DownloadController* controller)
        : m_controller(controller)
    {}

    void setStatusText(std::string_view utf8Text) override
    {
        post([text = fromUtf8(utf8Text)](DownloadController* c) { emit c->statusText(text); });
    }

    void setProgressRange(int minimum, int maximum) override
    {
        post(
            [minimum, maximum](DownloadController* c) { emit c->progressRange(minimum, maximum); });
    }

    void setProgress(int position) override
    {
        post([position](DownloadController* c) { emit c->progress(position); });
    }

    void showMessage(std::string_view utf8Text) override
    {
        DownloadController* c = m_controller;
        std::unique_lock lock(c->m_messageMutex);
        if (cancelled())
            return;
        c->m_messagePending = true;
        post([text = fromUtf8(utf8Text)](DownloadController* controller) {
            if (!controller->m_cancel && controller->m_showMessage)
                controller->m_showMessage(text);
            controller->answerMessage();
        });
        // A cancel answers for the user, so a closing window never waits on us.
        c->m_messageAnswered.wait(lock, [c] { return !c->m_messagePending || c->m_cancel; });
    }

    void entryFailed(std::size_t index) override
    {
        post([row = static_cast<int>(index)](DownloadController* c) {
            c->m_failedEntries.push_back(row);
        });
    }

    bool cancelled() override { return m_controller->m_cancel.load(std::memory_order_relaxed); }

private:
    template <typename Report>
    void post(Report report)
    {
        DownloadController* c = m_controller;
        QMetaObject::invokeMethod(
            c, [c, report = std::move(report)] { report(c); }, Qt::QueuedConnection);
    }

    DownloadController* m_controller;
};

DownloadController::DownloadController(std::unique_ptr<Downloader> downloader, QObject* parent)
    : QObject(parent)
    , m_downloader(std::move(downloader))
    , m_job(new BackgroundJob(this))
{
    connect(m_job, &BackgroundJob::finished, this, &DownloadController::onJobFinished);
}

DownloadController::~DownloadController()
{
    cancelAndWait();
}

DownloadController::StartResult
DownloadController::start(const std::vector<FoundEntry>& entries, const EntrySource& source,
                          const DownloadRoot& root, const std::string& dateFolder,
                          bool skipExisting, const std::vector<BrowserCookie>& browserCookies,
                          const DownloadHistoryChoice& historyChoice)
{
    if (m_running || !m_downloader)
        return StartResult::NotStarted;
    // The folder is found and made here, so the batch never resolves a name
    // against the process's current directory. Without it the batch does not
    // start: the files would otherwise land beside the program's own.
    DownloadFolder folder = openDownloadFolder(root, dateFolder);
    if (!folder.valid())
        return StartResult::NoFolder;
    m_cancel = false;
    m_failedEntries.clear();
    m_targetFolder = std::move(folder.handle);
    DownloadBatch batch;
    // A name in the code page is stored as its characters (UTF-8).
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    batch.items = planDownload(
        entries, source, [](std::string_view name) { return toQString(name).toStdString(); },
        browserCookies, now);
    batch.browserCookies = browserCookies;
    batch.now = now;
    batch.targetFolder = m_targetFolder.get();
    batch.skipExisting = skipExisting;
    batch.history = m_history.get();
    batch.folderPath = dateFolder;
    batch.recordTemplate = historyChoice.recordTemplate;
    batch.skipFetched = historyChoice.skipFetched;
    batch.dedupeContent = historyChoice.skipFetched;
    batch.pictureCache = m_pictureCache;
    // The job keeps the history alive until the batch is over.
    const bool started = m_job->start([this, batch = std::move(batch), history = m_history] {
        Observer observer(this);
        m_downloader->downloadAll(batch, observer);
    });
    if (!started)
        m_targetFolder = DirectoryHandle();
    m_running = started;
    return started ? StartResult::Started : StartResult::NotStarted;
}

void DownloadController::answerMessage()
{
    {
        const std::lock_guard lock(m_messageMutex);
        m_messagePending = false;
    }
    m_messageAnswered.notify_all();
}

void DownloadController::requestStop()
{
    {
        const std::lock_guard lock(m_messageMutex);
        m_cancel = true;
    }
    m_messageAnswered.notify_all();
}

void DownloadController::cancelAndWait()
{
    requestStop();
    m_job->wait();
    m_targetFolder = DirectoryHandle();
    m_running = false;
}

void DownloadController::onJobFinished()
{
    m_targetFolder = DirectoryHandle();
    m_running = false;
    emit finished();
}

}  // namespace vel
