#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/http/abort_signal.h"
#include "core/http/fetch_error.h"

namespace vel {

// One TCP connection to a host and port, on a non-blocking socket whose every
// wait is bounded and ends at once when the abort signal is raised.
class Connection {
public:
    enum class Io { Ok, Closed, TimedOut, Aborted, Failed };

    struct Received {
        Io result = Io::Failed;
        std::size_t size = 0;
    };

    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Looks the host up and connects to the first of its addresses that
    // accepts, all within `timeout`. Returns None, LookupFailed,
    // ConnectFailed, ConnectTimedOut or Aborted.
    FetchError open(const std::string& host, std::uint16_t port, const AbortSignal& abort,
                    std::chrono::milliseconds timeout);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // Host names compare without regard to case.
    bool isFor(std::string_view host, std::uint16_t port) const;
    // The peer closed the connection, or bytes arrived that no request asked
    // for: either way it cannot carry the next request.
    bool isStale() const;

    // Writes all of `bytes`; `timeout` bounds each wait for room.
    FetchError send(std::string_view bytes, const AbortSignal& abort,
                    std::chrono::milliseconds timeout);
    // Reads what is there, waiting at most `timeout` for the first byte.
    Received receive(char* buffer, std::size_t capacity, const AbortSignal& abort,
                     std::chrono::milliseconds timeout);

private:
    int m_fd = -1;
    std::string m_host;
    std::uint16_t m_port = 0;
};

}  // namespace vel
