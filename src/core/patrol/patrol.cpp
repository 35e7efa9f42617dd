#include "core/patrol/patrol.h"

#include <charconv>
#include <set>
#include <utility>

#include <sys/stat.h>

#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_plan.h"
#include "core/history/download_history.h"
#include "core/http/http_client.h"
#include "core/search/fetch_page.h"
#include "core/search/file_search.h"
#include "core/sitelist/site_list_commands.h"

namespace vel {

namespace {

int numberOf(std::string_view cell)
{
    int number = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), number);
    return error == std::errc() && end == cell.data() + cell.size() ? number : 0;
}

// The batch of one site, as the patrol sees it: its own status texts and
// progress stay unshown (the patrol shows the sites), its outcomes are counted.
class SiteBatchObserver final : public DownloadObserver {
public:
    explicit SiteBatchObserver(PatrolObserver& patrol)
        : m_patrol(patrol)
    {}

    void setStatusText(std::string_view) override {}
    void setProgressRange(int, int) override {}
    void setProgress(int) override {}
    // The only message is that nothing could be fetched: the entries count as failed.
    void showMessage(std::string_view) override {}
    void entryFailed(std::size_t) override { ++failed; }
    void entryEnded(std::size_t, EntryOutcome outcome) override
    {
        if (outcome == EntryOutcome::Stored)
            ++stored;
        else if (outcome == EntryOutcome::ServerBusy)
            ++busy;
    }
    bool cancelled() override { return m_patrol.cancelled(); }

    std::size_t stored = 0;
    std::size_t failed = 0;
    std::size_t busy = 0;

private:
    PatrolObserver& m_patrol;
};

// Everything one patrol keeps between its sites.
class PatrolRun {
public:
    PatrolRun(const PatrolRequest& request, HttpClient& client, Downloader& downloader,
              PatrolObserver& observer)
        : m_request(request)
        , m_client(client)
        , m_downloader(downloader)
        , m_observer(observer)
    {}

    SiteOutcome patrolSite(const PatrolSite& site, const std::string& folderName)
    {
        SiteOutcome outcome;
        FetchedPage page;
        outcome.verdict = fetchPageSource(m_client, site.url, page);
        if (outcome.verdict == PageFetchVerdict::Aborted || m_observer.cancelled()) {
            outcome.stopped = true;
            return outcome;
        }
        if (outcome.verdict != PageFetchVerdict::Page)
            return outcome;
        FileSearchResult found = searchFetchedPage(page.source, m_request.extension, site.url,
                                                   page.finalUrl, page.contentType);
        page.source = std::string();
        const EntrySource source{std::move(found.baseUrl), std::move(found.documentBase),
                                 found.charset};
        DownloadBatch batch;
        batch.items = newItems(planDownload(found.entries, source, m_request.codePageToUtf8));
        if (batch.items.empty() || m_observer.cancelled()) {
            outcome.stopped = m_observer.cancelled();
            return outcome;
        }
        const DirectoryHandle folder = siteFolder(folderName);
        if (!folder.valid()) {
            outcome.noFolder = true;
            outcome.failed = batch.items.size();
            return outcome;
        }
        batch.targetFolder = folder.get();
        batch.history = m_request.history;
        batch.folderPath = m_request.dateFolder + "/" + folderName;
        batch.dedupeContent = true;
        batch.recordTemplate.siteNumber = site.number;
        batch.recordTemplate.siteName = site.name;
        batch.recordTemplate.siteUrl = site.url;
        batch.recordTemplate.pageUrl = page.finalUrl;
        SiteBatchObserver counts(m_observer);
        m_downloader.downloadAll(batch, counts);
        outcome.stored = counts.stored;
        outcome.failed = counts.failed;
        outcome.busy = counts.busy;
        outcome.stopped = m_observer.cancelled();
        return outcome;
    }

private:
    // The entries to fetch: each URL once, none the history holds.
    std::vector<DownloadItem> newItems(std::vector<DownloadItem> planned) const
    {
        std::vector<DownloadItem> items;
        std::vector<std::string> urls;
        std::set<std::string> seen;
        for (DownloadItem& item : planned) {
            if (!item.url)
                continue;
            std::string key = historyKey(*item.url);
            if (!seen.insert(key).second)
                continue;
            urls.push_back(std::move(key));
            items.push_back(std::move(item));
        }
        if (!m_request.history || items.empty())
            return items;
        const std::vector<std::optional<HistoryRecord>> known = m_request.history->lookup(urls);
        std::vector<DownloadItem> unknown;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i >= known.size() || !known[i])
                unknown.push_back(std::move(items[i]));
        }
        return unknown;
    }

    // <date>/<site>/ in the download root, made when missing; the date folder is opened once.
    DirectoryHandle siteFolder(const std::string& name)
    {
        if (!m_dateFolder.valid()) {
            DownloadFolder date = openDownloadFolder(m_request.downloadRoot, m_request.dateFolder);
            if (!date.valid())
                return {};
            m_dateFolder = std::move(date.handle);
        }
        DirectoryHandle folder = DirectoryHandle::openAt(m_dateFolder.get(), name);
        if (!folder.valid() && ::mkdirat(m_dateFolder.get(), name.c_str(), 0777) == 0)
            folder = DirectoryHandle::openAt(m_dateFolder.get(), name);
        return folder;
    }

    const PatrolRequest& m_request;
    HttpClient& m_client;
    Downloader& m_downloader;
    PatrolObserver& m_observer;
    DirectoryHandle m_dateFolder;
};

}  // namespace

std::vector<PatrolSite> patrolSites(const SiteGrid& grid)
{
    std::vector<PatrolSite> sites;
    const int count = countSites(grid);
    for (int row = 1; row <= count; ++row) {
        const std::string& url = grid.cell(SiteGrid::kUrlColumn, row);
        if (url.empty())
            continue;
        sites.push_back({row, numberOf(grid.cell(SiteGrid::kNumberColumn, row)),
                         grid.cell(SiteGrid::kNameColumn, row), url});
    }
    return sites;
}

PatrolSummary runPatrol(const PatrolRequest& request, HttpClient& client, Downloader& downloader,
                        PatrolObserver& observer)
{
    PatrolSummary summary;
    try {
        const std::size_t total = request.sites.size();
        std::vector<std::string> names;
        names.reserve(total);
        for (const PatrolSite& site : request.sites)
            names.push_back(request.codePageToUtf8 ? request.codePageToUtf8(site.name) : site.name);
        const std::vector<std::string> folders = siteFolderNames(names);
        PatrolRun run(request, client, downloader, observer);
        for (std::size_t k = 0; k < total && !summary.stopped; ++k) {
            if (observer.cancelled()) {
                summary.stopped = true;
                break;
            }
            observer.siteStarted(k, total, names[k], patrolProgressText(k + 1, total, names[k]));
            SiteReport report{&request.sites[k], names[k], {}, {}};
            try {
                report.outcome = run.patrolSite(request.sites[k], folders[k]);
            } catch (...) {
                // Out of memory or the like: this site's page cannot be had.
                report.outcome = SiteOutcome{};
                report.outcome.verdict = PageFetchVerdict::OtherFailure;
            }
            const SiteOutcome& outcome = report.outcome;
            summary.stopped = outcome.stopped;
            ++summary.sitesDone;
            summary.newFiles += outcome.stored;
            summary.failures += outcome.failed;
            if (siteFailed(outcome)) {
                ++summary.failedSites;
                if (outcome.failed == 0)
                    ++summary.failures;
            }
            report.rowText = patrolRowText(outcome);
            observer.siteFinished(k, report);
        }
    } catch (...) {
        // Nothing reaches the caller; the closing report still follows.
    }
    try {
        observer.patrolFinished(summary,
                                summary.stopped
                                    ? std::string(kPatrolStoppedText)
                                    : patrolFinishedText(summary.newFiles, summary.failures));
    } catch (...) {
    }
    return summary;
}

}  // namespace vel
