#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>

#include "core/foundfiles/found_entry.h"
#include "gui/browser/browser_pane.h"

class QTimer;

namespace vel {

// What a search of the page shown ended with: the entries to add to the list
// (none unless the page was read) and the status text to show.
struct LiveSearchResult {
    std::vector<FoundEntry> entries;
    QString statusText;
};

// Searches the page the browser shows: asks the pane for the page's URLs,
// keeps those of the chosen extension that the list does not hold yet, and
// reports them. The window stays usable meanwhile; a page that never answers
// ends the search after a while.
class LiveSearchController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LiveSearchController)

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{15000};

    // `listed` gives the list's entries as they are when the page answers.
    LiveSearchController(BrowserPane* browser,
                         std::function<const std::vector<FoundEntry>&()> listed,
                         QObject* parent = nullptr);

    // A search runs (from start() until finished() is emitted).
    bool busy() const { return m_busy; }
    // Starts a search for files of the extension (bytes, as chosen). False
    // when one runs already or there is no browser; finished() follows
    // otherwise, exactly once.
    bool start(std::string extension);
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

signals:
    void finished(const vel::LiveSearchResult& result);

private:
    void onCollected(std::uint64_t search, const PageResources& resources);
    void onTimeout();
    void finish(LiveSearchResult result);

    QPointer<BrowserPane> m_browser;
    std::function<const std::vector<FoundEntry>&()> m_listed;
    QTimer* m_timer = nullptr;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    bool m_busy = false;
    // Tells a late answer from the search that waits.
    std::uint64_t m_search = 0;
    std::string m_extension;
    std::string m_pageUrl;
};

}  // namespace vel
