#include "core/http/tls_session.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

namespace vel {

namespace {

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// connection the peer has reset and would end the whole program. This one
// sends with MSG_NOSIGNAL and notes the end of the stream, so that a close
// without close_notify can be told from a broken connection.

bool retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int bioWrite(BIO* bio, const char* data, int size)
{
    auto* socket = static_cast<TlsSocket*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t sent = ::send(socket->fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (sent < 0 && retryable(errno))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int bioRead(BIO* bio, char* buffer, int size)
{
    auto* socket = static_cast<TlsSocket*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t received = ::recv(socket->fd, buffer, static_cast<std::size_t>(size), 0);
    if (received == 0)
        socket->endOfStream = true;
    else if (received < 0 && retryable(errno))
        BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long bioControl(BIO* bio, int command, long, void*)
{
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return static_cast<TlsSocket*>(BIO_get_data(bio))->endOfStream ? 1 : 0;
    default:
        return 0;
    }
}

int bioCreate(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* socketMethod()
{
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vel socket");
        if (made) {
            BIO_meth_set_write(made, bioWrite);
            BIO_meth_set_read(made, bioRead);
            BIO_meth_set_ctrl(made, bioControl);
            BIO_meth_set_create(made, bioCreate);
        }
        return made;
    }();
    return method;
}

bool isIpAddress(const std::string& host)
{
    in6_addr address;
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1
        || ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

}  // namespace

// --- TlsContext --------------------------------------------------------------

TlsContext::TlsContext(ssl_ctx_st* context)
    : m_context(context)
{}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

std::unique_ptr<TlsContext> TlsContext::create()
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        ERR_clear_error();
        return nullptr;
    }
    std::unique_ptr<TlsContext> made(new TlsContext(context));
    if (SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // Without a trust store every certificate fails the check, which is the
    // safe way to fail.
    SSL_CTX_set_default_verify_paths(context);
#ifdef SSL_OP_IGNORE_UNEXPECTED_EOF
    // A close without close_notify is the end of a body that runs to the
    // close, as on a plain socket; the body rules decide what it means.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
#endif
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    ERR_clear_error();
    return made;
}

// --- TlsSession --------------------------------------------------------------

std::unique_ptr<TlsSession> TlsSession::start(const TlsContext& context, int fd,
                                              const std::string& host)
{
    std::unique_ptr<TlsSession> session(new TlsSession);
    session->m_socket.fd = fd;
    const BIO_METHOD* method = socketMethod();
    session->m_ssl = SSL_new(context.m_context);
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (!session->m_ssl || !bio) {
        BIO_free(bio);
        ERR_clear_error();
        return nullptr;
    }
    BIO_set_data(bio, &session->m_socket);
    SSL_set_bio(session->m_ssl, bio, bio);
    SSL_set_connect_state(session->m_ssl);

    // An address is checked against the certificate's IP entries; a name is
    // sent for the server to pick its certificate by, and checked against
    // the certificate's DNS names.
    bool named = false;
    if (isIpAddress(host)) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session->m_ssl), host.c_str()) == 1;
    } else {
        named = SSL_set_tlsext_host_name(session->m_ssl, host.c_str()) == 1
            && SSL_set1_host(session->m_ssl, host.c_str()) == 1;
    }
    if (!named) {
        ERR_clear_error();
        return nullptr;
    }
    return session;
}

TlsSession::~TlsSession()
{
    SSL_free(m_ssl);
}

TlsSession::Step TlsSession::sorted(int result, std::size_t size, bool handshaking)
{
    if (result == 1)
        return {Status::Done, size};
    const int error = SSL_get_error(m_ssl, result);
    Step step;
    switch (error) {
    case SSL_ERROR_WANT_READ:
        step.status = Status::WantRead;
        break;
    case SSL_ERROR_WANT_WRITE:
        step.status = Status::WantWrite;
        break;
    case SSL_ERROR_ZERO_RETURN:
        step.status = Status::Closed;
        break;
    default:
        // A certificate the check refused ends the handshake with its verdict
        // kept; an end of stream without close_notify (older OpenSSL) is a close.
        if (handshaking && SSL_get_verify_result(m_ssl) != X509_V_OK)
            step.status = Status::CertificateRejected;
        else if (!handshaking && m_socket.endOfStream)
            step.status = Status::Closed;
        else
            step.status = Status::Failed;
        m_usable = false;
        break;
    }
    ERR_clear_error();
    return step;
}

TlsSession::Step TlsSession::handshake()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    Step step = sorted(result, 0, true);
    if (step.status == Status::Closed)
        step.status = Status::Failed;
    if (step.status == Status::Done) {
        // The check ran during the handshake; a session without a verified
        // peer certificate is never used.
        X509* peer = SSL_get1_peer_certificate(m_ssl);
        const bool verified = peer && SSL_get_verify_result(m_ssl) == X509_V_OK;
        X509_free(peer);
        if (!verified)
            return {Status::CertificateRejected, 0};
        m_usable = true;
    }
    return step;
}

TlsSession::Step TlsSession::read(char* buffer, std::size_t capacity)
{
    ERR_clear_error();
    std::size_t got = 0;
    const int result = SSL_read_ex(m_ssl, buffer, capacity, &got);
    return sorted(result, got, false);
}

TlsSession::Step TlsSession::write(const char* data, std::size_t size)
{
    ERR_clear_error();
    std::size_t written = 0;
    const int result = SSL_write_ex(m_ssl, data, size, &written);
    return sorted(result, written, false);
}

bool TlsSession::hasBufferedInput() const
{
    return SSL_has_pending(m_ssl) == 1;
}

bool TlsSession::hasUnaskedInput()
{
    ERR_clear_error();
    char byte;
    std::size_t got = 0;
    const int result = SSL_peek_ex(m_ssl, &byte, 1, &got);
    return sorted(result, got, false).status != Status::WantRead;
}

void TlsSession::shutdown()
{
    if (!m_usable)
        return;
    m_usable = false;
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

}  // namespace vel
