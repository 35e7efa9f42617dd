// The search of the page the browser shows, at 100 000 image URLs: the
// listing alone (the browser's list through the entry rules into the list
// widget), and a real page collected by the browser engine and listed.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <benchmark/benchmark.h>

#include "core/foundfiles/live_entries.h"
#include "core/search/file_search.h"
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

void BM_CollectAndListRealPage(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("gallery.html"));
    {
        std::ofstream page(path.toStdString());
        page << "<!doctype html><html><body>\n";
        for (int i = 0; i < kImages; ++i)
            page << "<img src=\"photos/image-" << i << ".jpg\" width=\"4\" height=\"4\">\n";
        page << "</body></html>\n";
    }
    vel::WebEnginePane pane;
    pane.widget()->resize(800, 600);
    pane.widget()->show();
    bool loaded = false;
    QObject::connect(&pane, &vel::BrowserPane::navigateComplete, &pane, [&] { loaded = true; });
    pane.navigate(QUrl::fromLocalFile(path).toString());
    QElapsedTimer waited;
    waited.start();
    while (!loaded && waited.elapsed() < 300000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!loaded) {
        state.SkipWithError("the page did not load");
        return;
    }
    for (auto _ : state) {
        vel::FoundFilesPanel panel;
        panel.show();
        bool answered = false;
        vel::PageResources resources;
        pane.collectPageResources([&](const vel::PageResources& answer) {
            resources = answer;
            answered = true;
        });
        while (!answered)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (resources.status != vel::PageResources::Status::Collected
            || listAnswer(resources.urls, panel) != kImages)
            state.SkipWithError("not every image was listed");
    }
}
BENCHMARK(BM_CollectAndListRealPage)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
