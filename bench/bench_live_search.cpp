// The search of the page the browser shows, at 100 000 image URLs: the
// listing alone (the browser's list through the entry rules into the list
// widget), and a real page collected by the browser engine and listed.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <benchmark/benchmark.h>

#include "core/foundfiles/live_entries.h"
#include "core/search/file_search.h"
#include "core/search/rendered_references.h"
#include "gui/browser/web_engine_pane.h"
#include "gui/foundfiles/found_files_panel.h"

namespace {

constexpr int kImages = 100000;
const std::string kPageUrl = "https://site.test/gallery/";

QStringList imageUrls()
{
    QStringList urls;
    urls.reserve(kImages + kImages / 10);
    for (int i = 0; i < kImages; ++i) {
        urls << QStringLiteral("https://cdn.site.test/photos/%1/image-%2.jpg?w=1280")
                    .arg(i % 97)
                    .arg(i);
        if (i % 10 == 0)
            urls << QStringLiteral("https://site.test/gallery/page-%1.html").arg(i);
    }
    return urls;
}

// What the window does with the browser's answer.
std::size_t listAnswer(const QStringList& answer, vel::FoundFilesPanel& panel)
{
    std::vector<std::string> urls;
    urls.reserve(static_cast<std::size_t>(answer.size()));
    for (const QString& url : answer)
        urls.push_back(url.toStdString());
    vel::LiveEntries found =
        vel::liveEntries(urls, "jpg", panel.entries(), kPageUrl, vel::kMaxFoundEntries);
    const std::size_t count = found.entries.size();
    panel.appendEntries(std::move(found.entries));
    QApplication::processEvents();
    return count;
}

// Reading a document of 16 or 64 MiB of bare attributes (`<img a a a ...>`):
// time and the process's peak memory so far (target: linear, and far below
// the markup's size in extra memory).
void BM_PlanBareAttributes(benchmark::State& state)
{
    vel::RenderedDocument document;
    document.baseUrl = kPageUrl;
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    document.markup.reserve(bytes + 32);
    document.markup = "<img";
    while (document.markup.size() < bytes)
        document.markup += " a";
    document.markup += " src=\"last.jpg\">";
    std::size_t urls = 0;
    for (auto _ : state)
        urls = vel::planRenderedReferences({document}).urls.size();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["urls"] = static_cast<double>(urls);
    state.counters["peak_rss_mib"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PlanBareAttributes)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ListLiveEntries(benchmark::State& state)
{
    const QStringList answer = imageUrls();
    for (auto _ : state) {
        vel::FoundFilesPanel panel;
        panel.show();
        if (listAnswer(answer, panel) != kImages)
            state.SkipWithError("not every image was listed");
    }
}
BENCHMARK(BM_ListLiveEntries)->Iterations(5)->Unit(benchmark::kMillisecond);

// The gallery pages the browser collects from: kind 0 writes plain relative
// addresses, kind 1 links each picture to a full-size one on another host,
// kind 2 writes %-escaped names, which the browser itself must resolve.
void writeGallery(const QString& path, int kind)
{
    std::ofstream page(path.toStdString());
    page << "<!doctype html><html><body>\n";
    for (int i = 0; i < kImages; ++i) {
        if (kind == 0)
            page << "<img src=\"photos/image-" << i << ".jpg\" width=\"4\" height=\"4\">\n";
        else if (kind == 1)
            page << "<div class=\"thumb\"><a href=\"https://full.site.test/p/" << i
                 << ".png\"><img src=\"photos/image-" << i
                 << ".jpg\" width=\"4\" height=\"4\"></a></div>\n";
        else
            page << "<img src=\"photos/%E5%86%99%E7%9C%9F-" << i
                 << ".jpg\" width=\"4\" height=\"4\">\n";
    }
    page << "</body></html>\n";
}

// The browser and its page stay from one repetition to the next.
std::unique_ptr<vel::WebEnginePane> pane;
int loadedKind = -1;

void destroyPane()
{
    pane.reset();
}

// Each repetition is one collection; the first runs on a page the engine has
// just loaded, the slowest case.
void BM_CollectAndListRealPage(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    if (loadedKind != kind) {
        static QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("gallery-%1.html").arg(kind));
        writeGallery(path, kind);
        pane = std::make_unique<vel::WebEnginePane>();
        pane->widget()->resize(800, 600);
        pane->widget()->show();
        bool loaded = false;
        QObject::connect(pane.get(), &vel::BrowserPane::navigateComplete, pane.get(),
                         [&] { loaded = true; });
        pane->navigate(QUrl::fromLocalFile(path).toString());
        QElapsedTimer waited;
        waited.start();
        while (!loaded && waited.elapsed() < 300000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!loaded) {
            state.SkipWithError("the page did not load");
            return;
        }
        loadedKind = kind;
    }
    for (auto _ : state) {
        vel::FoundFilesPanel panel;
        panel.show();
        bool answered = false;
        vel::PageResources resources;
        pane->collectPageResources([&](const vel::PageResources& answer) {
            resources = answer;
            answered = true;
        });
        while (!answered)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (resources.status != vel::PageResources::Status::Collected
            || listAnswer(resources.urls, panel) != kImages)
            state.SkipWithError("not every image was listed");
    }
}
BENCHMARK(BM_CollectAndListRealPage)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser engine refuses to run as root inside its sandbox.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // The pane goes before the application does.
    destroyPane();
    benchmark::Shutdown();
    return 0;
}
