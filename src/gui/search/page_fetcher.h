#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <QObject>

#include "core/search/fetch_page.h"

namespace vel {

class HttpClient;

// Runs page fetches on a worker thread so the window stays usable while the
// network is slow; the result comes back on the window's thread.
class PageFetcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageFetcher)

public:
    explicit PageFetcher(std::unique_ptr<HttpClient> client, QObject* parent = nullptr);
    ~PageFetcher() override;

    bool busy() const { return m_busy; }
    // Starts a fetch. False when none could start (one runs already, no
    // client, or no thread to be had); no result will come then.
    bool start(std::string url);
    // Ends a running fetch at once and waits for its thread.
    void abortAndWait();

signals:
    void finished(vel::PageFetchVerdict verdict, std::shared_ptr<std::string> pageSource);

private:
    std::unique_ptr<HttpClient> m_client;
    std::thread m_thread;
    bool m_busy = false;
};

}  // namespace vel
