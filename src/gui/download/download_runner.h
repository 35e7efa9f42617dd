#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <QObject>
#include <QString>

#include "core/download/download_all.h"

namespace vel {

// Runs a batch download on a worker thread and brings its reports back to the
// window's thread: status text and progress as they happen, the message box
// while the worker waits for it to be closed.
class DownloadRunner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRunner)

public:
    DownloadRunner(std::unique_ptr<Downloader> downloader, QObject* parent = nullptr);
    ~DownloadRunner() override;

    bool running() const { return m_running; }
    // Shows a message box and returns when it is closed (on the window's thread).
    void setMessageBox(std::function<void(const QString&)> showMessage)
    {
        m_showMessage = std::move(showMessage);
    }

    // False when no batch could start (one runs already, no downloader, or no
    // thread to be had); nothing is reported then.
    bool start(DownloadBatch batch);
    // Stops the batch at its next read and waits for the worker, keeping the
    // window's events flowing so a pending report cannot hold it up.
    void cancelAndWait();

signals:
    void statusText(const QString& text);
    void progressRange(int minimum, int maximum);
    void progress(int position);
    void finished();

private:
    class Observer;

    std::unique_ptr<Downloader> m_downloader;
    std::function<void(const QString&)> m_showMessage;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_workerDone{true};
    bool m_running = false;
};

}  // namespace vel
