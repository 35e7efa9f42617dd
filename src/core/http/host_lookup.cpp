#include "core/http/host_lookup.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include "core/http/socket_wait.h"

namespace vel {

namespace {

// getaddrinfo's answer as plain addresses; empty on failure.
std::vector<SocketAddress> resolve(const std::string& host, const std::string& service, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    std::vector<SocketAddress> addresses;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0)
        return addresses;
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        address.family = entry->ai_family;
        addresses.push_back(address);
    }
    ::freeaddrinfo(list);
    return addresses;
}

// Shared by the waiting caller and the helper thread; whichever lets go last
// closes the pipe.
struct LookupJob {
    std::string host;
    std::string service;
    int readFd = -1;
    int writeFd = -1;
    std::mutex mutex;
    std::vector<SocketAddress> addresses;

    ~LookupJob()
    {
        if (readFd >= 0)
            ::close(readFd);
        if (writeFd >= 0)
            ::close(writeFd);
    }
};

}  // namespace

LookupResult lookupHost(const std::string& host, std::uint16_t port, const AbortSignal& abort,
                        std::chrono::steady_clock::time_point deadline)
{
    LookupResult result;
    const std::string service = std::to_string(port);
    result.addresses = resolve(host, service, AI_NUMERICHOST | AI_NUMERICSERV);
    if (!result.addresses.empty())
        return result;

    auto job = std::make_shared<LookupJob>();
    job->host = host;
    job->service = service;
    int fds[2];
    bool started = false;
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        job->readFd = fds[0];
        job->writeFd = fds[1];
        try {
            std::thread([job] {
                auto addresses = resolve(job->host, job->service, AI_NUMERICSERV);
                {
                    const std::lock_guard lock(job->mutex);
                    job->addresses = std::move(addresses);
                }
                const char done = 1;
                [[maybe_unused]] const auto written = ::write(job->writeFd, &done, 1);
            }).detach();
            started = true;
        } catch (const std::system_error&) {
        }
    }
    if (!started) {
        // No thread to spare: look the name up here, unabortably.
        result.addresses = resolve(host, service, AI_NUMERICSERV);
        if (result.addresses.empty())
            result.error = FetchError::LookupFailed;
        return result;
    }

    switch (waitForDescriptor(job->readFd, POLLIN, abort, deadline)) {
    case WaitResult::Ready: {
        const std::lock_guard lock(job->mutex);
        result.addresses = std::move(job->addresses);
        if (result.addresses.empty())
            result.error = FetchError::LookupFailed;
        break;
    }
    case WaitResult::TimedOut:
        result.error = FetchError::ConnectTimedOut;
        break;
    case WaitResult::Aborted:
        result.error = FetchError::Aborted;
        break;
    case WaitResult::Failed:
        result.error = FetchError::LookupFailed;
        break;
    }
    return result;
}

}  // namespace vel
