// The download history at a million records: opening it (with its
// quick_check), looking up the 100 000 URLs of a found-files list (half of
// them held) in one call, and recording 10 000 files one by one, as a batch
// records them, and in one transaction; with the database's size on disk.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/history/download_history.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 1'000'000;
constexpr int kLookups = 100'000;
constexpr int kNewFiles = 10'000;

// A file of a gallery site as a batch records it; `n` numbers it uniquely.
vel::HistoryRecord galleryFile(std::int64_t n)
{
    char url[128];
    std::snprintf(url, sizeof url, "https://img%lld.example.com/gallery/%07lld/photo_%07lld.jpg",
                  static_cast<long long>(n % 50), static_cast<long long>(n / 100),
                  static_cast<long long>(n));
    char path[96];
    std::snprintf(path, sizeof path, "20261208/site%lld/photo_%07lld.jpg",
                  static_cast<long long>(n % 50), static_cast<long long>(n));
    char hash[65];
    std::snprintf(hash, sizeof hash, "%016llx%016llx%016llx%016llx",
                  static_cast<unsigned long long>(n) * 0x9E3779B97F4A7C15ULL,
                  static_cast<unsigned long long>(n) ^ 0xC2B2AE3D27D4EB4FULL,
                  static_cast<unsigned long long>(n) * 0x165667B19E3779F9ULL,
                  static_cast<unsigned long long>(n) + 0x27D4EB2F165667C5ULL);
    vel::HistoryRecord record;
    record.url = url;
    record.localPath = path;
    record.size = 50'000 + n % 400'000;
    record.sha256 = hash;
    record.storedAt = 1'796'810'400 + n;
    record.siteNumber = static_cast<int>(n % 50) + 1;
    record.siteName = "\x83T\x83"
                      "C\x83g"
        + std::to_string(n % 50);
    record.siteUrl = "https://img" + std::to_string(n % 50) + ".example.com/";
    record.pageUrl = record.siteUrl + "gallery/" + std::to_string(n / 100) + ".html";
    return record;
}

std::uintmax_t sizeOnDisk(const fs::path& file)
{
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file.string() + suffix, error);
        if (!error)
            total += size;
    }
    return total;
}

// One history of a million records for the whole run.
struct Fixture {
    Fixture()
    {
        std::unique_ptr<vel::DownloadHistory> history = vel::DownloadHistory::open(file).history;
        std::vector<vel::HistoryRecord> chunk;
        for (int n = 0; n < kRecords; ++n) {
            chunk.push_back(galleryFile(n));
            if (chunk.size() == 100'000) {
                history->recordAll(chunk);
                chunk.clear();
            }
        }
        history.reset();  // the last close checkpoints the journal into the file
        std::printf("history of %d records: %.1f MiB on disk\n", kRecords,
                    static_cast<double>(sizeOnDisk(file)) / (1024.0 * 1024.0));
    }

    vel::test::TempDir dir;
    fs::path file = dir.file("history.db");
    std::int64_t nextNew = kRecords;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_History_Open_1M(benchmark::State& state)
{
    for (auto _ : state) {
        vel::DownloadHistory::Opening opening = vel::DownloadHistory::open(fixture().file);
        if (opening.state != vel::HistoryOpenState::Opened)
            state.SkipWithError("the history did not open");
        benchmark::DoNotOptimize(opening);
    }
}
BENCHMARK(BM_History_Open_1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_History_Lookup_100k_Of_1M(benchmark::State& state)
{
    const std::unique_ptr<vel::DownloadHistory> history =
        vel::DownloadHistory::open(fixture().file).history;
    std::vector<std::string> urls;
    for (int i = 0; i < kLookups; ++i) {
        // Every other URL is held, spread over the whole history.
        urls.push_back(i % 2 == 0 ? galleryFile(static_cast<std::int64_t>(i) * 9).url
                                  : galleryFile(kRecords * 4LL + i).url);
    }
    std::size_t held = 0;
    for (auto _ : state) {
        const std::vector<std::optional<vel::HistoryRecord>> answers = history->lookup(urls);
        held = 0;
        for (const auto& answer : answers)
            held += answer.has_value();
        benchmark::DoNotOptimize(answers);
    }
    if (held != kLookups / 2)
        state.SkipWithError("wrong answers");
    state.counters["urls"] = kLookups;
}
BENCHMARK(BM_History_Lookup_100k_Of_1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_History_Record_10k_OneByOne(benchmark::State& state)
{
    const std::unique_ptr<vel::DownloadHistory> history =
        vel::DownloadHistory::open(fixture().file).history;
    for (auto _ : state) {
        for (int i = 0; i < kNewFiles; ++i) {
            if (!history->record(galleryFile(fixture().nextNew++)))
                state.SkipWithError("a record failed");
        }
    }
    state.counters["files"] = kNewFiles;
}
BENCHMARK(BM_History_Record_10k_OneByOne)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_History_Record_10k_OneTransaction(benchmark::State& state)
{
    const std::unique_ptr<vel::DownloadHistory> history =
        vel::DownloadHistory::open(fixture().file).history;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<vel::HistoryRecord> records;
        for (int i = 0; i < kNewFiles; ++i)
            records.push_back(galleryFile(fixture().nextNew++));
        state.ResumeTiming();
        if (!history->recordAll(records))
            state.SkipWithError("recording failed");
    }
    state.counters["files"] = kNewFiles;
}
BENCHMARK(BM_History_Record_10k_OneTransaction)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    std::printf("after the runs: %.1f MiB on disk\n",
                static_cast<double>(sizeOnDisk(fixture().file)) / (1024.0 * 1024.0));
    benchmark::Shutdown();
    return 0;
}
