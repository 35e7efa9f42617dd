#include "gui/search/file_search_controller.h"

#include <utility>

#include "core/http/http_client.h"
#include "core/search/base_url.h"
#include "core/search/file_search.h"
#include "gui/common/background_job.h"

namespace vel {

FileSearchController::FileSearchController(std::unique_ptr<HttpClient> client, QObject* parent)
    : QObject(parent)
    , m_client(std::move(client))
    , m_job(new BackgroundJob(this))
{
    connect(m_job, &BackgroundJob::finished, this, &FileSearchController::onJobFinished);
}

FileSearchController::~FileSearchController()
{
    abortAndWait();
}

bool FileSearchController::start(std::string url, std::string extension)
{
    if (m_busy)
        return false;
    m_pageSource.clear();
    m_finalUrl.clear();
    m_contentType.clear();
    if (!m_client)
        return false;
    m_extension = std::move(extension);
    m_dropResult = false;
    m_client->resetAbort();
    // The page is scanned here too, so a page of a million links never holds
    // up the window.
    const bool started = m_job->start([this, url = std::move(url), extension = m_extension] {
        FetchedPage page;
        FileSearchResult scanned;
        PageFetchVerdict verdict = PageFetchVerdict::OtherFailure;
        try {
            verdict = fetchPageSource(*m_client, url, page);
            if (verdict == PageFetchVerdict::Page)
                scanned = scanFetchedPage(page.source, extension, page.finalUrl, page.contentType);
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
    if (!m_busy)
        return;
    m_dropResult = true;
    if (m_client)
        m_client->abort();
    m_job->wait();
    m_busy = false;
}

void FileSearchController::onJobFinished()
{
    m_busy = false;
    PageFetchVerdict verdict;
    {
        const std::lock_guard lock(m_resultMutex);
        verdict = m_verdict;
        m_pageSource = std::move(m_fetched.source);
        m_finalUrl = std::move(m_fetched.finalUrl);
        m_contentType = std::move(m_fetched.contentType);
        m_fetched = FetchedPage{};
        m_found = std::move(m_scanned);
        m_scanned = FileSearchResult{};
    }
    if (m_dropResult)
        return;
    emit fetched(verdict);
}

std::vector<FoundEntry> FileSearchController::searchFetchedPage(std::string_view rowUrl)
{
    FileSearchResult result = std::move(m_found);
    m_found = FileSearchResult{};
    m_source = {DeriveBaseUrl(rowUrl), std::move(result.documentBase), result.charset};
    m_leftOut = result.leftOut;
    return std::move(result.entries);
}

}  // namespace vel
