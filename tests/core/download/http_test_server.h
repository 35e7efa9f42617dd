#pragma once

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::test {

// What the server answers to one request target.
struct Route {
    std::string head;               // status line and headers, empty line included
    std::string body;               // sent right after the head
    std::uint64_t generatedLength = 0;  // further body bytes made up on the fly
    bool stallAfter = false;        // then sends nothing more until the client leaves
    std::function<void()> onSent;   // runs once the bytes above went out
};

inline Route reply(std::string_view status, std::string body, std::string_view extraHeaders = {})
{
    Route route;
    route.head = "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size())
        + "\r\n" + std::string(extraHeaders) + "\r\n";
    route.body = std::move(body);
    return route;
}

inline Route ok(std::string body)
{
    return reply("200 OK", std::move(body));
}

inline Route redirect(std::string_view location)
{
    return reply("302 Found", "moved", "Location: " + std::string(location) + "\r\n");
}

// A body of `length` bytes that is never held in memory whole.
inline Route generated(std::uint64_t length)
{
    Route route;
    route.head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    route.generatedLength = length;
    return route;
}

// The byte at `offset` of every generated body.
inline char generatedByte(std::uint64_t offset)
{
    return static_cast<char>('a' + offset % 26);
}

// An HTTP/1.1 server on 127.0.0.1 with an ephemeral port, serving one
// connection at a time (keep-alive honoured) on a thread of its own. Targets
// without a route get a 404. Every request head is recorded.
class HttpTestServer {
public:
    HttpTestServer()
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address = loopback(0);
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listenFd, 64);
        socklen_t length = sizeof address;
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    ~HttpTestServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listenFd);
    }

    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    void route(const std::string& target, Route route)
    {
        std::lock_guard lock(m_mutex);
        m_routes[target] = std::move(route);
    }

    std::uint16_t port() const { return m_port; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::string url(std::string_view target) const { return origin() + std::string(target); }

    std::vector<std::string> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // The target of each request, in arrival order.
    std::vector<std::string> targets() const
    {
        std::vector<std::string> result;
        for (const std::string& head : requests()) {
            const std::size_t first = head.find(' ');
            const std::size_t second = head.find(' ', first + 1);
            result.push_back(head.substr(first + 1, second - first - 1));
        }
        return result;
    }

    static sockaddr_in loopback(std::uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

private:
    // Waits for `events` on fd in short turns so the destructor is never held up.
    bool waitFor(int fd, short events)
    {
        while (!m_stop) {
            pollfd entry{fd, events, 0};
            const int ready = ::poll(&entry, 1, 50);
            if (ready > 0)
                return true;
        }
        return false;
    }

    void run()
    {
        while (waitFor(m_listenFd, POLLIN)) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            ::close(fd);
        }
    }

    void serve(int fd)
    {
        std::string pending;
        char buffer[4096];
        for (;;) {
            std::size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                if (!waitFor(fd, POLLIN))
                    return;
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    return;
                pending.append(buffer, static_cast<std::size_t>(got));
            }
            std::string head = pending.substr(0, end + 4);
            pending.erase(0, end + 4);
            Route route = routeFor(head);
            if (!answer(fd, route))
                return;
            if (route.stallAfter) {
                // Until the client closes: readable with nothing to read.
                while (waitFor(fd, POLLIN)) {
                    if (::recv(fd, buffer, sizeof buffer, 0) <= 0)
                        return;
                }
                return;
            }
        }
    }

    Route routeFor(std::string head)
    {
        const std::size_t first = head.find(' ');
        const std::size_t second = head.find(' ', first + 1);
        const std::string target = head.substr(first + 1, second - first - 1);
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(head));
        const auto found = m_routes.find(target);
        return found != m_routes.end() ? found->second : reply("404 Not Found", "no route");
    }

    bool sendAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            if (!waitFor(fd, POLLOUT))
                return false;
            const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (sent <= 0)
                return false;
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    bool answer(int fd, const Route& route)
    {
        const std::string start = route.head + route.body;
        if (!sendAll(fd, start.data(), start.size()))
            return false;
        std::string chunk(26 * 2521, '\0');  // a whole number of pattern turns
        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = generatedByte(i);
        for (std::uint64_t left = route.generatedLength; left > 0;) {
            const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
            if (!sendAll(fd, chunk.data(), size))
                return false;
            left -= size;
        }
        if (route.onSent)
            route.onSent();
        return true;
    }

    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::map<std::string, Route> m_routes;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// A port on 127.0.0.1 where nothing listens.
inline std::uint16_t refusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = HttpTestServer::loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace vel::test
