#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/search/link_scanner.h"
#include "core/search/reference_scanner.h"
#include "support/scanned_links.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::string_view kMarker = "http://";
constexpr std::string_view kOpener = "=\"";
constexpr std::string_view kSuffix = ".gif";

// A board page as the program meets them: links, images, relative thumbnails
// and Shift-JIS prose, repeated to the size asked for.
std::string typicalPage(std::size_t size)
{
    std::string page = "<html><head><title>\x8c\x66\x8e\xa6\x94\xc2</title></head><body>\n";
    for (int i = 0; page.size() < size; ++i) {
        const std::string n = std::to_string(i);
        page += "<div class=\"post\"><a href=\"http://www.example.com/board/thread" + n
            + ".html\">\x83\x58\x83\x8c\x83\x62\x83\x68</a> <img src=\"http://img.example.com/pics/"
            + n + ".gif\" alt=\"pic\"> <a href=\"/thumbs/" + n + ".jpg\"><img src=\"thumbs/s" + n
            + ".gif\" width=\"80\"></a>\n"
              "<p>\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd\x82\xc5\x82\xb7\x81\x42 see "
              "http://www.example.com/ for more</p></div>\n";
    }
    page.resize(size);
    return page;
}

// Many links that are all rejected (quotes and brackets between them and the
// suffix) and one ".gif" at the very end, so every marker is paired with the
// same far suffix.
std::string rejectedLinksPage(std::size_t size, int links)
{
    const std::size_t chunk = size / static_cast<std::size_t>(links);
    std::string page;
    page.reserve(size + 64);
    for (int i = 0; i < links; ++i) {
        std::string piece = "<a href=\"http://h/" + std::to_string(i) + ".html\">x</a> ";
        piece.resize(chunk > piece.size() ? chunk : piece.size(), 'a');
        page += piece;
    }
    page += "http://h/last.gif";
    return page;
}

// One long run of lead bytes, then many rejected attribute values each followed
// by a run of lead bytes (even, so every opener begins a character), and a
// single suffix at the end.
std::string leadRunPage(std::size_t size)
{
    std::string page(size / 10, '\x81');
    while (page.size() < size) {
        page += "=\" ";
        page.append(98, '\x83');
    }
    page += "=\"a.gif";
    return page;
}

const std::string& page(int which)
{
    static const std::vector<std::string> pages = {
        typicalPage(10 * kMiB),
        rejectedLinksPage(10 * kMiB, 100000),
        leadRunPage(10 * kMiB),
        rejectedLinksPage(1 * kMiB, 10000),
        rejectedLinksPage(kMiB / 4, 2500),
    };
    return pages[static_cast<std::size_t>(which)];
}

enum Page { Typical, Hostile, LeadRuns, Hostile1MiB, Hostile256KiB };

template <typename Scan>
void runScan(benchmark::State& state, Scan scan, std::string_view marker, int which)
{
    const std::string& source = page(which);
    std::size_t found = 0;
    for (auto _ : state) {
        auto links = scan(source, marker, kSuffix);
        found = links.size();
        benchmark::DoNotOptimize(links);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
    state.counters["links"] = static_cast<double>(found);
}

void BM_ScanAbsoluteLinks(benchmark::State& state, int which)
{
    runScan(
        state,
        [](std::string_view source, std::string_view marker, std::string_view suffix) {
            return vel::test::scanAbsoluteLinks(source, marker, suffix);
        },
        kMarker, which);
}

void BM_ScanRelativeLinks(benchmark::State& state, int which)
{
    runScan(
        state,
        [](std::string_view source, std::string_view marker, std::string_view suffix) {
            return vel::test::scanRelativeLinks(source, marker, suffix);
        },
        kOpener, which);
}

// The loop as written, for comparison on smaller hostile pages.
void BM_ReferenceScanAbsoluteLinks(benchmark::State& state, int which)
{
    runScan(state, vel::reference::scanAbsolute, kMarker, which);
}

}  // namespace

BENCHMARK_CAPTURE(BM_ScanAbsoluteLinks, typical_10MiB, Typical)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanAbsoluteLinks, hostile_10MiB, Hostile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanAbsoluteLinks, lead_runs_10MiB, LeadRuns)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanAbsoluteLinks, hostile_1MiB, Hostile1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanRelativeLinks, typical_10MiB, Typical)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanRelativeLinks, hostile_10MiB, Hostile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanRelativeLinks, lead_runs_10MiB, LeadRuns)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanRelativeLinks, hostile_1MiB, Hostile1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReferenceScanAbsoluteLinks, hostile_256KiB, Hostile256KiB)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReferenceScanAbsoluteLinks, hostile_1MiB, Hostile1MiB)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
