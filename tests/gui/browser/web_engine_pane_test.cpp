#include <string>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gui/app/main_window.h"
#include "gui/browser/web_engine_pane.h"
#include "support/http_test_server.h"
#include "support/qt_test_main.h"
#include "support/window_parts.h"

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
class WebEnginePaneTest final : public QObject {
    Q_OBJECT

private:
    test::HttpTestServer m_server;
    std::unique_ptr<MainWindow> m_form;
    BrowserPane* m_browser = nullptr;

    test::WindowParts ui() const { return test::WindowParts(m_form.get()); }

    QString url(const QString& path) const
    {
        return QString::fromStdString(m_server.url(path.toStdString()));
    }

    void go(const QString& path)
    {
        QSignalSpy started(m_browser, &BrowserPane::beforeNavigate);
        QSignalSpy completed(m_browser, &BrowserPane::navigateComplete);
        ui().urlEdit()->setText(url(path));
        QTest::mouseClick(ui().goButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(completed.count() > 0 && m_browser->locationUrl() == url(path),
                                 kLoadTimeout);
        QVERIFY(started.count() > 0);
        QCOMPARE(ui().urlEdit()->text(), url(path));
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
    }

private slots:
    void initTestCase()
    {
        m_server.route("/a.html", test::page("text/html", titledPage("Page A")));
        m_server.route("/b.html", test::page("text/html", titledPage("Page B")));
        // A one-pixel GIF served under a .jpg name is enough for the browser.
        m_server.route("/pic.jpg",
                       test::page("image/gif",
                                  QByteArray::fromBase64(
                                      "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7")
                                      .toStdString()));
        MainWindowServices services;
        m_browser = new WebEnginePane;
        services.browser = m_browser;
        m_form = std::make_unique<MainWindow>(std::move(services));
        m_form->show();
    }

    void cleanupTestCase() { m_form.reset(); }

    void refreshWithoutDocumentDoesNothing()
    {
        QVERIFY(!m_browser->hasDocument());
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QVERIFY(m_server.requests().empty());
    }

    void titleAndLocationArrive()
    {
        go(QStringLiteral("/a.html"));
        QTRY_COMPARE_WITH_TIMEOUT(ui().titleEdit()->text(), QStringLiteral("Page A"), kLoadTimeout);
        QVERIFY(m_browser->hasDocument());
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

        const std::size_t before = m_server.requests().size();
        QSignalSpy reloaded(m_browser, &BrowserPane::navigateComplete);
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requests().size() > before, kLoadTimeout);
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
