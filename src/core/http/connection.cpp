#include "core/http/connection.h"

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/http/host_lookup.h"
#include "core/http/socket_wait.h"
#include "core/http/tls_session.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

using Clock = std::chrono::steady_clock;

bool retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

Connection::~Connection()
{
    close();
}

void Connection::close()
{
    if (m_tls) {
        m_tls->shutdown();
        m_tls.reset();
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_host.clear();
    m_port = 0;
}

bool Connection::isFor(bool secure, std::string_view host, std::uint16_t port) const
{
    return isOpen() && secure == (m_tls != nullptr) && port == m_port
        && toLowerAscii(host) == toLowerAscii(m_host);
}

FetchError Connection::open(const std::string& host, std::uint16_t port, const TlsContext* tls,
                            const AbortSignal& abort, std::chrono::milliseconds timeout)
{
    close();
    const auto deadline = Clock::now() + timeout;
    const LookupResult lookup = lookupHost(host, port, abort, deadline);
    if (lookup.error != FetchError::None)
        return lookup.error;

    for (const SocketAddress& address : lookup.addresses) {
        const int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        bool connected =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0;
        if (!connected && errno == EINPROGRESS) {
            const WaitResult wait = waitForDescriptor(fd, POLLOUT, abort, deadline);
            if (wait == WaitResult::Aborted || wait == WaitResult::TimedOut) {
                ::close(fd);
                return wait == WaitResult::Aborted ? FetchError::Aborted
                                                   : FetchError::ConnectTimedOut;
            }
            int error = 0;
            socklen_t length = sizeof error;
            connected = wait == WaitResult::Ready
                && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (connected) {
            m_fd = fd;
            m_host = host;
            m_port = port;
            if (!tls)
                return FetchError::None;
            const FetchError error = startTls(*tls, host, abort, deadline);
            if (error != FetchError::None)
                close();
            return error;
        }
        ::close(fd);
        if (abort.raised())
            return FetchError::Aborted;
    }
    return FetchError::ConnectFailed;
}

FetchError Connection::startTls(const TlsContext& tls, const std::string& host,
                                const AbortSignal& abort, Clock::time_point deadline)
{
    m_tls = TlsSession::start(tls, m_fd, host);
    if (!m_tls)
        return FetchError::TlsFailed;
    while (true) {
        if (abort.raised())
            return FetchError::Aborted;
        const TlsSession::Step step = m_tls->handshake();
        short events = 0;
        switch (step.status) {
        case TlsSession::Status::Done:
            return FetchError::None;
        case TlsSession::Status::WantRead:
            events = POLLIN;
            break;
        case TlsSession::Status::WantWrite:
            events = POLLOUT;
            break;
        case TlsSession::Status::CertificateRejected:
            return FetchError::CertificateRejected;
        case TlsSession::Status::Closed:
        case TlsSession::Status::Failed:
            return FetchError::TlsFailed;
        }
        switch (waitForDescriptor(m_fd, events, abort, deadline)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Aborted:
            return FetchError::Aborted;
        case WaitResult::TimedOut:
            return FetchError::ConnectTimedOut;
        case WaitResult::Failed:
            return FetchError::TlsFailed;
        }
    }
}

bool Connection::isStale()
{
    if (!isOpen())
        return true;
    pollfd fd{m_fd, POLLIN, 0};
    const bool readable = ::poll(&fd, 1, 0) > 0;
    if (m_tls)
        return (readable || m_tls->hasBufferedInput()) && m_tls->hasUnaskedInput();
    if (!readable)
        return false;
    char byte;
    const auto peeked = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return !(peeked < 0 && retryable(errno));
}

Connection::Transfer Connection::transferOf(const TlsSession::Step& step)
{
    // A close while writing is a failed send to the caller, as on a plain socket.
    switch (step.status) {
    case TlsSession::Status::Done:
        return {Step::Data, step.size};
    case TlsSession::Status::WantRead:
        return {Step::WantRead, 0};
    case TlsSession::Status::WantWrite:
        return {Step::WantWrite, 0};
    case TlsSession::Status::Closed:
        return {Step::Closed, 0};
    case TlsSession::Status::CertificateRejected:
    case TlsSession::Status::Failed:
        return {Step::Failed, 0};
    }
    return {Step::Failed, 0};
}

Connection::Transfer Connection::readSome(char* buffer, std::size_t capacity)
{
    if (m_tls)
        return transferOf(m_tls->read(buffer, capacity));
    while (true) {
        const auto received = ::recv(m_fd, buffer, capacity, 0);
        if (received > 0)
            return {Step::Data, static_cast<std::size_t>(received)};
        if (received == 0)
            return {Step::Closed, 0};
        if (errno == EINTR)
            continue;
        return {retryable(errno) ? Step::WantRead : Step::Failed, 0};
    }
}

Connection::Transfer Connection::writeSome(const char* data, std::size_t size)
{
    if (m_tls)
        return transferOf(m_tls->write(data, size));
    while (true) {
        const auto sent = ::send(m_fd, data, size, MSG_NOSIGNAL);
        if (sent >= 0)
            return {Step::Data, static_cast<std::size_t>(sent)};
        if (errno == EINTR)
            continue;
        return {retryable(errno) ? Step::WantWrite : Step::Failed, 0};
    }
}

FetchError Connection::send(std::string_view bytes, const AbortSignal& abort,
                            std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        if (abort.raised())
            return FetchError::Aborted;
        const Transfer transfer = writeSome(bytes.data(), bytes.size());
        short events = POLLOUT;
        switch (transfer.step) {
        case Step::Data:
            bytes.remove_prefix(transfer.size);
            continue;
        case Step::WantRead:
            events = POLLIN;
            break;
        case Step::WantWrite:
            break;
        case Step::Closed:
        case Step::Failed:
            return FetchError::SendFailed;
        }
        switch (waitForDescriptor(m_fd, events, abort, deadline)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Aborted:
            return FetchError::Aborted;
        case WaitResult::TimedOut:
        case WaitResult::Failed:
            return FetchError::SendFailed;
        }
    }
    return FetchError::None;
}

Connection::Received Connection::receive(char* buffer, std::size_t capacity,
                                         const AbortSignal& abort,
                                         std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (abort.raised())
            return {Io::Aborted, 0};
        const Transfer transfer = readSome(buffer, capacity);
        short events = POLLIN;
        switch (transfer.step) {
        case Step::Data:
            return {Io::Ok, transfer.size};
        case Step::Closed:
            return {Io::Closed, 0};
        case Step::Failed:
            return {Io::Failed, 0};
        case Step::WantRead:
            break;
        case Step::WantWrite:
            events = POLLOUT;
            break;
        }
        switch (waitForDescriptor(m_fd, events, abort, deadline)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Aborted:
            return {Io::Aborted, 0};
        case WaitResult::TimedOut:
            return {Io::TimedOut, 0};
        case WaitResult::Failed:
            return {Io::Failed, 0};
        }
    }
}

}  // namespace vel
