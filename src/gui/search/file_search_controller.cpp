#include "gui/search/file_search_controller.h"

#include <utility>

#include "core/http/http_client.h"
#include "core/search/base_url.h"
#include "core/search/file_search.h"
#include "core/sitelist/site_grid.h"
#include "gui/common/background_job.h"
#include "gui/common/qt_text.h"

namespace vel {

namespace {

const QString kIdle = QStringLiteral("待機中");
const QString kConnecting = QStringLiteral("ホストに接続しています");
const QString kConnected = QStringLiteral("接続しました");
const QString kSearching = QStringLiteral("ファイルを検索しています");

}  // namespace

FileSearchController::FileSearchController(std::unique_ptr<HttpClient> client, SiteGrid& grid,
                                           QObject* parent)
    : QObject(parent)
    , m_client(std::move(client))
    , m_grid(grid)
    , m_job(new BackgroundJob(this))
{
    connect(m_job, &BackgroundJob::finished, this, &FileSearchController::onJobFinished);
}

FileSearchController::~FileSearchController()
{
    abortAndWait();
}

void FileSearchController::searchOrStop(std::string extension)
{
    if (m_busy)
        stop();
    else
        searchCurrentSite(std::move(extension));
}

void FileSearchController::searchCurrentSite(std::string extension)
{
    const int row = m_grid.currentRow();
    if (m_grid.cell(SiteGrid::kNumberColumn, row).empty()) {
        emit statusText(kIdle);
        return;
    }
    emit statusText(kConnecting);
    emit runningChanged(true);
    if (!start(m_grid.cell(SiteGrid::kUrlColumn, row), std::move(extension)))
        finish(PageFetchVerdict::OtherFailure);
}

void FileSearchController::stop()
{
    abortAndWait();
    emit runningChanged(false);
    emit statusText(kIdle);
}

bool FileSearchController::start(std::string url, std::string extension)
{
    if (m_busy)
        return false;
    m_pageSource.clear();
    m_pageUrl.clear();
    if (!m_client)
        return false;
    m_dropResult = false;
    m_client->resetAbort();
    // The page is scanned here too, so a page of a million links never holds
    // up the window.
    const bool started =
        m_job->start([this, url = std::move(url), extension = std::move(extension)] {
            FetchedPage page;
            FileSearchResult scanned;
            PageFetchVerdict verdict = PageFetchVerdict::OtherFailure;
            try {
                verdict = fetchPageSource(*m_client, url, page);
                // A stop during the scan ends it too, so stopping never waits
                // for a big page to be read to its end.
                if (verdict == PageFetchVerdict::Page)
                    scanned = scanFetchedPage(page.source, extension, page.finalUrl,
                                              page.contentType, kMaxFoundEntries,
                                              [this] { return m_client->aborted(); });
                if (m_client->aborted())
                    verdict = PageFetchVerdict::Aborted;
            } catch (...) {
                // Out of memory or the like: the page cannot be had.
                page = FetchedPage{};
                scanned = FileSearchResult{};
                verdict = PageFetchVerdict::OtherFailure;
            }
            const std::lock_guard lock(m_resultMutex);
            m_verdict = verdict;
            m_fetched = std::move(page);
            m_scanned = std::move(scanned);
        });
    m_busy = started;
    return started;
}

void FileSearchController::abortAndWait()
{
    m_pending.reset();
    if (!m_busy)
        return;
    m_dropResult = true;
    if (m_client)
        m_client->abort();
    m_job->wait();
    m_busy = false;
}

void FileSearchController::setHeld(bool held)
{
    m_held = held;
    if (!m_held && m_pending) {
        const PageFetchVerdict verdict = *m_pending;
        m_pending.reset();
        finish(verdict);
    }
}

void FileSearchController::onJobFinished()
{
    m_busy = false;
    PageFetchVerdict verdict;
    {
        const std::lock_guard lock(m_resultMutex);
        verdict = m_verdict;
        m_pageSource = std::move(m_fetched.source);
        m_pageUrl = std::move(m_fetched.finalUrl);
        m_fetched = FetchedPage{};
        m_found = std::move(m_scanned);
        m_scanned = FileSearchResult{};
    }
    if (!m_dropResult)
        finish(verdict);
}

void FileSearchController::finish(PageFetchVerdict verdict)
{
    // A batch download owns the status bar until it ends; the search goes on
    // after it.
    if (m_held) {
        m_pending = verdict;
        return;
    }
    emit runningChanged(false);
    if (verdict == PageFetchVerdict::Page) {
        showFound();
        return;
    }
    const std::optional<FetchFailureTexts> failure = fetchFailureTexts(verdict);
    if (!failure)
        return;
    if (m_showMessage)
        m_showMessage(fromUtf8(failure->message));
    writeRowStatus(failure->rowStatus);
    emit statusText(kIdle);
}

void FileSearchController::showFound()
{
    emit statusText(kConnected);
    emit statusText(kSearching);
    // The base URL follows the row that is current now, which the user may
    // have changed meanwhile.
    FileSearchResult found = std::move(m_found);
    m_found = FileSearchResult{};
    m_source = {deriveBaseUrl(m_grid.cell(SiteGrid::kUrlColumn, m_grid.currentRow())),
                std::move(found.documentBase), found.charset};
    const std::size_t count = found.entries.size();
    if (m_showEntries)
        m_showEntries(std::move(found.entries), m_source.charset);
    writeRowStatus(foundFilesStatusText(count, found.leftOut));
    emit statusText(kIdle);
}

void FileSearchController::writeRowStatus(std::string_view utf8Text)
{
    m_grid.setCell(SiteGrid::kStatusColumn, m_grid.currentRow(), fromQString(fromUtf8(utf8Text)));
}

}  // namespace vel
