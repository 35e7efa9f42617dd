// Fetch of a 100 MiB body from a loopback server: HttpClient::get against curl
// on the same URL in the same run. Reports MB/s and peak resident memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include "core/http/http_client.h"
#include "support/http_test_server.h"

namespace {

constexpr std::size_t kBodySize = std::size_t{100} << 20;

// Every GET of this URL gets the same 100 MiB body, made up while it is sent
// so that the server adds little to the process's memory. Connections are
// kept alive.
const std::string& bodyUrl()
{
    static vel::test::HttpTestServer server;
    static const std::string url = [] {
        server.route("/body.bin", vel::test::generated(kBodySize));
        return server.url("/body.bin");
    }();
    return url;
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
        vel::FetchResult result = client.get(bodyUrl());
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
    const std::string command = "curl -s -o /dev/null " + bodyUrl();
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
