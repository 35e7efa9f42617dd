#include "gui/patrol/patrol_controller.h"

#include <string_view>
#include <utility>

#include <QMetaObject>

#include "core/download/download_all.h"
#include "core/http/http_client.h"
#include "gui/common/background_job.h"
#include "gui/common/qt_text.h"

namespace vel {

// Lives on the patrol's thread; every report is posted to the controller's.
class PatrolController::Observer final : public PatrolObserver {
public:
    explicit Observer(PatrolController* controller)
        : m_controller(controller)
    {}

    void siteStarted(std::size_t position, std::size_t total, std::string_view,
                     std::string_view statusText) override
    {
        post([position = static_cast<int>(position), total = static_cast<int>(total),
              text = fromUtf8(statusText)](PatrolController* c) {
            emit c->siteStarted(position, total, text);
        });
    }

    void siteFinished(std::size_t, const SiteReport& report) override
    {
        if (!report.rowText || !report.site)
            return;
        post([row = report.site->row, text = fromUtf8(*report.rowText)](PatrolController* c) {
            emit c->rowText(row, text);
        });
    }

    void patrolFinished(const PatrolSummary&, std::string_view statusText) override
    {
        m_controller->m_closingText = fromUtf8(statusText);
    }

    bool cancelled() override { return m_controller->m_stop.load(std::memory_order_relaxed); }

private:
    template <typename Report>
    void post(Report report)
    {
        PatrolController* c = m_controller;
        QMetaObject::invokeMethod(
            c, [c, report = std::move(report)] { report(c); }, Qt::QueuedConnection);
    }

    PatrolController* m_controller;
};

PatrolController::PatrolController(std::unique_ptr<HttpClient> client,
                                   std::unique_ptr<Downloader> downloader, QObject* parent)
    : QObject(parent)
    , m_client(std::move(client))
    , m_downloader(std::move(downloader))
    , m_job(new BackgroundJob(this))
{
    connect(m_job, &BackgroundJob::finished, this, &PatrolController::onJobFinished);
}

PatrolController::~PatrolController()
{
    stopAndWait();
}

bool PatrolController::start(PatrolRequest request)
{
    if (m_running || !m_client || !m_downloader)
        return false;
    m_stop = false;
    m_client->resetAbort();
    m_request = std::move(request);
    m_request.history = m_history.get();
    m_closingText.clear();
    m_running = m_job->start([this] {
        Observer observer(this);
        runPatrol(m_request, *m_client, *m_downloader, observer);
    });
    return m_running;
}

void PatrolController::requestStop()
{
    m_stop = true;
    if (m_client)
        m_client->abort();
}

void PatrolController::stopAndWait()
{
    if (!m_running)
        return;
    requestStop();
    m_job->wait();
    m_running = false;
}

void PatrolController::onJobFinished()
{
    m_running = false;
    emit finished(m_closingText);
}

}  // namespace vel
