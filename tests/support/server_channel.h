#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "support/test_ca.h"

struct ssl_ctx_st;
struct ssl_st;

namespace vel::test {

// A server TLS context that presents `tls` (free it with SSL_CTX_free);
// throws when OpenSSL refuses the credentials.
ssl_ctx_st* makeServerTlsContext(const TlsCredentials& tls);

// One accepted connection of the test server, plain or over TLS. Every byte
// goes through readSome() and writeSome(); every wait also watches the
// server's wake-up descriptor, so a stopping server is never held up by a
// client.
class ServerChannel {
public:
    // Takes over `fd` (a non-blocking socket); `wakeFd` becomes readable when the server stops.
    ServerChannel(int fd, int wakeFd);
    ~ServerChannel();
    ServerChannel(const ServerChannel&) = delete;
    ServerChannel& operator=(const ServerChannel&) = delete;

    // Waits for the client's first byte; when it opens a TLS handshake, plays
    // the server's side of it with `context`. False when the client leaves
    // first, the handshake fails (a client that refuses the certificate) or
    // the server stops.
    bool acceptTlsIfOffered(ssl_ctx_st* context);
    bool secure() const { return m_ssl != nullptr; }
    // The server name the client sent in its TLS handshake; empty if none.
    std::string serverName() const;

    // One request head, up to and with its empty line. False when the client
    // closes first, the head is absurdly long, or the server stops.
    bool receiveHead(std::string& head);
    // False when the client has gone or the server stops.
    bool sendAll(std::string_view bytes);
    // Reads and drops whatever comes until the client closes (or the server stops).
    void drainUntilClosed();
    // Whether the client has closed or reset the connection, without waiting.
    bool clientLeft() const;
    // The connection ends without a TLS close_notify when the channel goes.
    void closeWithoutNotify() { m_notifyClose = false; }

private:
    enum class Io { Data, Again, Closed };
    struct Transfer {
        Io io = Io::Closed;
        std::size_t size = 0;
        short waitFor = 0;  // poll events to wait for after Again
    };

    // Waits for `events` on the socket; false once the server stops.
    bool wait(short events);
    Transfer readSome(char* buffer, std::size_t size);
    Transfer writeSome(const char* data, std::size_t size);
    Transfer sorted(int result, std::size_t size);

    int m_fd;
    int m_wakeFd;
    ssl_st* m_ssl = nullptr;
    bool m_notifyClose = true;
    std::string m_pending;  // bytes received past the last head
};

}  // namespace vel::test
