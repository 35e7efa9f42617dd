#include "core/http/socket_wait.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>

namespace vel {

WaitResult waitForDescriptor(int fd, short events, const AbortSignal& abort,
                             std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    while (true) {
        if (abort.raised())
            return WaitResult::Aborted;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left <= milliseconds::zero())
            return WaitResult::TimedOut;
        // Round up so the wait never ends a moment before the deadline; without
        // an abort descriptor look at the flag every 100 ms.
        milliseconds slice = std::min(left + milliseconds{1}, milliseconds{60'000});
        if (abort.fd() < 0)
            slice = std::min(slice, milliseconds{100});

        pollfd fds[2] = {{fd, events, 0}, {abort.fd(), POLLIN, 0}};
        const int count = ::poll(fds, abort.fd() < 0 ? 1 : 2, static_cast<int>(slice.count()));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::Failed;
        }
        if (abort.raised() || (fds[1].revents & POLLIN))
            return WaitResult::Aborted;
        if (fds[0].revents != 0)
            return WaitResult::Ready;
    }
}

}  // namespace vel
