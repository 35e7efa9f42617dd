// The file search on a page with 100 000 distinct links, step by step: fetch
// from a loopback server, scan, de-duplicate, fill the found-files list and fit
// its extent.
#include <string>
#include <vector>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "core/foundfiles/found_files_merge.h"
#include "core/http/http_client.h"
#include "core/search/link_scanner.h"
#include "gui/foundfiles/found_files_list.h"
#include "support/http_test_server.h"

namespace {

constexpr int kLinks = 100000;
constexpr int kFetchRounds = 10;

const std::string& page()
{
    static const std::string source = [] {
        std::string text = "<html><body>\r\n";
        for (int i = 0; i < kLinks; ++i) {
            if (i % 2 == 0)
                text +=
                    "<a href=\"http://example.test/pics/" + std::to_string(i) + ".gif\">x</a>\r\n";
            else
                text += "<img src=\"thumbs/" + std::to_string(i) + ".gif\" alt=\"t\">\r\n";
        }
        return text + "</body></html>\r\n";
    }();
    return source;
}

void BM_Fetch(benchmark::State& state)
{
    // Every round connects anew: the answer closes its connection.
    vel::test::HttpTestServer server;
    server.route("/index.html", vel::test::page("text/html", page()));
    vel::HttpClient client;
    for (auto _ : state) {
        vel::FetchResult result = client.get(server.url("/index.html"));
        if (result.outcome != vel::FetchOutcome::Success)
            state.SkipWithError("fetch failed");
        benchmark::DoNotOptimize(result.body.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_Fetch)->Iterations(kFetchRounds)->Unit(benchmark::kMillisecond);

void BM_Scan(benchmark::State& state)
{
    for (auto _ : state) {
        auto absolute = vel::ScanAbsoluteLinks(page(), "http://", ".gif");
        auto relative = vel::ScanRelativeLinks(page(), "=\"", ".gif");
        benchmark::DoNotOptimize(absolute.data());
        benchmark::DoNotOptimize(relative.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

std::vector<std::string> entries()
{
    return vel::mergeFoundFiles(vel::ScanAbsoluteLinks(page(), "http://", ".gif"),
                                vel::ScanRelativeLinks(page(), "=\"", ".gif"));
}

void BM_Deduplicate(benchmark::State& state)
{
    const auto absolute = vel::ScanAbsoluteLinks(page(), "http://", ".gif");
    const auto relative = vel::ScanRelativeLinks(page(), "=\"", ".gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(vel::mergeFoundFiles(absolute, relative).data());
    state.counters["entries"] = static_cast<double>(entries().size());
}
BENCHMARK(BM_Deduplicate)->Unit(benchmark::kMillisecond);

void BM_FillList(benchmark::State& state)
{
    const auto found = entries();
    vel::FoundFilesList list;
    list.setLayoutMode(QListView::Batched);
    list.setBatchSize(2000);
    list.resize(143, 161);
    list.show();
    for (auto _ : state) {
        list.setEntries(found);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_FillList)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_FitExtent(benchmark::State& state)
{
    const auto found = entries();
    vel::FoundFilesList list;
    list.setEntries(found);
    for (auto _ : state)
        benchmark::DoNotOptimize(list.widestEntryWidth());
}
BENCHMARK(BM_FitExtent)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
