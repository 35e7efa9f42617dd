#include "support/server_channel.h"

#include <cerrno>
#include <stdexcept>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::test {

namespace {

// A request head longer than this ends the connection: no test sends one.
constexpr std::size_t kMaxHeadBytes = 1 << 20;
// The first byte of a TLS handshake record.
constexpr char kTlsHandshake = 0x16;

bool retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

ssl_ctx_st* makeServerTlsContext(const TlsCredentials& tls)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    BIO* certificateBio =
        BIO_new_mem_buf(tls.certificatePem.data(), static_cast<int>(tls.certificatePem.size()));
    BIO* keyBio = BIO_new_mem_buf(tls.keyPem.data(), static_cast<int>(tls.keyPem.size()));
    X509* certificate =
        certificateBio ? PEM_read_bio_X509(certificateBio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    const bool ready = context && certificate && key
        && SSL_CTX_use_certificate(context, certificate) == 1
        && SSL_CTX_use_PrivateKey(context, key) == 1;
    X509_free(certificate);
    EVP_PKEY_free(key);
    BIO_free(certificateBio);
    BIO_free(keyBio);
    ERR_clear_error();
    if (!ready) {
        SSL_CTX_free(context);
        throw std::runtime_error("test server: unusable TLS credentials");
    }
    SSL_CTX_set_mode(context, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return context;
}

ServerChannel::ServerChannel(int fd, int wakeFd)
    : m_fd(fd)
    , m_wakeFd(wakeFd)
{}

ServerChannel::~ServerChannel()
{
    if (m_ssl) {
        // Lets a client reading to the close see a proper end.
        ERR_clear_error();
        if (m_notifyClose && SSL_is_init_finished(m_ssl))
            SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
        ERR_clear_error();
    }
    ::close(m_fd);
}

bool ServerChannel::acceptTlsIfOffered(ssl_ctx_st* context)
{
    char first = 0;
    for (;;) {
        if (!wait(POLLIN))
            return false;
        const ssize_t peeked = ::recv(m_fd, &first, 1, MSG_PEEK);
        if (peeked == 1)
            break;
        if (peeked == 0 || !retryable(errno))
            return false;
    }
    if (first != kTlsHandshake)
        return true;
    m_ssl = SSL_new(context);
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1)
        return false;
    SSL_set_accept_state(m_ssl);
    for (;;) {
        ERR_clear_error();
        const Transfer step = sorted(SSL_do_handshake(m_ssl), 0);
        if (step.io == Io::Data)
            return true;
        if (step.io == Io::Closed || !wait(step.waitFor))
            return false;
    }
}

std::string ServerChannel::serverName() const
{
    const char* name = m_ssl ? SSL_get_servername(m_ssl, TLSEXT_NAMETYPE_host_name) : nullptr;
    return name ? name : "";
}

bool ServerChannel::receiveHead(std::string& head)
{
    for (;;) {
        const std::size_t end = m_pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            head = m_pending.substr(0, end + 4);
            m_pending.erase(0, end + 4);
            return true;
        }
        if (m_pending.size() > kMaxHeadBytes)
            return false;
        char buffer[4096];
        const Transfer got = readSome(buffer, sizeof buffer);
        if (got.io == Io::Data)
            m_pending.append(buffer, got.size);
        else if (got.io == Io::Closed || !wait(got.waitFor))
            return false;
    }
}

bool ServerChannel::sendAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const Transfer sent = writeSome(bytes.data(), bytes.size());
        if (sent.io == Io::Data)
            bytes.remove_prefix(sent.size);
        else if (sent.io == Io::Closed || !wait(sent.waitFor))
            return false;
    }
    return true;
}

void ServerChannel::drainUntilClosed()
{
    char buffer[4096];
    for (;;) {
        const Transfer got = readSome(buffer, sizeof buffer);
        if (got.io == Io::Closed || (got.io == Io::Again && !wait(got.waitFor)))
            return;
    }
}

bool ServerChannel::clientLeft() const
{
    pollfd entry{m_fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

bool ServerChannel::wait(short events)
{
    for (;;) {
        pollfd entries[] = {{m_wakeFd, POLLIN, 0}, {m_fd, events, 0}};
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && entries[0].revents == 0;
    }
}

ServerChannel::Transfer ServerChannel::sorted(int result, std::size_t size)
{
    if (result == 1)
        return {Io::Data, size, 0};
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return {Io::Again, 0, POLLIN};
    case SSL_ERROR_WANT_WRITE:
        return {Io::Again, 0, POLLOUT};
    default:
        return {Io::Closed, 0, 0};
    }
}

ServerChannel::Transfer ServerChannel::readSome(char* buffer, std::size_t size)
{
    if (m_ssl) {
        ERR_clear_error();
        std::size_t got = 0;
        const int result = SSL_read_ex(m_ssl, buffer, size, &got);
        return sorted(result, got);
    }
    const ssize_t got = ::recv(m_fd, buffer, size, 0);
    if (got > 0)
        return {Io::Data, static_cast<std::size_t>(got), 0};
    if (got < 0 && retryable(errno))
        return {Io::Again, 0, POLLIN};
    return {Io::Closed, 0, 0};
}

ServerChannel::Transfer ServerChannel::writeSome(const char* data, std::size_t size)
{
    if (m_ssl) {
        ERR_clear_error();
        std::size_t sent = 0;
        const int result = SSL_write_ex(m_ssl, data, size, &sent);
        return sorted(result, sent);
    }
    const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL);
    if (sent >= 0)
        return {Io::Data, static_cast<std::size_t>(sent), 0};
    if (retryable(errno))
        return {Io::Again, 0, POLLOUT};
    return {Io::Closed, 0, 0};
}

}  // namespace vel::test
