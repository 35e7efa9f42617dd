#pragma once

#include <atomic>

namespace vel {

// A flag that one thread raises to end another thread's blocking waits: its
// descriptor becomes readable when raised, so it is polled beside the socket.
class AbortSignal {
public:
    AbortSignal();
    ~AbortSignal();
    AbortSignal(const AbortSignal&) = delete;
    AbortSignal& operator=(const AbortSignal&) = delete;

    // Any thread. Stays raised until reset().
    void raise();
    void reset();
    bool raised() const { return m_raised.load(std::memory_order_acquire); }

    // Readable while raised; -1 if no pipe could be made (then only raised()
    // tells, and waits end on their own time-outs).
    int fd() const { return m_readFd; }

private:
    std::atomic<bool> m_raised{false};
    int m_readFd = -1;
    int m_writeFd = -1;
};

}  // namespace vel
