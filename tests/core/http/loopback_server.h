#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vel::test {

// One thing the server does on a connection. A script that runs out closes
// the connection.
struct ServerStep {
    enum class Kind { Receive, Send, SendForever, HoldOpen };
    Kind kind = Kind::Receive;
    std::string bytes;
};

// Reads one request head (up to its empty line) and records it.
ServerStep receive();
ServerStep send(std::string bytes);
// Sends the bytes again and again until the client goes away.
ServerStep sendForever(std::string bytes);
// Keeps the connection open until the client closes it.
ServerStep holdOpen();

using ConnectionScript = std::vector<ServerStep>;

// An HTTP server on 127.0.0.1 with an ephemeral port that plays one script per
// accepted connection, in order, one connection at a time. Connections beyond
// the scripts are closed at once (and counted).
class LoopbackServer {
public:
    explicit LoopbackServer(std::vector<ConnectionScript> scripts);
    ~LoopbackServer();

    std::uint16_t port() const { return m_port; }
    std::string url(std::string_view target = "/") const;

    std::vector<std::string> requests() const;
    int accepted() const { return m_accepted.load(); }
    // Waits until `count` connections have been closed by the server.
    bool waitUntilClosed(int count, std::chrono::seconds timeout = std::chrono::seconds{20});

private:
    void run();
    void play(int fd, const ConnectionScript& script);

    std::vector<ConnectionScript> m_scripts;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    int m_closed = 0;
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on.
std::uint16_t closedPort();

}  // namespace vel::test
