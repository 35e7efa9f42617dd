// The thumbnail grid over a list of 1 000 pictures on a loopback server:
// the first screen of thumbnails after switching the grid on (target: under
// 1 s), the longest stall of the GUI thread while scrolling from top to
// bottom (target: under 50 ms), and the memory the run takes; a 30-megapixel
// JPEG and a PNG claiming 100 000 × 100 000 pixels decoded at thumbnail size
// without a large allocation.
#include <algorithm>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "core/download/curl_global.h"
#include "gui/foundfiles/found_files_model.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/thumbnails/picture_decoder.h"
#include "gui/thumbnails/thumbnail_controller.h"
#include "gui/thumbnails/thumbnail_grid.h"
#include "support/http_test_server.h"

namespace {

constexpr int kPictures = 1000;

long maxRssMib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::string encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// The found-files panel and the grid as the window places them.
struct Window {
    QWidget client;
    vel::FoundFilesPanel* panel = new vel::FoundFilesPanel(&client);
    QWidget* browser = new QWidget(&client);
    vel::EntrySource source;
    vel::ThumbnailController* thumbnails = nullptr;

    Window()
    {
        client.resize(782, 519);
        browser->setGeometry(-1, 211, 783, 310);
        vel::ThumbnailServices services;
        services.entrySource = [this]() -> const vel::EntrySource& { return source; };
        services.browserCookies = [] { return std::vector<vel::BrowserCookie>{}; };
        services.listLocked = [] { return false; };
        thumbnails = new vel::ThumbnailController(panel, browser, std::move(services), &client);
        client.show();
    }
    vel::ThumbnailGrid* grid() const { return client.findChild<vel::ThumbnailGrid*>(); }
    bool shown(int row) const
    {
        const QModelIndex index = grid()->model()->index(row, 0);
        return !index.data(vel::FoundFilesModel::ThumbnailRole).value<QImage>().isNull()
            || !index.data(vel::FoundFilesModel::ProblemRole).toString().isEmpty();
    }
};

std::vector<vel::FoundEntry> pictures(const vel::test::HttpTestServer& server)
{
    std::vector<vel::FoundEntry> entries;
    for (int i = 0; i < kPictures; ++i) {
        const std::string url = server.url("/p" + std::to_string(i) + ".jpg");
        entries.push_back({url, url});
    }
    return entries;
}

void routePictures(vel::test::HttpTestServer& server)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int i = 0; i < kPictures; ++i) {
        image.fill(QColor::fromHsv(i % 360, 200, 200));
        server.route("/p" + std::to_string(i) + ".jpg", vel::test::ok(encoded(image, "JPEG")));
    }
}

// Switching the grid on until every cell of the first screen is painted.
void BM_FirstScreen(benchmark::State& state)
{
    vel::test::HttpTestServer server;
    routePictures(server);
    for (auto _ : state) {
        Window window;
        window.panel->showSearchResult(pictures(server));
        QElapsedTimer clock;
        clock.start();
        window.thumbnails->viewAction()->trigger();
        bool done = false;
        while (!done && clock.elapsed() < 30'000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            done = true;
            for (int row = 0; row < 12; ++row)
                done = done && window.shown(row);
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_FirstScreen)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Scrolling a screen at a time from top to bottom, a step every 20 ms, while
// the pictures arrive; the longest time the GUI thread did not get back to
// its event loop is the stall.
void BM_ScrollStall(benchmark::State& state)
{
    vel::test::HttpTestServer server;
    routePictures(server);
    qint64 longest = 0;
    for (auto _ : state) {
        Window window;
        window.panel->showSearchResult(pictures(server));
        window.thumbnails->viewAction()->trigger();
        QScrollBar* bar = window.grid()->verticalScrollBar();
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, &ticks,
                         [&] { longest = std::max(longest, sinceTick.restart()); });
        ticks.start();
        QElapsedTimer clock;
        clock.start();
        while (bar->value() < bar->maximum() || !window.shown(kPictures - 1)) {
            bar->setValue(bar->value() + bar->pageStep());
            QElapsedTimer step;
            step.start();
            while (step.elapsed() < 20)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (clock.elapsed() > 120'000) {
                state.SkipWithError("the last pictures never came");
                break;
            }
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
    state.counters["peak_rss_mib"] = static_cast<double>(maxRssMib());
}
BENCHMARK(BM_ScrollStall)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Pictures far larger than a thumbnail: a 30-megapixel JPEG is decoded at a
// fraction of its pixels; a PNG that claims 100 000 × 100 000 pixels is
// refused before anything of that size is allocated.
void BM_HugePictures(benchmark::State& state)
{
    // An 8-bit picture: its encoding peaks far below the 120 MiB a full
    // decode of the JPEG to 32-bit pixels would take.
    QImage large(6000, 5000, QImage::Format_Indexed8);
    large.setColorTable({qRgb(0, 128, 128), qRgb(200, 80, 0)});
    large.fill(0);
    const std::string jpeg = encoded(large, "JPEG");
    large = QImage();
    std::string png = encoded(QImage(1, 1, QImage::Format_RGB32), "PNG");
    const char huge[] = {0, 1, static_cast<char>(0x86), static_cast<char>(0xA0)};
    png.replace(16, 4, huge, 4);
    png.replace(20, 4, huge, 4);
    const long before = maxRssMib();
    for (auto _ : state) {
        const vel::DecodedPicture photo = vel::decodePicture(jpeg, {112, 112});
        const vel::DecodedPicture claimed = vel::decodePicture(png, {112, 112});
        if (photo.image.isNull() || !claimed.image.isNull())
            state.SkipWithError("unexpected decode");
    }
    state.counters["rss_growth_mib"] = static_cast<double>(maxRssMib() - before);
}
BENCHMARK(BM_HugePictures)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const vel::CurlGlobal curl;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
