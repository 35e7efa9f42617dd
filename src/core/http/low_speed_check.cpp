#include "core/http/low_speed_check.h"

namespace vel {

LowSpeedCheck::LowSpeedCheck(std::chrono::milliseconds window, std::size_t minBytes)
    : m_window(window)
    , m_minBytes(minBytes)
{}

LowSpeedCheck::Clock::duration LowSpeedCheck::elapsed(Clock::time_point now) const
{
    return m_running ? m_elapsedBefore + (now - m_resumedAt) : m_elapsedBefore;
}

void LowSpeedCheck::resume(Clock::time_point now)
{
    if (m_running)
        return;
    m_resumedAt = now;
    m_running = true;
}

void LowSpeedCheck::pause(Clock::time_point now)
{
    if (!m_running)
        return;
    m_elapsedBefore = elapsed(now);
    m_running = false;
}

void LowSpeedCheck::received(std::size_t bytes, Clock::time_point now)
{
    if (off() || bytes == 0)
        return;
    const Clock::duration at = elapsed(now);
    // What has left the window counts no more (bytes read after it ran short).
    while (!m_arrivals.empty() && m_arrivals.front().at + m_window <= at) {
        m_held -= m_arrivals.front().bytes;
        m_arrivals.pop_front();
    }
    m_arrivals.push_back({at, bytes});
    m_held += bytes;
    // Older arrivals no longer decide when the window runs short.
    while (m_held - m_arrivals.front().bytes >= m_minBytes) {
        m_held -= m_arrivals.front().bytes;
        m_arrivals.pop_front();
    }
}

LowSpeedCheck::Clock::duration LowSpeedCheck::due() const
{
    // Until enough has arrived, the first window counts from the start.
    return m_held >= m_minBytes ? m_arrivals.front().at + m_window : m_window;
}

LowSpeedCheck::Clock::time_point LowSpeedCheck::deadline(Clock::time_point now) const
{
    if (off())
        return Clock::time_point::max();
    return now + (due() - elapsed(now));
}

}  // namespace vel
