#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/http/abort_signal.h"
#include "core/http/fetch_error.h"
#include "core/http/tls_session.h"

namespace vel {

// One TCP connection to a host and port, plain or over TLS, on a non-blocking
// socket whose every wait is bounded and ends at once when the abort signal is
// raised.
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
    // accepts and, with a TLS context, makes a TLS session whose certificate
    // must be for `host`; all within `timeout`. Returns None, LookupFailed,
    // ConnectFailed, ConnectTimedOut, TlsFailed, CertificateRejected or
    // Aborted. No byte of a request goes out before the certificate is checked.
    FetchError open(const std::string& host, std::uint16_t port, const TlsContext* tls,
                    const AbortSignal& abort, std::chrono::milliseconds timeout);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // The same scheme, host and port; host names compare without regard to case.
    bool isFor(bool secure, std::string_view host, std::uint16_t port) const;
    // The peer closed the connection, or bytes arrived that no request asked
    // for: either way it cannot carry the next request.
    bool isStale();

    // Writes all of `bytes` within `timeout`, however the peer takes them.
    FetchError send(std::string_view bytes, const AbortSignal& abort,
                    std::chrono::milliseconds timeout);
    // Reads what is there, waiting at most `timeout` for the first byte.
    Received receive(char* buffer, std::size_t capacity, const AbortSignal& abort,
                     std::chrono::milliseconds timeout);

private:
    enum class Step { Data, WantRead, WantWrite, Closed, Failed };
    struct Transfer {
        Step step = Step::Failed;
        std::size_t size = 0;
    };

    FetchError startTls(const TlsContext& tls, const std::string& host, const AbortSignal& abort,
                        std::chrono::steady_clock::time_point deadline);
    // One read or write without waiting, on the socket or through TLS.
    Transfer readSome(char* buffer, std::size_t capacity);
    Transfer writeSome(const char* data, std::size_t size);
    static Transfer transferOf(const TlsSession::Step& step);

    int m_fd = -1;
    std::string m_host;
    std::uint16_t m_port = 0;
    std::unique_ptr<TlsSession> m_tls;
};

}  // namespace vel
