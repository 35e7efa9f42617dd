#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>

#include "core/foundfiles/found_entry.h"
#include "core/search/fetch_page.h"
#include "core/search/file_search.h"

namespace vel {

class BackgroundJob;
class HttpClient;
class SiteGrid;

// The file search of the current site row, from the command to the list:
// fetches the row's page on a background job (the window stays usable while
// the network is slow), scans it there, and when it ends hands the entries to
// the found-files list, writes the outcome into the row that is current then
// and reports the status texts. It keeps the page source and the base URL of
// the last search.
class FileSearchController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileSearchController)

public:
    // Without a client no page is ever found. The grid outlives the controller.
    FileSearchController(std::unique_ptr<HttpClient> client, SiteGrid& grid,
                         QObject* parent = nullptr);
    ~FileSearchController() override;

    // Shows a message box and returns when it is closed (on the GUI thread).
    void setMessageBox(std::function<void(const QString&)> showMessage)
    {
        m_showMessage = std::move(showMessage);
    }
    // Replaces the found-files list with a search's entries.
    void setEntryList(std::function<void(std::vector<FoundEntry>, PageCharset)> showEntries)
    {
        m_showEntries = std::move(showEntries);
    }

    // A fetch runs (from the start of a search until its page has arrived).
    bool busy() const { return m_busy; }
    // The search command: stops a running search, or searches the current
    // row's site for files of `extension` (bytes, as chosen). A row without a
    // site starts nothing.
    void searchOrStop(std::string extension);
    // Ends a running fetch at once and waits for it; its result is dropped,
    // as is one held back.
    void abortAndWait();
    // While held (a batch download owns the list and the status bar), a
    // search that ends waits; releasing the hold finishes it.
    void setHeld(bool held);

    // The page of the last search (bytes as the server sent them).
    const std::string& pageSource() const { return m_pageSource; }
    // The URL the page of the last search finally came from.
    const std::string& pageUrl() const { return m_pageUrl; }
    // What the last search's entries resolve against and how they are read.
    const EntrySource& entrySource() const { return m_source; }

signals:
    void statusText(const QString& text);
    // A search started (true) or ended (false); the command stops it meanwhile.
    void runningChanged(bool running);

private:
    void searchCurrentSite(std::string extension);
    void stop();
    bool start(std::string url, std::string extension);
    void onJobFinished();
    void finish(PageFetchVerdict verdict);
    void showFound();
    void writeRowStatus(std::string_view utf8Text);

    std::unique_ptr<HttpClient> m_client;
    SiteGrid& m_grid;
    std::function<void(const QString&)> m_showMessage;
    std::function<void(std::vector<FoundEntry>, PageCharset)> m_showEntries;
    BackgroundJob* m_job = nullptr;
    bool m_busy = false;
    bool m_dropResult = false;
    bool m_held = false;
    // A search that ended while held.
    std::optional<PageFetchVerdict> m_pending;
    std::string m_pageSource;
    std::string m_pageUrl;
    EntrySource m_source;
    // Written by the job, read on the GUI thread once it has finished.
    std::mutex m_resultMutex;
    PageFetchVerdict m_verdict = PageFetchVerdict::OtherFailure;
    FetchedPage m_fetched;
    FileSearchResult m_scanned;
    // The last fetch's scan, until the search shows it.
    FileSearchResult m_found;
};

}  // namespace vel
