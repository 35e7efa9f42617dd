// The batch download against a loopback server, each beside wget in the same
// run on the same server: 500 files of 64 KiB (`wget -i`), one file of 1 GiB
// (`wget URL`) and 120 files of 64 KiB answered after 25 ms each, as a distant
// server answers (`wget -i`); with the peak resident memory, which must grow
// neither with the file's size nor with the list's length.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "core/download/curl_global.h"
#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/io/directory_handle.h"
#include "support/http_test_server.h"
#include "support/listed_entries.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSmallCount = 500;
constexpr int kLatencyCount = 120;
constexpr auto kLatency = std::chrono::milliseconds(25);
constexpr std::uint64_t kSmallSize = 64 * 1024;
constexpr std::uint64_t kBigSize = std::uint64_t{1} << 30;

class QuietObserver final : public vel::DownloadObserver {
public:
    void setStatusText(std::string_view) override {}
    void setProgressRange(int, int) override {}
    void setProgress(int) override {}
    void showMessage(std::string_view) override {}
    void entryFailed(std::size_t) override { ++failures; }
    bool cancelled() override { return false; }

    int failures = 0;
};

// One server and one scratch folder for the whole run.
struct Fixture {
    Fixture()
    {
        // Traffic stays on 127.0.0.1 for both programs.
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        for (int i = 0; i < kSmallCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/small/f%03d.bin", i);
            server.route(name, vel::test::generated(kSmallSize));
            smallList.push_back(server.url(name));
        }
        for (int i = 0; i < kLatencyCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/far/f%03d.bin", i);
            vel::test::Route route = vel::test::generated(kSmallSize);
            route.latency = kLatency;
            server.route(name, route);
            latencyList.push_back(server.url(name));
        }
        server.route("/big/huge.bin", vel::test::generated(kBigSize));
        bigList.push_back(server.url("/big/huge.bin"));
    }

    vel::test::HttpTestServer server;
    vel::test::TempDir scratch;
    std::vector<std::string> smallList;
    std::vector<std::string> bigList;
    std::vector<std::string> latencyList;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

long maxRssKib(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_maxrss;
}

std::uint64_t folderBytes(const fs::path& folder)
{
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            total += entry.file_size();
    }
    return total;
}

void runDownloadAll(benchmark::State& state, const std::vector<std::string>& list,
                    std::uint64_t expected)
{
    Fixture& f = fixture();
    const fs::path work = f.scratch.file("vel");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::create_directories(work / "down");
        const long before = maxRssKib(RUSAGE_SELF);
        state.ResumeTiming();

        // Opened the way the window does it, just before the batch.
        const vel::DownloadFolder folder = vel::openDownloadFolder(work, "20240506");
        QuietObserver observer;
        vel::CurlDownloader downloader;
        downloader.downloadAll({vel::test::planListedDownload(list, ""), folder.handle.get()},
                               observer);

        state.PauseTiming();
        state.counters["maxrss_before_kib"] = static_cast<double>(before);
        state.counters["maxrss_after_kib"] = static_cast<double>(maxRssKib(RUSAGE_SELF));
        const std::uint64_t stored = folderBytes(work / "down");
        if (stored != expected || observer.failures != 0)
            state.SkipWithError(
                "an entry failed, or the stored bytes differ from the bytes served");
        fs::remove_all(work);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * expected));
}

// wget's own peak, read from /proc while it runs: the getrusage figures of a
// child start from this process's size at the fork.
long peakOfChildKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Runs wget on the list into `folder`; false when it fails.
// One URL is handed over as it is (`wget URL`), more as a list (`wget -i`).
bool runWgetOnce(const std::vector<std::string>& urls, const fs::path& listFile,
                 const fs::path& folder, long& peakKib)
{
    std::string list = listFile.string();
    std::string prefix = folder.string();
    std::string single = urls.size() == 1 ? urls.front() : std::string();
    std::vector<char*> argv{const_cast<char*>("wget"), const_cast<char*>("--no-config"),
                            const_cast<char*>("-q")};
    if (single.empty()) {
        argv.push_back(const_cast<char*>("-i"));
        argv.push_back(list.data());
    } else {
        argv.push_back(single.data());
    }
    argv.push_back(const_cast<char*>("-P"));
    argv.push_back(prefix.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "wget", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    for (;;) {
        peakKib = std::max(peakKib, peakOfChildKib(pid));
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return false;
        ::usleep(2000);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void runWget(benchmark::State& state, const std::vector<std::string>& list, std::uint64_t expected)
{
    Fixture& f = fixture();
    const fs::path work = f.scratch.file("wget");
    const fs::path listFile = f.scratch.file("list.txt");
    {
        std::ofstream out(listFile);
        for (const std::string& url : list)
            out << url << '\n';
    }
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::create_directories(work);
        long peakKib = 0;
        state.ResumeTiming();

        const bool ran = runWgetOnce(list, listFile, work, peakKib);

        state.PauseTiming();
        state.counters["wget_maxrss_kib"] = static_cast<double>(peakKib);
        if (!ran || folderBytes(work) != expected)
            state.SkipWithError("wget failed or stored other bytes");
        fs::remove_all(work);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * expected));
}

void BM_DownloadAll_500x64KiB(benchmark::State& state)
{
    runDownloadAll(state, fixture().smallList, kSmallCount * kSmallSize);
}

void BM_Wget_500x64KiB(benchmark::State& state)
{
    runWget(state, fixture().smallList, kSmallCount * kSmallSize);
}

void BM_DownloadAll_1GiB(benchmark::State& state)
{
    runDownloadAll(state, fixture().bigList, kBigSize);
}

void BM_Wget_1GiB(benchmark::State& state)
{
    runWget(state, fixture().bigList, kBigSize);
}

void BM_DownloadAll_120x64KiB_25ms(benchmark::State& state)
{
    runDownloadAll(state, fixture().latencyList, kLatencyCount * kSmallSize);
}

void BM_Wget_120x64KiB_25ms(benchmark::State& state)
{
    runWget(state, fixture().latencyList, kLatencyCount * kSmallSize);
}

BENCHMARK(BM_DownloadAll_500x64KiB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Wget_500x64KiB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DownloadAll_1GiB)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Wget_1GiB)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DownloadAll_120x64KiB_25ms)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Wget_120x64KiB_25ms)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

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
