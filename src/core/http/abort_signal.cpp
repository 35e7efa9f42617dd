#include "core/http/abort_signal.h"

#include <fcntl.h>
#include <unistd.h>

namespace vel {

AbortSignal::AbortSignal()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_readFd = fds[0];
        m_writeFd = fds[1];
    }
}

AbortSignal::~AbortSignal()
{
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
}

void AbortSignal::raise()
{
    m_raised.store(true, std::memory_order_release);
    if (m_writeFd >= 0) {
        const char byte = 1;
        // A full pipe is readable already.
        [[maybe_unused]] const auto written = ::write(m_writeFd, &byte, 1);
    }
}

void AbortSignal::reset()
{
    m_raised.store(false, std::memory_order_release);
    if (m_readFd >= 0) {
        char buffer[64];
        while (::read(m_readFd, buffer, sizeof buffer) > 0) {
        }
    }
}

}  // namespace vel
