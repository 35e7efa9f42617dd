#include <string>

#include <QAction>
#include <QApplication>
#include <QScrollBar>

#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace {

std::string workedExamplePage(const std::string& host)
{
    return "<html><body>\r\n"
           "<a href=\"http://"
        + host
        + "/pics/big.gif\"><img src=\"thumbs/small.gif\" alt=\"x\"></a>\r\n"
          "<img src=\"./logo.gif\"> <img src=\"/img/top.gif\"> <img src=\"../up.gif\">\r\n"
          "<a href=\"http://"
        + host
        + "/page.html\">next</a> <img src=\"icon.GIF\">\r\n"
          "<img src=\"thumbs/small.gif\">\r\n"
          "</body></html>\r\n";
}

}  // namespace

// The file search through the real window, the real HTTP client and a loopback server.
class FileSearchTest final : public test::WindowTest {
    Q_OBJECT

private:
    std::string m_host;

    QStringList listed() const { return ui().listed(); }
    QString status(int row) const { return ui().cell(SiteGrid::kStatusColumn, row); }

private slots:
    void init()
    {
        m_host = "127.0.0.1:" + std::to_string(server().port());
        server().route("/dir/index.html", test::page("text/html", workedExamplePage(m_host)));
        server().route(
            "/frames.html",
            test::page(
                "text/html",
                "<html><!-- old FrameSet layout --><body><img src=\"a.gif\"></body></html>"));
        server().route(
            "/other/list.html",
            test::page("text/html",
                       "<img src=\"one.jpg\"><img src=\"two.gif\"><img src=\"THREE.JPG\">"
                       "<a href=\"doc.pdf\">"));
        server().route("/missing.html",
                       test::raw("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here."));
        openWindow({.fetchPages = true,
                    .extensions = {QStringLiteral("gif"), QStringLiteral("GIF"),
                                   QStringLiteral("jpg"), QStringLiteral("pdf")}});
    }

    void cleanup() { closeWindow(); }

    void workedExampleFillsTheListOnce()
    {
        addAndSelect(url("/dir/index.html"));
        m_browser->navigated.clear();
        search(QStringLiteral("gif"));
        const QString host = QString::fromStdString(m_host);
        QCOMPARE(listed(),
                 (QStringList{QStringLiteral("http://") + host + QStringLiteral("/pics/big.gif"),
                              QStringLiteral("thumbs/small.gif"), QStringLiteral("./logo.gif"),
                              QStringLiteral("img/top.gif"), QStringLiteral("../up.gif")}));
        QCOMPARE(QString::fromStdString(ui().fileSearch()->entrySource().baseUrl), url("/dir/"));
        QCOMPARE(status(1), QStringLiteral("5個のファイルが見つかりました"));
        QVERIFY(ui().deleteSelectedButton()->isEnabled());
        QVERIFY(ui().downloadButton()->isEnabled());
        QVERIFY(ui().searchButton()->isEnabled());
        QVERIFY(ui().foundList()->horizontalExtent() > 0);
        // The request went out once, as the client builds it.
        QCOMPARE(server().requests().size(), 1u);
        QVERIFY(server().requests()[0].starts_with("GET /dir/index.html HTTP/1.1\r\n"));

        search(QStringLiteral("GIF"));
        QCOMPARE(listed(), QStringList{QStringLiteral("icon.GIF")});
        QCOMPARE(status(1), QStringLiteral("1個のファイルが見つかりました"));
    }

    void theSearchButtonStopsARunningFetch()
    {
        addAndSelect(url("/dir/index.html"));
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QPushButton* search = ui().searchButton();
        search->setFocus();
        server().hold("/dir/index.html");
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(server().requests().size(), 1u, test::kWindowTimeout);
        QCOMPARE(search->text(), QStringLiteral("中止"));
        QVERIFY(search->isEnabled());
        QVERIFY(search->hasFocus());
        QVERIFY(!ui().action("N5")->isEnabled());
        const QString rowStatus = status(1);

        // Pressing it stops the fetch at once, without a word.
        test::ModalWatcher watcher;
        QTest::keyClick(search, Qt::Key_Space);
        QVERIFY(!ui().fileSearch()->busy());
        QCOMPARE(search->text(), QStringLiteral("ファイルサーチ"));
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QVERIFY(search->hasFocus());
        QTest::qWait(50);
        QCOMPARE(watcher.texts(), QStringList());
        QCOMPARE(status(1), rowStatus);
        QCOMPARE(ui().siteCount(), 1);

        // Enter now searches again.
        server().release("/dir/index.html");
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(status(1), QStringLiteral("5個のファイルが見つかりました"),
                                  test::kWindowTimeout);
        QCOMPARE(search->text(), QStringLiteral("ファイルサーチ"));
    }

    void escStillDeletesTheCurrentSiteWhileAFetchRuns()
    {
        addAndSelect(url("/dir/index.html"));
        addAndSelect(url("/other/list.html"));
        server().hold("/other/list.html");
        m_form->onSearchClicked();
        QTRY_COMPARE_WITH_TIMEOUT(server().requests().size(), 1u, test::kWindowTimeout);
        QTest::keyClick(ui().titleEdit(), Qt::Key_Escape);
        QCOMPARE(ui().siteCount(), 1);
        QVERIFY(ui().fileSearch()->busy());
        server().release("/other/list.html");
        QTRY_VERIFY_WITH_TIMEOUT(!ui().fileSearch()->busy(), test::kWindowTimeout);
    }

    void failuresKeepThePreviousList_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("rowStatus");
        QTest::newRow("error status")
            << QStringLiteral("/missing.html") << QStringLiteral("このページはご利用できません")
            << QStringLiteral("利用できません");
        QTest::newRow("frame page")
            << QStringLiteral("/frames.html") << QStringLiteral("このページはフレームページです")
            << QStringLiteral("このページはフレームページです");
        QTest::newRow("unsupported scheme")
            << QStringLiteral("https://127.0.0.1/x.html")
            << QStringLiteral("ページが見つかりません") << QStringLiteral("ページが見つかりません");
    }

    void failuresKeepThePreviousList()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(QString, rowStatus);
        addAndSelect(url("/dir/index.html"));
        search(QStringLiteral("gif"));
        const QStringList before = listed();
        const std::string baseBefore = ui().fileSearch()->entrySource().baseUrl;

        test::ModalWatcher watcher;
        addAndSelect(path.startsWith(QLatin1Char('/')) ? url(path) : path);
        search(QStringLiteral("gif"));
        QCOMPARE(watcher.texts(), QStringList{message});
        QCOMPARE(status(2), rowStatus);
        QCOMPARE(listed(), before);
        QCOMPARE(ui().fileSearch()->entrySource().baseUrl, baseBefore);
        QVERIFY(ui().deleteSelectedButton()->isEnabled());
        QVERIFY(ui().addToListButton()->isEnabled());
        if (path == QStringLiteral("/frames.html"))
            QVERIFY(ui().fileSearch()->pageSource().find("FrameSet") != std::string::npos);
        else
            QVERIFY(ui().fileSearch()->pageSource().empty());
    }

    void refusedConnectionIsAPageNotFound()
    {
        test::ModalWatcher watcher;
        addAndSelect(QStringLiteral("http://127.0.0.1:%1/x.html").arg(test::closedPort()));
        search(QStringLiteral("gif"));
        QCOMPARE(watcher.texts(), QStringList{QStringLiteral("ページが見つかりません")});
        QCOMPARE(status(1), QStringLiteral("ページが見つかりません"));
    }

    void rowWithoutSiteStartsNoFetch()
    {
        m_form->setStatusText(QStringLiteral("x"));
        ui().setCurrentCell(SiteGrid::kNameColumn, 3);
        m_form->onSearchClicked();
        QVERIFY(!ui().fileSearch()->busy());
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QTest::qWait(100);
        QVERIFY(server().requests().empty());
    }

    void emptyChooserSearchesForTheDotAlone()
    {
        server().route("/dots.html",
                       test::page("text/html", "http://h/dir.x/a.gif <img src=\"pics/a.gif\">"));
        addAndSelect(url("/dots.html"));
        ui().extensionChooser()->clear();
        m_form->onSearchClicked();
        QTRY_VERIFY_WITH_TIMEOUT(!ui().fileSearch()->busy(), test::kWindowTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("待機中"),
                                  test::kWindowTimeout);
        QCOMPARE(listed(),
                 (QStringList{QStringLiteral("http://h/dir."), QStringLiteral("pics/a.")}));
    }

    void secondSearchWaitsAndResultGoesToTheRowNowCurrent()
    {
        addAndSelect(url("/dir/index.html"));
        addAndSelect(url("/other/list.html"));
        server().hold("/other/list.html");
        ui().extensionChooser()->setCurrentIndex(0);
        m_form->onSearchClicked();
        QTRY_COMPARE_WITH_TIMEOUT(server().requests().size(), 1u, test::kWindowTimeout);
        QVERIFY(ui().fileSearch()->busy());
        QCOMPARE(ui().searchButton()->text(), QStringLiteral("中止"));
        QVERIFY(!ui().action("N5")->isEnabled());
        // The menu's search does nothing while the first waits.
        ui().action("N5")->trigger();
        // The user moves to row 1 meanwhile; the window still works.
        ui().setCurrentCell(SiteGrid::kNameColumn, 1);
        m_form->onSiteRowClicked();
        server().release("/other/list.html");
        QTRY_VERIFY_WITH_TIMEOUT(!ui().fileSearch()->busy(), test::kWindowTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(status(1), QStringLiteral("1個のファイルが見つかりました"),
                                  test::kWindowTimeout);
        QCOMPARE(status(2), QString());
        QCOMPARE(server().requests().size(), 1u);
        // BaseUrl follows the row current when the result arrived.
        QCOMPARE(QString::fromStdString(ui().fileSearch()->entrySource().baseUrl), url("/dir/"));
        QVERIFY(ui().searchButton()->isEnabled());
    }

    void closingDuringAFetchEndsPromptly()
    {
        addAndSelect(url("/dir/index.html"));
        server().hold("/dir/index.html");
        m_form->onSearchClicked();
        QTRY_COMPARE_WITH_TIMEOUT(server().requests().size(), 1u, test::kWindowTimeout);
        m_form->close();
        QVERIFY(!ui().fileSearch()->busy() || !m_form->isVisible());
        m_form.reset();
    }

    // The found-files list: selections against the context menu and Space.
    void listMenuAndSpaceFollowTheSelection_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("preview");
        QTest::addColumn<bool>("open");
        QTest::newRow("none") << QList<int>{} << false << false;
        QTest::newRow("one image") << QList<int>{0} << true << false;
        QTest::newRow("one upper-case .JPG") << QList<int>{1} << false << true;
        QTest::newRow("one other file") << QList<int>{2} << false << true;
        QTest::newRow("two") << QList<int>{0, 2} << false << false;
    }

    void listMenuAndSpaceFollowTheSelection()
    {
        QFETCH(QList<int>, selected);
        QFETCH(bool, preview);
        QFETCH(bool, open);
        server().route(
            "/mixed.html",
            test::page("text/html",
                       "<a href=\"a.gif.pdf\"><a href=\"b.JPG.pdf\"><a href=\"c.pdf\">"));
        addAndSelect(url("/mixed.html"));
        search(QStringLiteral("pdf"));
        FoundFilesList* list = ui().foundList();
        QCOMPARE(listed(),
                 (QStringList{QStringLiteral("a.gif.pdf"), QStringLiteral("b.JPG.pdf"),
                              QStringLiteral("c.pdf")}));
        list->clearSelection();
        for (int index : selected)
            list->setCurrentRow(index, QItemSelectionModel::Select);

        ui().foundFiles()->updateMenu();
        const QList<QAction*> items = ui().foundFilesMenu()->actions();
        QCOMPARE(items[0]->text(), QStringLiteral("プレビュー"));
        QCOMPARE(items[1]->text(), QStringLiteral("選択ファイルの削除"));
        QCOMPARE(items[2]->text(), QStringLiteral("ダウンロード"));
        QCOMPARE(items[0]->isEnabled(), preview);
        QVERIFY(items[1]->isEnabled());
        QCOMPARE(items[2]->isEnabled(), open);

        m_browser->navigated.clear();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(!m_browser->navigated.isEmpty(), preview);
        if (preview) {
            QCOMPARE(m_browser->navigated.last(), url("/a.gif.pdf"));
            QCOMPARE(ui().urlEdit()->text(), url("/a.gif.pdf"));
            QVERIFY(!ui().addToListButton()->isEnabled());
        }
    }

    void spaceOpensTheEntryBesideTheBaseUrl()
    {
        addAndSelect(url("/other/list.html"));
        search(QStringLiteral("jpg"));
        QCOMPARE(listed(), QStringList{QStringLiteral("one.jpg")});
        FoundFilesList* list = ui().foundList();
        list->setCurrentRow(0);
        list->setFocus();
        m_browser->navigated.clear();
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(m_browser->navigated, QStringList{url("/other/one.jpg")});
        QCOMPARE(ui().urlEdit()->text(), url("/other/one.jpg"));
        QVERIFY(!ui().addToListButton()->isEnabled());

        // An upper-case .JPG is not previewed, but the menu can open it.
        search(QStringLiteral("pdf"));
        list->setCurrentRow(0);
        m_browser->navigated.clear();
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(m_browser->navigated.isEmpty());
        ui().foundFiles()->updateMenu();
        QVERIFY(ui().foundFilesMenu()->actions()[2]->isEnabled());
        ui().foundFilesMenu()->actions()[2]->trigger();
        QCOMPARE(m_browser->navigated, QStringList{url("/other/doc.pdf")});
    }

    void removingEntriesDisablesTheButtonsWhenEmpty()
    {
        addAndSelect(url("/dir/index.html"));
        search(QStringLiteral("gif"));
        FoundFilesList* list = ui().foundList();
        ui().foundFiles()->onDeleteSelectedFilesClicked();  // nothing selected: nothing changes
        QCOMPARE(list->count(), 5);
        list->setRowSelected(1, true);
        list->setRowSelected(3, true);
        QTest::mouseClick(ui().deleteSelectedButton(), Qt::LeftButton);
        QCOMPARE(listed(),
                 (QStringList{QStringLiteral("http://") + QString::fromStdString(m_host)
                                  + QStringLiteral("/pics/big.gif"),
                              QStringLiteral("./logo.gif"), QStringLiteral("../up.gif")}));
        QVERIFY(ui().deleteSelectedButton()->isEnabled());
        // The extent the search measured stays when the widest entry goes.
        const int extent = list->horizontalScrollBar()->maximum();
        QVERIFY(extent > 0);
        list->clearSelection();
        list->setRowSelected(0, true);
        ui().foundFiles()->onDeleteSelectedFilesClicked();
        QCOMPARE(list->horizontalScrollBar()->maximum(), extent);
        list->selectAll();
        QTest::mouseClick(ui().deleteSelectedButton(), Qt::LeftButton);
        QCOMPARE(list->count(), 0);
        QVERIFY(!ui().deleteSelectedButton()->isEnabled());
        QVERIFY(!ui().downloadButton()->isEnabled());
        ui().foundFiles()->updateMenu();
        // The list's own items; the view switch stays.
        for (QAction* item : ui().foundFilesMenu()->actions().mid(0, 3))
            QVERIFY(!item->isEnabled());
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::FileSearchTest)

#include "file_search_test.moc"
