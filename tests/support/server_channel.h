#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace vel::test {

// One accepted connection of the test server. Every byte goes through
// readSome() and writeSome(), the place where a TLS session will sit for
// https; every wait also watches the server's wake-up descriptor, so a
// stopping server is never held up by a client.
class ServerChannel {
public:
    // Takes over `fd` (a non-blocking socket); `wakeFd` becomes readable when the server stops.
    ServerChannel(int fd, int wakeFd);
    ~ServerChannel();
    ServerChannel(const ServerChannel&) = delete;
    ServerChannel& operator=(const ServerChannel&) = delete;

    // One request head, up to and with its empty line. False when the client
    // closes first, the head is absurdly long, or the server stops.
    bool receiveHead(std::string& head);
    // False when the client has gone or the server stops.
    bool sendAll(std::string_view bytes);
    // Reads and drops whatever comes until the client closes (or the server stops).
    void drainUntilClosed();
    // Whether the client has closed or reset the connection, without waiting.
    bool clientLeft() const;

private:
    // Waits for `events` on the socket; false once the server stops.
    bool wait(short events);
    ssize_t readSome(char* buffer, std::size_t size);
    ssize_t writeSome(const char* data, std::size_t size);

    int m_fd;
    int m_wakeFd;
    std::string m_pending;  // bytes received past the last head
};

}  // namespace vel::test
