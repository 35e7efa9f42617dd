#pragma once

#include <atomic>
#include <memory>
#include <utility>

#include <QObject>
#include <QString>

#include "core/patrol/patrol.h"

namespace vel {

class BackgroundJob;
class DownloadHistory;
class Downloader;
class HttpClient;

// The patrol's life cycle in the window: runs the patrol over the site list
// on a background job with its own page fetch and batch download, and brings
// its reports to the GUI thread as they happen.
class PatrolController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PatrolController)

public:
    // Without a client or a downloader no patrol ever starts.
    PatrolController(std::unique_ptr<HttpClient> client, std::unique_ptr<Downloader> downloader,
                     QObject* parent = nullptr);
    ~PatrolController() override;

    // Where the patrol finds the URLs already fetched and records what it
    // stores; none means every entry is new.
    void setHistory(std::shared_ptr<DownloadHistory> history) { m_history = std::move(history); }

    bool running() const { return m_running; }
    // Starts the patrol (its history is the one set here). False when one runs already, there is
    // nothing to patrol with, or no thread could be had; nothing is reported then.
    bool start(PatrolRequest request);
    // Ends the patrol at once without waiting: the fetch is aborted, the
    // batch stops; finished() follows as usual.
    void requestStop();
    // The same, and waits for the patrol to end; finished() does not follow.
    void stopAndWait();

signals:
    // A site's patrol begins: the bar follows the sites (0-based position).
    void siteStarted(int position, int total, const QString& statusText);
    // The 状態 text of the site row `row` of the grid.
    void rowText(int row, const QString& text);
    void finished(const QString& statusText);

private:
    class Observer;

    void onJobFinished();

    std::unique_ptr<HttpClient> m_client;
    std::unique_ptr<Downloader> m_downloader;
    std::shared_ptr<DownloadHistory> m_history;
    BackgroundJob* m_job = nullptr;
    PatrolRequest m_request;
    bool m_running = false;
    std::atomic<bool> m_stop{false};
    // Written by the job just before it returns.
    QString m_closingText;
};

}  // namespace vel
