// Fetch of a 100 MiB body from a loopback server: HttpClient::get against curl
// on the same URL in the same run. Reports MB/s and peak resident memory.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "core/http/http_client.h"

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kBodySize = 100 * kBlockSize;

// Serves every GET with the same 100 MiB body, sent from one 1 MiB block so
// the server adds little to the process's memory. Keeps connections alive.
class BodyServer {
public:
    BodyServer()
        : m_block(kBlockSize, 'x')
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(m_listenFd, 16) != 0
            || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort();
        m_url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/body.bin";
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~BodyServer()
    {
        m_stop = true;
        ::shutdown(m_listenFd, SHUT_RDWR);
        m_acceptor.join();
        {
            const std::lock_guard lock(m_mutex);
            for (const int fd : m_connections)
                ::shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& worker : m_workers)
            worker.join();
        ::close(m_listenFd);
    }

    const std::string& url() const { return m_url; }

private:
    void acceptLoop()
    {
        while (!m_stop) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            const std::lock_guard lock(m_mutex);
            m_connections.push_back(fd);
            m_workers.emplace_back([this, fd] { serve(fd); });
        }
    }

    bool sendAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            const auto sent = ::send(fd, data, size, MSG_NOSIGNAL);
            if (sent <= 0)
                return false;
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    void serve(int fd)
    {
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                                 + std::to_string(kBodySize) + "\r\n\r\n";
        std::string pending;
        char buffer[4096];
        while (true) {
            while (pending.find("\r\n\r\n") == std::string::npos) {
                const auto got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    return;
                pending.append(buffer, static_cast<std::size_t>(got));
            }
            pending.erase(0, pending.find("\r\n\r\n") + 4);
            if (!sendAll(fd, head.data(), head.size()))
                return;
            for (std::size_t sent = 0; sent < kBodySize; sent += kBlockSize) {
                if (!sendAll(fd, m_block.data(), kBlockSize))
                    return;
            }
        }
    }

    std::string m_block;
    std::string m_url;
    int m_listenFd = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<int> m_connections;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};

BodyServer& server()
{
    static BodyServer instance;
    return instance;
}

double peakRssMiB(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void BM_HttpClientGet(benchmark::State& state)
{
    vel::HttpClient client;
    for (auto _ : state) {
        vel::FetchResult result = client.get(server().url());
        if (result.outcome != vel::FetchOutcome::Success || result.body.size() != kBodySize) {
            state.SkipWithError("fetch failed");
            break;
        }
        benchmark::DoNotOptimize(result.body.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
    state.counters["peak_rss_MiB"] = peakRssMiB(RUSAGE_SELF);
}

void BM_CurlGet(benchmark::State& state)
{
    const std::string command = "curl -s -o /dev/null " + server().url();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
    state.counters["curl_peak_rss_MiB"] = peakRssMiB(RUSAGE_CHILDREN);
}

}  // namespace

// curl first: a child's peak memory counts from the parent's size at fork,
// so it is measured before the client has held a 100 MiB body.
BENCHMARK(BM_CurlGet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpClientGet)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
