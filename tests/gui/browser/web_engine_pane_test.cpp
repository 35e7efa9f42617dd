#include <string>

#include "gui/browser/web_engine_pane.h"
#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace {

constexpr int kLoadTimeout = 60000;

std::string titledPage(const std::string& title)
{
    return "<html><head><title>" + title + "</title></head><body><p>" + title
        + "</p></body></html>";
}

}  // namespace

// The main window on the real browser engine, against pages from a loopback server.
class WebEnginePaneTest final : public test::WindowTest {
    Q_OBJECT

private:
    BrowserPane* m_pane = nullptr;

    void go(const QString& path)
    {
        QSignalSpy started(m_pane, &BrowserPane::beforeNavigate);
        QSignalSpy completed(m_pane, &BrowserPane::navigateComplete);
        ui().urlEdit()->setText(url(path));
        QTest::mouseClick(ui().goButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(completed.count() > 0 && m_pane->locationUrl() == url(path),
                                 kLoadTimeout);
        QVERIFY(started.count() > 0);
        QCOMPARE(ui().urlEdit()->text(), url(path));
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
    }

private slots:
    void initTestCase()
    {
        server().route("/a.html", test::page("text/html", titledPage("Page A")));
        server().route("/b.html", test::page("text/html", titledPage("Page B")));
        // A one-pixel GIF served under a .jpg name is enough for the browser.
        server().route("/pic.jpg",
                       test::page("image/gif",
                                  QByteArray::fromBase64(
                                      "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7")
                                      .toStdString()));
        m_pane = new WebEnginePane;
        openWindow({.browser = m_pane});
    }

    void cleanupTestCase() { closeWindow(); }

    void refreshWithoutDocumentDoesNothing()
    {
        QVERIFY(!m_pane->hasDocument());
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QVERIFY(server().requests().empty());
    }

    void titleAndLocationArrive()
    {
        go(QStringLiteral("/a.html"));
        QTRY_COMPARE_WITH_TIMEOUT(ui().titleEdit()->text(), QStringLiteral("Page A"), kLoadTimeout);
        QVERIFY(m_pane->hasDocument());
        QVERIFY(ui().addToListButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!ui().backButton()->isEnabled(), kLoadTimeout);
        QVERIFY(!ui().forwardButton()->isEnabled());
    }

    void backAndForwardFollowTheHistory()
    {
        go(QStringLiteral("/b.html"));
        QTRY_COMPARE_WITH_TIMEOUT(ui().titleEdit()->text(), QStringLiteral("Page B"), kLoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(ui().backButton()->isEnabled(), kLoadTimeout);
        QVERIFY(!ui().forwardButton()->isEnabled());

        QTest::mouseClick(ui().backButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ui().urlEdit()->text(), url(QStringLiteral("/a.html")),
                                  kLoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(ui().forwardButton()->isEnabled(), kLoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(!ui().backButton()->isEnabled(), kLoadTimeout);

        QTest::mouseClick(ui().forwardButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ui().urlEdit()->text(), url(QStringLiteral("/b.html")),
                                  kLoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(!ui().forwardButton()->isEnabled(), kLoadTimeout);

        const std::size_t before = server().requests().size();
        QSignalSpy reloaded(m_pane, &BrowserPane::navigateComplete);
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(server().requests().size() > before, kLoadTimeout);
        // Let the reload finish before the next navigation starts.
        QTRY_VERIFY_WITH_TIMEOUT(reloaded.count() > 0, kLoadTimeout);
    }

    void imageAddressesCannotBeAdded()
    {
        // Typing is enough to disable the button, before any navigation.
        ui().urlEdit()->setText(url(QStringLiteral("/pic.jpg")));
        QVERIFY(!ui().addToListButton()->isEnabled());
        ui().urlEdit()->setText(url(QStringLiteral("/b.html")));
        QVERIFY(ui().addToListButton()->isEnabled());

        go(QStringLiteral("/pic.jpg"));
        QVERIFY(!ui().addToListButton()->isEnabled());
        go(QStringLiteral("/a.html"));
        QVERIFY(ui().addToListButton()->isEnabled());
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::WebEnginePaneTest)

#include "web_engine_pane_test.moc"
