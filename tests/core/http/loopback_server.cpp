#include "core/http/loopback_server.h"

#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::test {

namespace {

constexpr int kSliceMs = 50;

int listenOnLoopback(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

ServerStep receive()
{
    return {ServerStep::Kind::Receive, {}};
}

ServerStep send(std::string bytes)
{
    return {ServerStep::Kind::Send, std::move(bytes)};
}

ServerStep sendForever(std::string bytes)
{
    return {ServerStep::Kind::SendForever, std::move(bytes)};
}

ServerStep holdOpen()
{
    return {ServerStep::Kind::HoldOpen, {}};
}

LoopbackServer::LoopbackServer(std::vector<ConnectionScript> scripts)
    : m_scripts(std::move(scripts))
{
    m_listenFd = listenOnLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

std::string LoopbackServer::url(std::string_view target) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(target);
}

std::vector<std::string> LoopbackServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LoopbackServer::waitUntilClosed(int count, std::chrono::seconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_closed >= count; });
}

void LoopbackServer::run()
{
    std::size_t next = 0;
    while (!m_stop) {
        pollfd listening{m_listenFd, POLLIN, 0};
        if (::poll(&listening, 1, kSliceMs) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        ++m_accepted;
        if (next < m_scripts.size())
            play(fd, m_scripts[next++]);
        ::close(fd);
        const std::lock_guard lock(m_mutex);
        ++m_closed;
        m_changed.notify_all();
    }
}

void LoopbackServer::play(int fd, const ConnectionScript& script)
{
    // Waits for the socket; false when the server stops.
    const auto wait = [&](short events) {
        while (!m_stop) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, kSliceMs) > 0)
                return true;
        }
        return false;
    };
    const auto sendAll = [&](std::string_view bytes) {
        while (!bytes.empty()) {
            const auto sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent > 0)
                bytes.remove_prefix(static_cast<std::size_t>(sent));
            else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
                if (!wait(POLLOUT))
                    return false;
            } else
                return false;
        }
        return true;
    };

    std::string pending;
    char buffer[4096];
    for (const ServerStep& step : script) {
        switch (step.kind) {
        case ServerStep::Kind::Receive: {
            std::size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                if (!wait(POLLIN))
                    return;
                const auto got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                    return;
                if (got > 0)
                    pending.append(buffer, static_cast<std::size_t>(got));
            }
            const std::lock_guard lock(m_mutex);
            m_requests.push_back(pending.substr(0, end + 4));
            pending.erase(0, end + 4);
            break;
        }
        case ServerStep::Kind::Send:
            if (!sendAll(step.bytes))
                return;
            break;
        case ServerStep::Kind::SendForever:
            while (sendAll(step.bytes)) {
            }
            return;
        case ServerStep::Kind::HoldOpen:
            while (wait(POLLIN)) {
                const auto got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                    return;
            }
            return;
        }
    }
}

std::uint16_t closedPort()
{
    std::uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

}  // namespace vel::test
