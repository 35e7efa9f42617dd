#include "support/server_channel.h"

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::test {

namespace {

// A request head longer than this ends the connection: no test sends one.
constexpr std::size_t kMaxHeadBytes = 1 << 20;

bool retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

ServerChannel::ServerChannel(int fd, int wakeFd)
    : m_fd(fd)
    , m_wakeFd(wakeFd)
{}

ServerChannel::~ServerChannel()
{
    ::close(m_fd);
}

bool ServerChannel::receiveHead(std::string& head)
{
    for (;;) {
        const std::size_t end = m_pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            head = m_pending.substr(0, end + 4);
            m_pending.erase(0, end + 4);
            return true;
        }
        if (m_pending.size() > kMaxHeadBytes || !wait(POLLIN))
            return false;
        char buffer[4096];
        const ssize_t got = readSome(buffer, sizeof buffer);
        if (got > 0)
            m_pending.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || !retryable(errno))
            return false;
    }
}

bool ServerChannel::sendAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = writeSome(bytes.data(), bytes.size());
        if (sent > 0)
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        else if (sent == 0 || !retryable(errno) || !wait(POLLOUT))
            return false;
    }
    return true;
}

void ServerChannel::drainUntilClosed()
{
    char buffer[4096];
    while (wait(POLLIN)) {
        const ssize_t got = readSome(buffer, sizeof buffer);
        if (got == 0 || (got < 0 && !retryable(errno)))
            return;
    }
}

bool ServerChannel::clientLeft() const
{
    pollfd entry{m_fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

bool ServerChannel::wait(short events)
{
    for (;;) {
        pollfd entries[] = {{m_wakeFd, POLLIN, 0}, {m_fd, events, 0}};
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && entries[0].revents == 0;
    }
}

ssize_t ServerChannel::readSome(char* buffer, std::size_t size)
{
    return ::recv(m_fd, buffer, size, 0);
}

ssize_t ServerChannel::writeSome(const char* data, std::size_t size)
{
    return ::send(m_fd, data, size, MSG_NOSIGNAL);
}

}  // namespace vel::test
