// The patrol over 20 sites of 50 files each, every request (page or file)
// answered after 25 ms as a distant server answers: a first patrol that
// brings every file home, then a second one where nothing is new, whose cost
// should be its 20 pages alone (at most a quarter of the first's time).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/download/curl_global.h"
#include "core/download/download_all.h"
#include "core/history/download_history.h"
#include "core/http/http_client.h"
#include "core/patrol/patrol.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSites = 20;
constexpr int kFilesPerSite = 50;
constexpr auto kLatency = std::chrono::milliseconds(25);
constexpr std::size_t kFileSize = 16 * 1024;

class QuietPatrol final : public vel::PatrolObserver {
public:
    void siteStarted(std::size_t, std::size_t, std::string_view, std::string_view) override {}
    void siteFinished(std::size_t, const vel::SiteReport&) override {}
    void patrolFinished(const vel::PatrolSummary&, std::string_view) override {}
    bool cancelled() override { return false; }
};

vel::test::Route slow(vel::test::Route route)
{
    route.latency = kLatency;
    return route;
}

struct Fixture {
    Fixture()
    {
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        for (int s = 0; s < kSites; ++s) {
            const std::string dir = "/site" + std::to_string(s) + "/";
            std::string page;
            for (int f = 0; f < kFilesPerSite; ++f) {
                const std::string name = "f" + std::to_string(f) + ".gif";
                page += "<img src=\"" + name + "\">\n";
                // Every file its own bytes, so no content is deduplicated.
                std::string body = dir + name;
                body.resize(kFileSize, 'x');
                server.route(dir + name, slow(vel::test::ok(std::move(body))));
            }
            server.route(dir, slow(vel::test::page("text/html", page)));
            sites.push_back({s + 1, s + 1, "site " + std::to_string(s), server.url(dir)});
        }
    }

    vel::test::HttpTestServer server;
    vel::test::TempDir scratch;
    std::vector<vel::PatrolSite> sites;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

// One patrol's time in seconds; `ok` turns false unless it stored `expected` files.
double patrol(const fs::path& work, vel::DownloadHistory& history, std::size_t expected, bool& ok)
{
    vel::PatrolRequest request;
    request.sites = fixture().sites;
    request.extension = "gif";
    request.downloadRoot = work;
    request.dateFolder = "20260102";
    request.history = &history;
    vel::HttpClient client;
    vel::CurlDownloader downloader;
    QuietPatrol observer;
    const auto start = std::chrono::steady_clock::now();
    const vel::PatrolSummary summary = vel::runPatrol(request, client, downloader, observer);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ok = ok && summary.newFiles == expected && summary.failures == 0;
    return took.count();
}

void BM_Patrol_20Sites_50Files_25ms(benchmark::State& state)
{
    Fixture& f = fixture();
    const fs::path work = f.scratch.file("vel");
    double first = 0;
    double second = 0;
    for (auto _ : state) {
        fs::remove_all(work);
        fs::create_directories(work / "down");
        auto history = vel::DownloadHistory::open(work / "history.db").history;
        bool ok = history != nullptr;
        if (ok) {
            first = patrol(work, *history, kSites * kFilesPerSite, ok);
            second = patrol(work, *history, 0, ok);
        }
        if (!ok)
            state.SkipWithError("a patrol failed, or stored what it should not");
        state.SetIterationTime(first + second);
    }
    fs::remove_all(work);
    state.counters["first_s"] = first;
    state.counters["second_s"] = second;
    state.counters["second_over_first"] = first > 0 ? second / first : 0;
}

BENCHMARK(BM_Patrol_20Sites_50Files_25ms)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv)
{
    // As in the program: libcurl is set up before the server's thread starts.
    const vel::CurlGlobal curl;
    if (!curl.ready())
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
