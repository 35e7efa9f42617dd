#include <memory>
#include <string>
#include <vector>

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include "gui/browser/web_engine_pane.h"
#include "support/http_test_server.h"
#include "support/qt_test_main.h"

namespace vel {

namespace {

constexpr int kLoadTimeout = 60000;

std::string onePixel()
{
    return QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7")
        .toStdString();
}

// The test's pages, read from the source tree.
std::string testPage(const char* name)
{
    QFile file(QStringLiteral(VEL_TEST_PAGES "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("test page missing");
    return file.readAll().toStdString();
}

}  // namespace

// The collection on the real browser engine, against pages from a loopback server.
class PageResourcesTest final : public QObject {
    Q_OBJECT

private:
    test::HttpTestServer m_server;
    std::unique_ptr<WebEnginePane> m_pane;

    QString url(const char* path) const { return QString::fromStdString(m_server.url(path)); }

    PageResources collect()
    {
        PageResources answer;
        bool answered = false;
        int calls = 0;
        m_pane->collectPageResources([&](const PageResources& resources) {
            answer = resources;
            answered = true;
            ++calls;
        });
        // The answer never comes before the call returns.
        if (answered)
            qFatal("answered before returning");
        [&] { QTRY_VERIFY_WITH_TIMEOUT(answered, kLoadTimeout); }();
        QTest::qWait(50);
        if (calls != 1)
            qFatal("answered more than once");
        return answer;
    }

    void load(const char* path)
    {
        QSignalSpy completed(m_pane.get(), &BrowserPane::navigateComplete);
        m_pane->navigate(url(path));
        QTRY_VERIFY_WITH_TIMEOUT(completed.count() > 0, kLoadTimeout);
    }

private slots:
    void initTestCase()
    {
        for (const char* path :
             {"/og/cover.jpg", "/img/plain.jpg", "/img/lazy.jpg", "/img/small.jpg", "/img/w320.jpg",
              "/img/w640.jpg?crop=1,2", "/img/w1280.jpg", "/img/pic.webp", "/img/pic.jpg",
              "/img/pic-fallback.jpg", "/img/css-bg.jpg", "/img/inline.jpg", "/img/poster.jpg",
              "/img/scripted.jpg", "/img/preloaded.jpg", "/framed/in-frame.jpg",
              "/framed/frame-bg.jpg"})
            m_server.route(path, test::page("image/gif", onePixel()));
        m_server.route("/css/site.css",
                       test::page("text/css", ".bg { background-image: url(../img/css-bg.jpg) }"));
        m_server.route("/gallery.html", test::page("text/html", testPage("gallery.html")));
        m_server.route("/frame.html", test::page("text/html", testPage("frame.html")));
        m_server.route("/empty.html", test::page("text/html", "<html><body></body></html>"));
        m_pane = std::make_unique<WebEnginePane>();
        m_pane->widget()->resize(800, 600);
        m_pane->widget()->show();
    }

    void cleanupTestCase() { m_pane.reset(); }

    void nothingShownIsBlank()
    {
        const PageResources answer = collect();
        QCOMPARE(answer.status, PageResources::Status::Blank);
        QVERIFY(answer.urls.isEmpty());
    }

    void everyKindOfReferenceIsCollected()
    {
        load("/gallery.html");
        const QStringList wanted{
            url("/og/cover.jpg"),
            url("/favicon.png"),
            url("/css/site.css"),
            url("/img/plain.jpg"),
            url("/img/lazy.jpg"),
            url("/img/original.jpg"),
            url("/img/lazy-unquoted.jpg"),
            url("/img/small.jpg"),
            url("/img/w320.jpg"),
            url("/img/w640.jpg?crop=1,2"),
            url("/img/w1280.jpg"),
            url("/img/pic.webp"),
            url("/img/pic@2x.webp"),
            url("/img/pic.jpg"),
            url("/img/pic-fallback.jpg"),
            url("/img/css-bg.jpg"),
            url("/img/inline.jpg"),
            url("/img/ds1.jpg"),
            url("/img/ds2.jpg"),
            QStringLiteral("https://cdn.example/full/a.jpg"),
            QStringLiteral("https://cdn.example/full/b.jpg"),
            url("/img/linked.jpg#zoom"),
            url("/img/poster.jpg"),
            url("/media/clip.mp4"),
            url("/media/clip.webm"),
            url("/media/sound.mp3"),
            url("/frame.html"),
            url("/framed/in-frame.jpg"),
            url("/framed/frame-bg.jpg"),
            url("/img/scripted.jpg"),
            url("/img/hover.jpg"),
            url("/img/preloaded.jpg"),
        };
        // A resource the page loads by script alone is known once it has loaded.
        PageResources answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer = collect()).urls.contains(url("/img/preloaded.jpg")),
                                 kLoadTimeout);
        QCOMPARE(answer.status, PageResources::Status::Collected);
        QStringList missing;
        for (const QString& one : wanted) {
            if (!answer.urls.contains(one))
                missing << one;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
        QCOMPARE(answer.urls.removeDuplicates(), 0);
        for (const QString& one : answer.urls) {
            QVERIFY2(!one.startsWith(QStringLiteral("data:"))
                         && !one.startsWith(QStringLiteral("blob:"))
                         && !one.startsWith(QStringLiteral("javascript:")),
                     qPrintable(one));
        }
        // Document order: the head, the body in order, the frame at its place,
        // the inserted image after it.
        const auto at = [&](const char* path) { return answer.urls.indexOf(url(path)); };
        QVERIFY(at("/og/cover.jpg") < at("/img/plain.jpg"));
        QVERIFY(at("/img/plain.jpg") < at("/img/lazy.jpg"));
        QVERIFY(at("/img/w320.jpg") < at("/img/w640.jpg?crop=1,2"));
        QVERIFY(at("/img/pic.webp") < at("/img/pic-fallback.jpg"));
        QVERIFY(at("/img/pic-fallback.jpg") < at("/img/css-bg.jpg"));
        QVERIFY(at("/frame.html") < at("/framed/in-frame.jpg"));
        QVERIFY(at("/framed/frame-bg.jpg") < at("/img/scripted.jpg"));
    }

    // The program joins plain values to the base itself and leaves the rest to
    // the browser: either way each URL must be the one the browser gives.
    void everyValueResolvesAsTheBrowserResolvesIt()
    {
        const std::vector<std::string> values{"plain.jpg",
                                              "sub/dir/x.jpg?w=1&amp;h=2",
                                              "/rooted/y.jpg",
                                              "q.jpg?a=b:c/d?e",
                                              "http://cdn.site.test/a.jpg",
                                              "https://cdn.site.test",
                                              "https://cdn.site.test?q=1",
                                              "https://cdn.site.test./t.jpg",
                                              "%E5%86%99%E7%9C%9F.jpg",
                                              "%e5%86%99.jpg?x=%E5",
                                              "a%41b.jpg",
                                              "a%7e.jpg",
                                              "%2e%2e/up.jpg",
                                              "./dot.jpg",
                                              "../parent.jpg",
                                              "a/./b/../c.jpg",
                                              "HTTP://Upper.Site.TEST/U.jpg",
                                              "http://site.test:80/port.jpg",
                                              "https://site.test:8443/port.jpg",
                                              "http://1.2.3.4/ip.jpg",
                                              "http://a.0x1/hex.jpg",
                                              "http://user@site.test/u.jpg",
                                              "//other.test/s.jpg",
                                              "?only=query",
                                              "frag.jpg#top",
                                              "with space.jpg",
                                              "back\\slash.jpg",
                                              "tab\tin.jpg",
                                              "画像.jpg",
                                              "q.jpg?it's",
                                              "it's.jpg",
                                              ".hidden.jpg",
                                              "a:b.jpg",
                                              "https://xn--n3h.test/x.jpg",
                                              "https://bad..host/x.jpg",
                                              "  padded.jpg  "};
        std::string body = "<!doctype html><html><body>";
        for (const std::string& value : values)
            body += "<a href=\"" + value + "\">x</a>";
        body += "</body></html>";
        m_server.route("/dir/resolve.html", test::page("text/html; charset=utf-8", body));
        load("/dir/resolve.html");
        const PageResources answer = collect();
        QCOMPARE(answer.status, PageResources::Status::Collected);

        QVariant browser;
        bool answered = false;
        m_pane->view()->page()->runJavaScript(
            QStringLiteral(
                "Array.from(document.querySelectorAll('a'), (a) => {"
                "  try { return new URL(a.getAttribute('href'), document.baseURI).href; }"
                "  catch (e) { return ''; } })"),
            [&](const QVariant& result) {
                browser = result;
                answered = true;
            });
        QTRY_VERIFY_WITH_TIMEOUT(answered, kLoadTimeout);
        QStringList expected;
        for (const QVariant& href : browser.toList()) {
            if (!href.toString().isEmpty() && !expected.contains(href.toString()))
                expected << href.toString();
        }
        // Only "http://a.0x1/" is no URL at all (its host ends in a number).
        QCOMPARE(static_cast<std::size_t>(expected.size()), values.size() - 1);
        QStringList collected = answer.urls;
        collected.removeAll(url("/favicon.ico"));
        QCOMPARE(collected, expected);
    }

    // A style sheet from another origin cannot be read by script; the
    // pictures it gives elements are still found, even on one not shown
    // (whose picture the browser never loads).
    void anotherOriginsSheetIsReadThroughTheStyles()
    {
        const std::string crossOrigin =
            "http://localhost:" + std::to_string(m_server.port()) + "/css/cross.css";
        m_server.route("/css/cross.css",
                       test::page("text/css", ".far { background-image: url(/img/far.jpg) }"));
        m_server.route(
            "/cross.html",
            test::page("text/html",
                       "<html><head><link rel=\"stylesheet\" href=\"" + crossOrigin
                           + "\"></head><body><div class=\"far\" style=\"display: none\">x</div>"
                             "</body></html>"));
        load("/cross.html");
        const QString wanted =
            QStringLiteral("http://localhost:%1/img/far.jpg").arg(m_server.port());
        PageResources answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer = collect()).urls.contains(wanted), kLoadTimeout);
    }

    void anEmptyPageHasNothing()
    {
        load("/empty.html");
        PageResources answer = collect();
        QCOMPARE(answer.status, PageResources::Status::Collected);
        // The browser's own favicon request may be among the loaded resources.
        answer.urls.removeAll(url("/favicon.ico"));
        QVERIFY2(answer.urls.isEmpty(), qPrintable(answer.urls.join(QLatin1Char(' '))));
    }

    void aPageStillLoadingIsNotRead()
    {
        m_server.hold("/slow.html");
        m_server.route("/slow.html", test::page("text/html", "<img src=\"/img/plain.jpg\">"));
        QSignalSpy started(m_pane.get(), &BrowserPane::beforeNavigate);
        QSignalSpy completed(m_pane.get(), &BrowserPane::navigateComplete);
        m_pane->navigate(url("/slow.html"));
        QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kLoadTimeout);
        QCOMPARE(collect().status, PageResources::Status::Loading);
        m_server.release("/slow.html");
        QTRY_VERIFY_WITH_TIMEOUT(completed.count() > 0, kLoadTimeout);
        QCOMPARE(collect().status, PageResources::Status::Collected);
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::PageResourcesTest)

#include "page_resources_test.moc"
