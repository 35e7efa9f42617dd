#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <QDateTime>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QTest>

#include "core/download/browser_cookies.h"
#include "core/download/download_all.h"
#include "core/download/download_plan.h"
#include "core/foundfiles/live_entries.h"
#include "core/io/directory_handle.h"
#include "gui/browser/profile_cookies.h"
#include "gui/browser/web_engine_pane.h"
#include "support/http_test_server.h"
#include "support/qt_test_main.h"
#include "support/recording_observer.h"
#include "support/temp_dir.h"

namespace vel {

namespace {

constexpr int kLoadTimeout = 60000;

bool hasCookie(const std::vector<BrowserCookie>& cookies, const std::string& name)
{
    return std::any_of(cookies.begin(), cookies.end(),
                       [&name](const BrowserCookie& c) { return c.name == name; });
}

}  // namespace

// The profile's cookies on the real browser engine: what a page sets reaches
// the downloads of the entries collected from it.
class ProfileCookiesTest final : public QObject {
    Q_OBJECT

private:
    test::HttpTestServer m_server;
    std::unique_ptr<WebEnginePane> m_pane;

private slots:
    void conversionKeepsDomainKindPathSecureAndExpiry()
    {
        QNetworkCookie domainCookie("d", "1");
        domainCookie.setDomain(QStringLiteral(".Example.com"));
        domainCookie.setPath(QStringLiteral("/img"));
        domainCookie.setSecure(true);
        domainCookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(1'800'000'000));
        const BrowserCookie d = browserCookieFrom(domainCookie);
        QCOMPARE(d.domain, std::string("example.com"));
        QVERIFY(!d.hostOnly);
        QCOMPARE(d.path, std::string("/img"));
        QVERIFY(d.secure);
        QVERIFY(d.expires == std::chrono::sys_seconds{std::chrono::seconds{1'800'000'000}});

        QNetworkCookie hostCookie("h", "2");
        hostCookie.setDomain(QStringLiteral("img.example.com"));
        const BrowserCookie h = browserCookieFrom(hostCookie);
        QVERIFY(h.hostOnly);
        QCOMPARE(h.domain, std::string("img.example.com"));
        QCOMPARE(h.path, std::string("/"));
        QVERIFY(!h.secure);
        QVERIFY(!h.expires);
    }

    void aCookieThePageSetGoesWithTheDownloadsOfItsEntries()
    {
        m_server.route("/members/page.html",
                       test::reply("200 OK", "<html><body><img src=\"photo.jpg\"></body></html>",
                                   "Content-Type: text/html\r\n"
                                   "Set-Cookie: member=yes; Path=/members\r\n"
                                   "Set-Cookie: elsewhere=no; Path=/other\r\n"));
        m_server.route("/members/photo.jpg", test::page("image/jpeg", "JPEG"));
        m_pane = std::make_unique<WebEnginePane>();
        QSignalSpy completed(m_pane.get(), &BrowserPane::navigateComplete);
        const std::string page = m_server.url("/members/page.html");
        m_pane->navigate(QString::fromStdString(page));
        QTRY_VERIFY_WITH_TIMEOUT(completed.count() > 0, kLoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(hasCookie(m_pane->browserCookies(), "member"), kLoadTimeout);

        PageResources resources;
        bool answered = false;
        m_pane->collectPageResources([&](const PageResources& r) {
            resources = r;
            answered = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(answered, kLoadTimeout);
        std::vector<std::string> urls;
        for (const QString& url : resources.urls)
            urls.push_back(url.toStdString());
        const LiveEntries live = liveEntries(urls, "jpg", {}, page, 100);
        QCOMPARE(live.entries.size(), std::size_t{1});

        test::TempDir folder;
        DownloadBatch batch;
        batch.browserCookies = m_pane->browserCookies();
        batch.now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        batch.items = planDownload(live.entries, {}, {}, batch.browserCookies, batch.now);
        DirectoryHandle target = DirectoryHandle::open(folder.path());
        batch.targetFolder = target.get();
        test::RecordingObserver observer;
        CurlDownloader().downloadAll(batch, observer);
        QVERIFY(observer.failed.empty());

        // The browser fetched the picture too: the batch's request is VEL's own.
        std::string head;
        for (const std::string& request : m_server.requests()) {
            if (test::requestTarget(request) == "/members/photo.jpg"
                && request.find("\r\nUser-Agent: roviroze\r\n") != std::string::npos)
                head = request;
        }
        QVERIFY(!head.empty());
        QVERIFY2(head.find("\r\nCookie: member=yes\r\n") != std::string::npos, head.c_str());
        QVERIFY2(head.find("\r\nReferer: " + page + "\r\n") != std::string::npos, head.c_str());
        QCOMPARE(test::readBytes(folder.path() / "photo.jpg"), std::string("JPEG"));
        m_pane.reset();
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::ProfileCookiesTest)
#include "profile_cookies_test.moc"
