#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace vel {

// Tells a fetch that comes too slowly: fewer than `minBytes` within some span
// of `window` spent waiting for answers. Its clock runs only between resume()
// and pause(), so connecting and sending (which have limits of their own) do
// not count, and it runs on across every answer of one fetch, redirects
// included. A trickle of a byte now and then, which never lets a single wait
// run out, ends here. A zero window or byte count switches the check off.
class LowSpeedCheck {
public:
    using Clock = std::chrono::steady_clock;

    LowSpeedCheck(std::chrono::milliseconds window, std::size_t minBytes);

    void resume(Clock::time_point now);
    void pause(Clock::time_point now);
    // Bytes that arrived at `now`, while running.
    void received(std::size_t bytes, Clock::time_point now);

    // The moment the fetch becomes too slow unless more bytes arrive before
    // it, counted as if running from `now` on; Clock::time_point::max() when
    // switched off.
    Clock::time_point deadline(Clock::time_point now) const;

private:
    struct Arrival {
        Clock::duration at;  // on the check's own clock
        std::size_t bytes;
    };

    bool off() const { return m_minBytes == 0 || m_window <= Clock::duration::zero(); }
    Clock::duration elapsed(Clock::time_point now) const;
    // When, on the check's own clock, the window runs short.
    Clock::duration due() const;

    Clock::duration m_window;
    std::size_t m_minBytes;
    bool m_running = false;
    Clock::time_point m_resumedAt;
    Clock::duration m_elapsedBefore{};  // run time before the last resume()
    // The latest arrivals, only as many as it takes to hold `minBytes`: once
    // the oldest leaves the window, fewer than that remain in it.
    std::deque<Arrival> m_arrivals;
    std::size_t m_held = 0;  // bytes in m_arrivals
};

}  // namespace vel
