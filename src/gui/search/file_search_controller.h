#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

#include "core/foundfiles/found_entry.h"
#include "core/search/fetch_page.h"
#include "core/search/file_search.h"

namespace vel {

class BackgroundJob;
class HttpClient;

// The file search's state and life cycle: fetches a site's page on a
// background job (the window stays usable while the network is slow), keeps
// the page source and the base URL of the last search, and scans a fetched
// page into found-files entries.
class FileSearchController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileSearchController)

public:
    // Without a client no page is ever found.
    explicit FileSearchController(std::unique_ptr<HttpClient> client, QObject* parent = nullptr);
    ~FileSearchController() override;

    // A fetch runs (from start() until fetched() is emitted).
    bool busy() const { return m_busy; }
    // Starts fetching the page. False when one runs already (nothing changes)
    // or none could start (the page source is emptied); fetched() does not
    // follow then.
    bool start(std::string url, std::string extension);
    // Ends a running fetch at once and waits for it; its result is dropped.
    void abortAndWait();

    // Scans the fetched page for files of the search's extension; the base
    // URL is taken from the site row's URL as it reads now.
    std::vector<FoundEntry> searchFetchedPage(std::string_view rowUrl);
    // How many distinct entries the last search could not list (its bound).
    std::size_t leftOut() const { return m_leftOut; }

    // The page of the last search (bytes as the server sent them).
    const std::string& pageSource() const { return m_pageSource; }
    // Where the last fetch's page came from, after redirects (the URL asked
    // for when none was followed); empty before the first fetch ends.
    const std::string& finalUrl() const { return m_finalUrl; }
    // The Content-Type header of the last fetch's final answer; empty if none.
    const std::string& contentType() const { return m_contentType; }
    // The directory URL listed entries are joined to.
    const std::string& baseUrl() const { return m_source.baseUrl; }
    // What the last search's entries resolve against and how they are read.
    const EntrySource& entrySource() const { return m_source; }

signals:
    // The fetch ended; on a page its source is in pageSource().
    void fetched(vel::PageFetchVerdict verdict);

private:
    void onJobFinished();

    std::unique_ptr<HttpClient> m_client;
    BackgroundJob* m_job = nullptr;
    bool m_busy = false;
    bool m_dropResult = false;
    std::string m_extension;
    std::string m_pageSource;
    std::string m_finalUrl;
    std::string m_contentType;
    EntrySource m_source;
    // Written by the job, read on the GUI thread once it has finished.
    std::mutex m_resultMutex;
    PageFetchVerdict m_verdict = PageFetchVerdict::OtherFailure;
    FetchedPage m_fetched;
    FileSearchResult m_scanned;
    // The last fetch's scan, until the window takes it.
    FileSearchResult m_found;
    std::size_t m_leftOut = 0;
};

}  // namespace vel
