#include "gui/common/background_job.h"

#include <utility>

#include <QThread>

namespace vel {

BackgroundJob::BackgroundJob(QObject* parent)
    : QObject(parent)
{}

BackgroundJob::~BackgroundJob()
{
    wait();
    delete m_thread;
}

bool BackgroundJob::start(std::function<void()> work)
{
    if (m_running)
        return false;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    try {
        m_thread = QThread::create([work = std::move(work)] {
            try {
                work();
            } catch (...) {
                // The work reports its own failures; nothing may end the thread.
            }
        });
    } catch (...) {
        return false;
    }
    if (!m_thread)
        return false;
    const unsigned generation = ++m_generation;
    connect(
        m_thread, &QThread::finished, this, [this, generation] { onThreadFinished(generation); },
        Qt::QueuedConnection);
    m_running = true;
    m_thread->start();
    if (!m_thread->isRunning() && m_thread->isFinished() == false) {
        // The system gave no thread: nothing ran, nothing will be reported.
        disconnect(m_thread, nullptr, this, nullptr);
        delete m_thread;
        m_thread = nullptr;
        m_running = false;
        return false;
    }
    return true;
}

void BackgroundJob::wait()
{
    if (m_thread)
        m_thread->wait();
    m_running = false;
}

void BackgroundJob::onThreadFinished(unsigned generation)
{
    if (!m_running || generation != m_generation)
        return;
    m_running = false;
    emit finished();
}

}  // namespace vel
