// Fetch of a 100 MiB body from a loopback server over http and over https:
// HttpClient::get against curl on the same URLs in the same run (curl trusts
// the same test CA through --cacert). Reports MB/s and peak resident memory of
// each, and at the end the client's throughput as a share of curl's.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "core/http/http_client.h"
#include "support/http_test_server.h"
#include "support/test_ca.h"

extern char** environ;

namespace {

constexpr std::size_t kBodySize = std::size_t{100} << 20;
constexpr double kMiB = 1024.0 * 1024.0;

// One server for both schemes: every GET of /body.bin gets the same 100 MiB
// body, made up while it is sent so that the server adds little to the
// process's memory. Connections are kept alive.
struct Setup {
    vel::test::TestCa ca;
    vel::test::TrustedCaScope trust{ca};
    vel::test::HttpTestServer server{ca.issue({"127.0.0.1"})};
    Setup() { server.route("/body.bin", vel::test::generated(kBodySize)); }
};

Setup& setup()
{
    static Setup instance;
    return instance;
}

std::string bodyUrl(bool secure)
{
    return secure ? setup().server.secureUrl("/body.bin") : setup().server.url("/body.bin");
}

// A value of /proc/self/status in KiB (VmRSS, VmHWM); -1 when unreadable.
long statusKiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0)
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    }
    return -1;
}

// Starts a new peak: the kernel sets VmHWM back to the present size.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Figures {
    double megabytesPerSecond = 0;
    double peakMiB = 0;
};
std::map<std::string, Figures> figures;

void record(const std::string& name, std::int64_t bytes, double seconds, double peakMiB)
{
    figures[name] = {static_cast<double>(bytes) / 1e6 / seconds, peakMiB};
}

void BM_HttpClientGet(benchmark::State& state)
{
    const bool secure = state.range(0) == 1;
    const std::string url = bodyUrl(secure);
    vel::HttpClient client;
    resetPeak();
    const long before = statusKiB("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        vel::FetchResult result = client.get(url);
        if (result.outcome != vel::FetchOutcome::Success || result.body.size() != kBodySize) {
            state.SkipWithError(vel::describe(result.error));
            break;
        }
        benchmark::DoNotOptimize(result.body.data());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = static_cast<std::int64_t>(state.iterations() * kBodySize);
    // The rise of the peak over the size before the first fetch: what the
    // fetch held at most, body included.
    const double peakMiB = static_cast<double>(statusKiB("VmHWM") - before) / 1024.0;
    state.SetBytesProcessed(bytes);
    state.counters["peak_MiB"] = peakMiB;
    state.counters["peak_x_body"] = peakMiB * kMiB / static_cast<double>(kBodySize);
    record(secure ? "client https" : "client http", bytes, seconds, peakMiB);
}

struct CurlRun {
    double peakMiB = -1;  // -1: curl failed
    double cpuSeconds = 0;
};

// Runs curl once: its own peak resident size and processor time.
CurlRun runCurl(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        return {};
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    // ru_maxrss is in KiB.
    return {static_cast<double>(usage.ru_maxrss) / 1024.0,
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void BM_CurlGet(benchmark::State& state)
{
    const bool secure = state.range(0) == 1;
    std::vector<std::string> arguments{"curl", "-s", "-o", "/dev/null"};
    if (secure) {
        arguments.push_back("--cacert");
        arguments.push_back(setup().trust.caFile());
    }
    arguments.push_back(bodyUrl(secure));
    double peakMiB = 0;
    double cpuSeconds = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const CurlRun run = runCurl(arguments);
        if (run.peakMiB < 0) {
            state.SkipWithError("curl failed");
            break;
        }
        peakMiB = std::max(peakMiB, run.peakMiB);
        cpuSeconds += run.cpuSeconds;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = static_cast<std::int64_t>(state.iterations() * kBodySize);
    state.SetBytesProcessed(bytes);
    state.counters["curl_peak_MiB"] = peakMiB;
    // curl's own processor time per fetch (the CPU column is the waiting parent's).
    state.counters["curl_cpu_ms"] = 1000 * cpuSeconds
        / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    record(secure ? "curl https" : "curl http", bytes, seconds, peakMiB);
}

void printComparison()
{
    std::printf("\n%-8s %14s %14s %10s %16s\n", "scheme", "client MB/s", "curl MB/s", "x curl",
                "client peak MiB");
    for (const char* scheme : {"http", "https"}) {
        const auto client = figures.find(std::string("client ") + scheme);
        const auto curl = figures.find(std::string("curl ") + scheme);
        if (client == figures.end() || curl == figures.end())
            continue;
        std::printf("%-8s %14.0f %14.0f %10.2f %16.1f\n", scheme, client->second.megabytesPerSecond,
                    curl->second.megabytesPerSecond,
                    client->second.megabytesPerSecond / curl->second.megabytesPerSecond,
                    client->second.peakMiB);
    }
    std::printf("body: %.0f MiB\n", static_cast<double>(kBodySize) / kMiB);
}

}  // namespace

// curl first, so that its runs never start from a process that holds a body.
BENCHMARK(BM_CurlGet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpClientGet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printComparison();
    return 0;
}
