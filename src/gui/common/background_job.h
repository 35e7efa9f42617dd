#pragma once

#include <functional>

#include <QObject>

class QThread;

namespace vel {

// Runs one piece of work at a time on a thread of its own and says when it is
// done. The work must not wait for the GUI thread: wait() blocks it until the
// work returns, without running its event loop.
class BackgroundJob final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackgroundJob)

public:
    explicit BackgroundJob(QObject* parent = nullptr);
    // Waits for the work still running.
    ~BackgroundJob() override;

    // False when work runs already or no thread could be had; the work does
    // not run then and finished() does not follow.
    bool start(std::function<void()> work);
    // True from start() until finished() is emitted or wait() returns.
    bool running() const { return m_running; }
    // Blocks until the work has returned; the job is then free for the next
    // piece of work, and finished() does not follow for this one.
    void wait();

signals:
    // The work has returned (emitted on the job's thread).
    void finished();

private:
    void onThreadFinished(unsigned generation);

    QThread* m_thread = nullptr;
    bool m_running = false;
    // Tells a late report of an earlier piece of work from the current one's.
    unsigned m_generation = 0;
};

}  // namespace vel
