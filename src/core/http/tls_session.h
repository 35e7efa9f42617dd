#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;

namespace vel {

// The client's TLS settings: TLS 1.2 or newer, every peer's certificate
// checked against the system's trust store as OpenSSL finds it
// (SSL_CERT_FILE and SSL_CERT_DIR are honoured when the context is made).
class TlsContext {
public:
    // Null when OpenSSL cannot make one.
    static std::unique_ptr<TlsContext> create();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

private:
    friend class TlsSession;
    explicit TlsContext(ssl_ctx_st* context);

    ssl_ctx_st* m_context;
};

// What a session's socket reads and writes through.
struct TlsSocket {
    int fd = -1;
    bool endOfStream = false;  // the peer closed the TCP stream
};

// One TLS client session over a connected non-blocking socket. Nothing here
// waits: every call does what it can at once and says which readiness of the
// socket it needs to go on, so the caller's bounded, abortable waits apply.
// The socket stays the caller's; writes never raise SIGPIPE.
class TlsSession {
public:
    enum class Status {
        Done,
        WantRead,  // call again once the socket is readable
        WantWrite,  // call again once the socket is writable
        Closed,  // the peer ended the stream (close_notify, or a close without one)
        CertificateRejected,  // the handshake ended on a certificate that is not trusted
        Failed,  // anything else: the session is unusable
    };
    struct Step {
        Status status = Status::Failed;
        std::size_t size = 0;  // bytes read or written when Done
    };

    // A session for `host`: sent as the server name (unless it is an IP
    // address) and the name or address the certificate must be for. Null when
    // OpenSSL cannot set one up.
    static std::unique_ptr<TlsSession> start(const TlsContext& context, int fd,
                                             const std::string& host);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    Step handshake();
    Step read(char* buffer, std::size_t capacity);
    Step write(const char* data, std::size_t size);

    // Decrypted or undecoded bytes held inside the session, which a poll of
    // the socket cannot see.
    bool hasBufferedInput() const;
    // For a kept connection whose socket is readable or that holds bytes:
    // true when data or a close arrived that no request asked for. Records
    // that carry no data (session tickets) are taken in passing.
    bool hasUnaskedInput();
    // Sends close_notify if the socket takes it at once; only after a
    // handshake that succeeded and no failure since.
    void shutdown();

private:
    TlsSession() = default;
    Step sorted(int result, std::size_t size, bool handshaking);

    ssl_st* m_ssl = nullptr;
    TlsSocket m_socket;
    bool m_usable = false;
};

}  // namespace vel
