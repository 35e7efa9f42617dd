// The file search on a page with 100 000 distinct links, step by step: fetch
// from a loopback server, scan, de-duplicate, fill the found-files list and fit
// its extent (target: listing and measuring 100 000 entries under 100 ms); and
// a 16 MiB page of about 890 000 links end to end (target: under 3 s, peak
// memory under 512 MiB).
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "core/foundfiles/found_files_merge.h"
#include "core/http/http_client.h"
#include "core/search/fetch_page.h"
#include "core/search/file_search.h"
#include "core/search/link_scanner.h"
#include "gui/foundfiles/found_files_list.h"
#include "support/http_test_server.h"
#include "support/scanned_links.h"

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
        auto absolute = vel::test::scanAbsoluteLinks(page(), "http://", ".gif");
        auto relative = vel::test::scanRelativeLinks(page(), "=\"", ".gif");
        benchmark::DoNotOptimize(absolute.data());
        benchmark::DoNotOptimize(relative.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

std::vector<std::string> entries()
{
    return vel::test::mergeFoundFiles(vel::test::scanAbsoluteLinks(page(), "http://", ".gif"),
                                      vel::test::scanRelativeLinks(page(), "=\"", ".gif"));
}

void BM_Deduplicate(benchmark::State& state)
{
    const auto absolute = vel::test::scanAbsoluteLinks(page(), "http://", ".gif");
    const auto relative = vel::test::scanRelativeLinks(page(), "=\"", ".gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(vel::test::mergeFoundFiles(absolute, relative).data());
    state.counters["entries"] = static_cast<double>(entries().size());
}
BENCHMARK(BM_Deduplicate)->Unit(benchmark::kMillisecond);

std::vector<vel::FoundEntry> foundEntries()
{
    return vel::scanFetchedPage(page(), "gif", "http://example.test/", "").entries;
}

// What the window does with a search's entries: fill the list in one step,
// measure its extent, and lay it out on screen.
void BM_ListAndMeasure(benchmark::State& state)
{
    const std::vector<vel::FoundEntry> found = foundEntries();
    vel::FoundFilesList list;
    list.resize(143, 161);
    list.show();
    for (auto _ : state) {
        list.setEntries(found, vel::PageCharset::CodePage);
        list.setHorizontalExtent(list.widestEntryWidth());
        QApplication::processEvents();
    }
    state.counters["entries"] = static_cast<double>(list.count());
}
BENCHMARK(BM_ListAndMeasure)->Iterations(5)->Unit(benchmark::kMillisecond);

long maxRssMib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A 16 MiB page of about 890 000 distinct short links, end to end: fetched
// from a loopback server, scanned and de-duplicated, listed and measured.
void BM_SearchLargePage(benchmark::State& state)
{
    std::string large = "<html><body>\r\n";
    for (int i = 0; large.size() < 16u * 1024 * 1024; ++i)
        large += "<a  s=\"" + std::to_string(i) + ".gif\">";
    vel::test::HttpTestServer server;
    server.route("/large.html", vel::test::page("text/html", large));
    large.clear();
    large.shrink_to_fit();
    vel::HttpClient client;
    vel::FoundFilesList list;
    list.resize(143, 161);
    list.show();
    std::size_t listed = 0;
    for (auto _ : state) {
        vel::FetchedPage fetched;
        if (vel::fetchPageSource(client, server.url("/large.html"), fetched)
            != vel::PageFetchVerdict::Page)
            state.SkipWithError("fetch failed");
        vel::FileSearchResult result =
            vel::scanFetchedPage(fetched.source, "gif", fetched.finalUrl, fetched.contentType);
        fetched = vel::FetchedPage{};
        listed = result.entries.size();
        list.setEntries(std::move(result.entries), result.charset);
        list.setHorizontalExtent(list.widestEntryWidth());
        QApplication::processEvents();
    }
    state.counters["entries"] = static_cast<double>(listed);
    state.counters["peak_rss_mib"] = static_cast<double>(maxRssMib());
}
BENCHMARK(BM_SearchLargePage)->Iterations(2)->Unit(benchmark::kMillisecond);

// A page of "<base href" without an end, 1, 4 and 16 MiB: the scan stays
// linear in the page size (a few ms per MiB, not minutes).
void BM_ScanBaseHrefPage(benchmark::State& state)
{
    std::string hostile;
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    while (hostile.size() < bytes)
        hostile += "<base href";
    for (auto _ : state) {
        vel::FileSearchResult result =
            vel::scanFetchedPage(hostile, "gif", "http://example.test/", "text/html");
        benchmark::DoNotOptimize(result.entries.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(hostile.size()));
}
BENCHMARK(BM_ScanBaseHrefPage)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

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
