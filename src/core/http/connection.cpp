#include "core/http/connection.h"

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/http/host_lookup.h"
#include "core/http/socket_wait.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

Connection::~Connection()
{
    close();
}

void Connection::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_host.clear();
    m_port = 0;
}

bool Connection::isFor(std::string_view host, std::uint16_t port) const
{
    return isOpen() && port == m_port && toLowerAscii(host) == toLowerAscii(m_host);
}

FetchError Connection::open(const std::string& host, std::uint16_t port, const AbortSignal& abort,
                            std::chrono::milliseconds timeout)
{
    close();
    const auto deadline = Clock::now() + timeout;
    const LookupResult lookup = lookupHost(host, port, abort, deadline);
    if (lookup.error != FetchError::None)
        return lookup.error;

    for (const SocketAddress& address : lookup.addresses) {
        const int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        bool connected =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0;
        if (!connected && errno == EINPROGRESS) {
            const WaitResult wait = waitForDescriptor(fd, POLLOUT, abort, deadline);
            if (wait == WaitResult::Aborted || wait == WaitResult::TimedOut) {
                ::close(fd);
                return wait == WaitResult::Aborted ? FetchError::Aborted
                                                   : FetchError::ConnectTimedOut;
            }
            int error = 0;
            socklen_t length = sizeof error;
            connected = wait == WaitResult::Ready
                && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (connected) {
            m_fd = fd;
            m_host = host;
            m_port = port;
            return FetchError::None;
        }
        ::close(fd);
        if (abort.raised())
            return FetchError::Aborted;
    }
    return FetchError::ConnectFailed;
}

bool Connection::isStale() const
{
    if (!isOpen())
        return true;
    pollfd fd{m_fd, POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0)
        return false;
    char byte;
    const auto peeked = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return !(peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

FetchError Connection::send(std::string_view bytes, const AbortSignal& abort,
                            std::chrono::milliseconds timeout)
{
    while (!bytes.empty()) {
        if (abort.raised())
            return FetchError::Aborted;
        const auto sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return FetchError::SendFailed;
        switch (waitForDescriptor(m_fd, POLLOUT, abort, Clock::now() + timeout)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Aborted:
            return FetchError::Aborted;
        case WaitResult::TimedOut:
        case WaitResult::Failed:
            return FetchError::SendFailed;
        }
    }
    return FetchError::None;
}

Connection::Received Connection::receive(char* buffer, std::size_t capacity,
                                         const AbortSignal& abort,
                                         std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (abort.raised())
            return {Io::Aborted, 0};
        const auto received = ::recv(m_fd, buffer, capacity, 0);
        if (received > 0)
            return {Io::Ok, static_cast<std::size_t>(received)};
        if (received == 0)
            return {Io::Closed, 0};
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return {Io::Failed, 0};
        switch (waitForDescriptor(m_fd, POLLIN, abort, deadline)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Aborted:
            return {Io::Aborted, 0};
        case WaitResult::TimedOut:
            return {Io::TimedOut, 0};
        case WaitResult::Failed:
            return {Io::Failed, 0};
        }
    }
}

}  // namespace vel
