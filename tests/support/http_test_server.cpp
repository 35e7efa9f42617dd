#include "support/http_test_server.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/server_channel.h"

namespace vel::test {

namespace {

using namespace std::chrono_literals;

// Connections served at once; more wait in the listen queue.
constexpr std::size_t kMaxConnections = 64;
// How often a waiting thread looks again at what a poll cannot see.
constexpr auto kRecheck = 20ms;

// A socket bound to 127.0.0.1 (or ::1) on an ephemeral port; throws when
// there is none.
int bindLoopback(std::uint16_t& port, Loopback loopback = Loopback::V4)
{
    const bool v6 = loopback == Loopback::V6;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_storage address{};
    if (v6) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_addr = in6addr_loopback;
    } else {
        auto& in4 = reinterpret_cast<sockaddr_in&>(address);
        in4.sin_family = AF_INET;
        in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "bind");
    }
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                    : reinterpret_cast<sockaddr_in&>(address).sin_port);
    return fd;
}

// One block of the generated body: a whole number of pattern turns, so every
// block starts at offset 0 of the pattern.
const std::string& generatedBlock()
{
    static const std::string block = [] {
        std::string bytes(26 * 2521, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = generatedByte(i);
        return bytes;
    }();
    return block;
}

// OpenSSL writes with write(), which raises SIGPIPE on a connection the client
// has reset; a connection's thread keeps it blocked (and pending, harmlessly)
// so that a client going away mid-answer never ends the test program.
void blockBrokenPipeSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace

ScriptStep receive()
{
    return {ScriptStep::Kind::Receive, {}};
}

ScriptStep send(std::string bytes)
{
    return {ScriptStep::Kind::Send, std::move(bytes)};
}

ScriptStep sendForever(std::string bytes)
{
    return {ScriptStep::Kind::SendForever, std::move(bytes)};
}

ScriptStep holdOpen()
{
    return {ScriptStep::Kind::HoldOpen, {}};
}

ScriptStep closeWithoutNotify()
{
    return {ScriptStep::Kind::CloseWithoutNotify, {}};
}

Route reply(std::string_view status, std::string body, std::string_view extraHeaders)
{
    Route route;
    route.head = "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n" + std::string(extraHeaders) + "\r\n";
    route.body = std::move(body);
    return route;
}

Route ok(std::string body)
{
    return reply("200 OK", std::move(body));
}

Route redirect(std::string_view location)
{
    return reply("302 Found", "moved", "Location: " + std::string(location) + "\r\n");
}

Route page(std::string_view contentType, std::string body)
{
    Route route = reply("200 OK", std::move(body),
                        "Content-Type: " + std::string(contentType) + "\r\nConnection: close\r\n");
    route.closeAfter = true;
    return route;
}

Route raw(std::string bytes)
{
    Route route;
    route.head = std::move(bytes);
    route.closeAfter = true;
    return route;
}

Route generated(std::uint64_t length)
{
    Route route;
    route.head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    route.generatedLength = length;
    return route;
}

char generatedByte(std::uint64_t offset)
{
    return static_cast<char>('a' + offset % 26);
}

std::string requestTarget(std::string_view head)
{
    const std::size_t first = head.find(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t second = head.find_first_of(" \r\n", first + 1);
    return std::string(head.substr(first + 1, second - first - 1));
}

HttpTestServer::HttpTestServer()
    : HttpTestServer(std::vector<ConnectionScript>{})
{}

HttpTestServer::HttpTestServer(TlsCredentials tls)
    : HttpTestServer(std::vector<ConnectionScript>{}, std::move(tls))
{}

HttpTestServer::HttpTestServer(std::vector<ConnectionScript> scripts, TlsCredentials tls)
    : HttpTestServer(std::move(scripts))
{
    // The acceptor runs already, but reads m_tls only under the lock once a
    // connection is accepted, and none can have been: the port is new.
    const std::lock_guard lock(m_mutex);
    m_tls = makeServerTlsContext(tls);
}

HttpTestServer::HttpTestServer(Loopback loopback)
    : HttpTestServer(std::vector<ConnectionScript>{}, loopback)
{}

HttpTestServer::HttpTestServer(std::vector<ConnectionScript> scripts, Loopback loopback)
    : m_scripts(std::move(scripts))
    , m_host(loopback == Loopback::V6 ? "[::1]" : "127.0.0.1")
{
    m_listenFd = bindLoopback(m_port, loopback);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (::listen(m_listenFd, 64) != 0 || m_wakeFd < 0) {
        const int error = errno;
        ::close(m_listenFd);
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
        throw std::system_error(error, std::generic_category(), "listen");
    }
    m_acceptor = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_acceptor.join();
    for (Worker& worker : m_workers)
        worker.thread.join();
    ::close(m_listenFd);
    ::close(m_wakeFd);
    SSL_CTX_free(m_tls);
}

void HttpTestServer::route(const std::string& target, Route route)
{
    const std::lock_guard lock(m_mutex);
    m_routes[target] = std::move(route);
}

void HttpTestServer::hold(const std::string& target)
{
    const std::lock_guard lock(m_mutex);
    m_holds[target] = m_nextHold++;
}

void HttpTestServer::release(const std::string& target)
{
    {
        const std::lock_guard lock(m_mutex);
        m_holds.erase(target);
    }
    m_changed.notify_all();
}

std::string HttpTestServer::origin() const
{
    return "http://" + m_host + ":" + std::to_string(m_port);
}

std::string HttpTestServer::url(std::string_view target) const
{
    return origin() + std::string(target);
}

std::string HttpTestServer::secureUrl(std::string_view target, std::string_view host) const
{
    return "https://" + std::string(host) + ":" + std::to_string(m_port) + std::string(target);
}

std::vector<std::string> HttpTestServer::schemes() const
{
    const std::lock_guard lock(m_mutex);
    return m_schemes;
}

std::vector<std::string> HttpTestServer::serverNames() const
{
    const std::lock_guard lock(m_mutex);
    return m_serverNames;
}

std::vector<std::string> HttpTestServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> HttpTestServer::targets() const
{
    std::vector<std::string> result;
    for (const std::string& head : requests())
        result.push_back(requestTarget(head));
    return result;
}

bool HttpTestServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

bool HttpTestServer::waitUntilClosed(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_closed >= count; });
}

void HttpTestServer::acceptLoop()
{
    while (!m_stop) {
        reapFinishedWorkers();
        // At the cap only the wake-up is watched, and finished workers are
        // looked for again shortly.
        const bool full = m_workers.size() >= kMaxConnections;
        pollfd entries[] = {{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        const int ready =
            ::poll(entries, full ? 1 : 2,
                   full ? static_cast<int>(std::chrono::milliseconds(kRecheck).count()) : -1);
        if (ready <= 0 || entries[0].revents != 0 || full)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        const auto index = static_cast<std::size_t>(m_accepted++);
        const ConnectionScript* script = index < m_scripts.size() ? &m_scripts[index] : nullptr;
        Worker& worker = m_workers.emplace_back();
        try {
            worker.thread = std::thread([this, fd, script, &worker] {
                blockBrokenPipeSignal();
                {
                    ServerChannel channel(fd, m_wakeFd);
                    if (startTls(channel))
                        serve(channel, script);
                }
                {
                    const std::lock_guard lock(m_mutex);
                    ++m_closed;
                }
                m_changed.notify_all();
                worker.done = true;
            });
        } catch (const std::system_error&) {
            // No thread for it: the client sees the connection closed.
            m_workers.pop_back();
            ::close(fd);
        }
    }
}

void HttpTestServer::reapFinishedWorkers()
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void HttpTestServer::serve(ServerChannel& channel, const ConnectionScript* script)
{
    if (script)
        play(channel, *script);
    else
        serveRoutes(channel);
}

void HttpTestServer::play(ServerChannel& channel, const ConnectionScript& script)
{
    for (const ScriptStep& step : script) {
        switch (step.kind) {
        case ScriptStep::Kind::Receive: {
            std::string head;
            if (!receiveAndRecord(channel, head))
                return;
            break;
        }
        case ScriptStep::Kind::Send:
            if (!channel.sendAll(step.bytes))
                return;
            break;
        case ScriptStep::Kind::SendForever:
            while (channel.sendAll(step.bytes)) {
            }
            return;
        case ScriptStep::Kind::HoldOpen:
            channel.drainUntilClosed();
            return;
        case ScriptStep::Kind::CloseWithoutNotify:
            channel.closeWithoutNotify();
            return;
        }
    }
}

void HttpTestServer::serveRoutes(ServerChannel& channel)
{
    for (;;) {
        std::string head;
        std::uint64_t holdId = 0;
        if (!receiveAndRecord(channel, head, &holdId))
            return;
        const std::string target = requestTarget(head);
        if (holdId != 0 && !waitForRelease(channel, target, holdId))
            return;
        Route route;
        {
            const std::lock_guard lock(m_mutex);
            const auto found = m_routes.find(target);
            route = found != m_routes.end() ? found->second : reply("404 Not Found", "no route");
        }
        if (route.latency.count() > 0) {
            std::unique_lock lock(m_mutex);
            if (m_changed.wait_for(lock, route.latency, [this] { return m_stop.load(); }))
                return;
        }
        if (!answer(channel, route))
            return;
        if (route.stallAfter) {
            channel.drainUntilClosed();
            return;
        }
        if (route.closeAfter)
            return;
    }
}

bool HttpTestServer::startTls(ServerChannel& channel)
{
    SSL_CTX* context = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        context = m_tls;
    }
    if (!context)
        return true;
    if (!channel.acceptTlsIfOffered(context))
        return false;
    if (channel.secure()) {
        const std::lock_guard lock(m_mutex);
        m_serverNames.push_back(channel.serverName());
    }
    return true;
}

bool HttpTestServer::receiveAndRecord(ServerChannel& channel, std::string& head,
                                      std::uint64_t* holdId)
{
    if (!channel.receiveHead(head))
        return false;
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(head);
        m_schemes.push_back(channel.secure() ? "https" : "http");
        // The hold in force when the request arrives is the one it waits for.
        if (holdId) {
            const auto held = m_holds.find(requestTarget(head));
            *holdId = held != m_holds.end() ? held->second : 0;
        }
    }
    m_changed.notify_all();
    return true;
}

bool HttpTestServer::waitForRelease(ServerChannel& channel, const std::string& target,
                                    std::uint64_t holdId)
{
    // A later hold of the same target is another hold: this request goes with this one's release.
    std::unique_lock lock(m_mutex);
    const auto released = [&] {
        const auto found = m_holds.find(target);
        return m_stop || found == m_holds.end() || found->second != holdId;
    };
    while (!m_changed.wait_for(lock, kRecheck, released)) {
        // A client that gave up waiting needs no answer.
        if (channel.clientLeft())
            return false;
    }
    return !m_stop;
}

bool HttpTestServer::answer(ServerChannel& channel, const Route& route)
{
    if (!channel.sendAll(route.head + route.body))
        return false;
    if (route.afterBody)
        route.afterBody();
    const std::string& block = generatedBlock();
    for (std::uint64_t left = route.generatedLength; left > 0;) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        if (!channel.sendAll(std::string_view(block).substr(0, size)))
            return false;
        left -= size;
    }
    if (route.onSent)
        route.onSent();
    return true;
}

std::uint16_t closedPort()
{
    std::uint16_t port = 0;
    ::close(bindLoopback(port));
    return port;
}

}  // namespace vel::test
