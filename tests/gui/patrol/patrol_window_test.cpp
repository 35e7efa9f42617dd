#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QDate>
#include <QTest>

#include "core/download/download_all.h"
#include "core/http/http_client.h"
#include "gui/app/main_window.h"
#include "support/fake_browser_pane.h"
#include "support/http_test_server.h"
#include "support/qt_test_main.h"
#include "support/temp_dir.h"
#include "support/window_parts.h"

namespace vel {

namespace fs = std::filesystem;

// The patrol through the window: the menu command against a loopback server,
// the rows' texts, and the search button that stops it.
class PatrolWindowTest final : public QObject {
    Q_OBJECT

private:
    static constexpr int kTimeout = 30000;
    std::unique_ptr<test::HttpTestServer> m_server;
    std::unique_ptr<MainWindow> m_form;
    test::TempDir m_root;

    test::WindowParts ui() const { return test::WindowParts(m_form.get()); }
    QString rowText(int row) const { return ui().cell(SiteGrid::kStatusColumn, row); }

    void addSite(const QString& name, const char* target)
    {
        ui().titleEdit()->setText(name);
        ui().urlEdit()->setText(QString::fromStdString(m_server->url(target)));
        m_form->onAddToListClicked();
    }

private slots:
    void init()
    {
        fs::create_directories(m_root.file("down"));
        m_server = std::make_unique<test::HttpTestServer>();
        m_server->route("/a/", test::page("text/html", "<img src=\"1.gif\"><img src=\"2.gif\">"));
        m_server->route("/a/1.gif", test::ok("GIF-1"));
        m_server->route("/a/2.gif", test::ok("GIF-2"));
        MainWindowServices services;
        services.browser = new test::FakeBrowserPane;
        services.patrolHttpClient = std::make_unique<HttpClient>();
        services.patrolDownloader = std::make_unique<CurlDownloader>();
        services.programDirectory = m_root.path();
        services.startFolder = m_root.path();
        services.saveSiteList = [](const SiteGrid&) {};
        m_form = std::make_unique<MainWindow>(std::move(services));
        ui().extensionChooser()->addItem(QStringLiteral("gif"));
        m_form->show();
        addSite(QStringLiteral("画像"), "/a/");
        addSite(QStringLiteral("消えたサイト"), "/gone/");
    }

    void cleanup()
    {
        m_form.reset();
        m_server.reset();
    }

    void patrolWritesEachRowsResult()
    {
        ui().action("patrol")->trigger();
        QCOMPARE(ui().searchButton()->text(), QStringLiteral("中止"));
        QTRY_COMPARE_WITH_TIMEOUT(ui().searchButton()->text(), QStringLiteral("ファイルサーチ"),
                                  kTimeout);
        QCOMPARE(rowText(1), QStringLiteral("新しいファイル2個を保存しました"));
        QCOMPARE(rowText(2), QStringLiteral("利用できません"));
        QCOMPARE(ui().statusText(),
                 QStringLiteral("巡回が終了しました（新しいファイル2個、失敗1個）"));
        QCOMPARE(ui().progressBar()->maximum(), 2);
        const std::string date =
            QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
        QCOMPARE(test::readBytes(m_root.file("down") / date / "画像" / "2.gif"),
                 std::string("GIF-2"));
        // The window's history remembers them for the next patrol.
        ui().action("patrol")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(rowText(1), QStringLiteral("新しいファイルはありません"),
                                  kTimeout);
    }

    void searchButtonStopsThePatrolAtOnce()
    {
        m_server->hold("/a/");
        ui().action("patrol")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("巡回中（1/2）画像"), kTimeout);
        QVERIFY(m_server->waitForRequests(1));
        QTest::mouseClick(ui().searchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("巡回を中止しました"),
                                  kTimeout);
        QCOMPARE(ui().searchButton()->text(), QStringLiteral("ファイルサーチ"));
        QCOMPARE(rowText(1), QString());
        QCOMPARE(m_server->targets(), std::vector<std::string>{"/a/"});
        m_server->release("/a/");
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::PatrolWindowTest)
#include "patrol_window_test.moc"
