#include "gui/download/download_runner.h"

#include <chrono>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

namespace vel {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// Lives on the worker thread; every call goes to the runner's thread.
class DownloadRunner::Observer final : public DownloadObserver {
public:
    explicit Observer(DownloadRunner* runner)
        : m_runner(runner)
    {
    }

    void setStatusText(std::string_view utf8Text) override
    {
        const QString text = fromUtf8(utf8Text);
        QMetaObject::invokeMethod(m_runner, [runner = m_runner, text] { emit runner->statusText(text); },
                                  Qt::QueuedConnection);
    }

    void setProgressRange(int minimum, int maximum) override
    {
        QMetaObject::invokeMethod(
            m_runner, [runner = m_runner, minimum, maximum] { emit runner->progressRange(minimum, maximum); },
            Qt::QueuedConnection);
    }

    void setProgress(int position) override
    {
        QMetaObject::invokeMethod(m_runner, [runner = m_runner, position] { emit runner->progress(position); },
                                  Qt::QueuedConnection);
    }

    void showMessage(std::string_view utf8Text) override
    {
        if (cancelled())
            return;
        const QString text = fromUtf8(utf8Text);
        QMetaObject::invokeMethod(
            m_runner,
            [runner = m_runner, text] {
                // The window may be closing by now: then nobody is left to answer.
                if (!runner->m_cancel && runner->m_showMessage)
                    runner->m_showMessage(text);
            },
            Qt::BlockingQueuedConnection);
    }

    bool cancelled() override { return m_runner->m_cancel.load(std::memory_order_relaxed); }

private:
    DownloadRunner* m_runner;
};

DownloadRunner::DownloadRunner(std::unique_ptr<Downloader> downloader, QObject* parent)
    : QObject(parent)
    , m_downloader(std::move(downloader))
{
}

DownloadRunner::~DownloadRunner()
{
    cancelAndWait();
}

bool DownloadRunner::start(DownloadBatch batch)
{
    if (m_running || !m_downloader)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_cancel = false;
    m_workerDone = false;
    try {
        m_thread = std::thread([this, batch = std::move(batch)] {
            Observer observer(this);
            try {
                m_downloader->DownloadAll(batch, observer);
            } catch (...) {
                // The batch reports its own failures; nothing may escape the worker.
            }
            m_workerDone = true;
            try {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (m_thread.joinable())
                            m_thread.join();
                        m_running = false;
                        emit finished();
                    },
                    Qt::QueuedConnection);
            } catch (...) {
                // Nothing can be told any more; cancelAndWait still sees us done.
            }
        });
    } catch (...) {
        m_workerDone = true;
        return false;
    }
    m_running = true;
    return true;
}

void DownloadRunner::cancelAndWait()
{
    m_cancel = true;
    // Reports the worker waits on (its message box) are answered meanwhile.
    while (!m_workerDone) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

}  // namespace vel
