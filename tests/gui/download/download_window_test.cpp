#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QDesktopServices>
#include <QItemSelectionModel>

#include "gui/download/download_confirm_dialog.h"
#include "gui/settings/start_page_dialog.h"
#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace fs = std::filesystem;

// The download command through the window: the empty-list message, the
// confirmation box, and a batch against a loopback server.
class DownloadWindowTest final : public test::WindowTest {
    Q_OBJECT

private:
    fs::path m_program;
    QList<QUrl> m_shownFolders;

    template <typename Box>
    QPushButton* boxButton(const char* name) const
    {
        return test::part<QPushButton>(ui().dialog<Box>(), name);
    }

    void searchPage(const char* path)
    {
        addAndSelect(url(path));
        search();
    }

    // Today as yyyymmdd, whatever the locale.
    static std::string today()
    {
        return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
    }
    fs::path dateFolder() const { return m_program / "down" / today(); }

    // A window over the program folder, as at start.
    void openProgramWindow()
    {
        openWindow({.fetchPages = true,
                    .downloadFiles = true,
                    .programDirectory = m_program,
                    .extensions = {QStringLiteral("gif")}});
    }

    // メニュー → 保存フォルダを開く, with the desktop's file manager stood in for.
    fs::path shownFolder()
    {
        m_shownFolders.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "showFolder");
        ui().action("openFolder")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        return m_shownFolders.size() == 1 ? fs::path(m_shownFolders[0].toLocalFile().toStdString())
                                          : fs::path();
    }

public slots:
    void showFolder(const QUrl& folder) { m_shownFolders << folder; }

private slots:
    void init()
    {
        m_program = testFolder();
        fs::create_directories(m_program / "down");
        enterFolder(m_program);
        server().route("/dir/index.html",
                       test::page("text/html",
                                  "<img src=\"a.gif\"><img src=\"sub/b.gif\"><img src=\"c.gif\">"));
        server().route("/dir/a.gif", test::page("image/gif", "GIF-A"));
        server().route("/dir/sub/b.gif", test::page("image/gif", "GIF-B"));
        server().route("/dir/c.gif", test::page("image/gif", "GIF-C"));
        openProgramWindow();
    }

    void cleanup() { closeWindow(); }

    void emptyListShowsTheMessageInsteadOfTheBox()
    {
        test::ModalWatcher watcher;
        m_form->onDownloadClicked();
        ui().action("N7")->trigger();
        QCOMPARE(watcher.texts(),
                 QStringList(
                     2, QStringLiteral("ダウンロード対象ファイルが\nリストアップされていません")));
        QVERIFY(!ui().dialog<DownloadConfirmDialog>()->isVisible());
    }

    void confirmationBoxLayoutAndCancel()
    {
        DownloadConfirmDialog* box = ui().dialog<DownloadConfirmDialog>();
        QCOMPARE(box->windowTitle(), QStringLiteral("ダイアログ"));
        QCOMPARE(box->height(), 149);
        QVERIFY(box->width() >= 184);
        QVERIFY(!box->isModal());
        QCOMPARE(test::part<QPushButton>(box, "OKBtn")->geometry(), QRect(15, 114, 75, 25));
        QCOMPARE(test::part<QPushButton>(box, "CancelBtn")->geometry(), QRect(95, 114, 75, 25));
        QCOMPARE(test::part<QCheckBox>(box, "skipExisting")->text(),
                 QStringLiteral("既存のファイルはスキップ"));
        QVERIFY(!box->skipExisting());
        QVERIFY(test::part<QCheckBox>(box, "skipExisting")->geometry().right() < box->width());
        QCOMPARE(test::part<QCheckBox>(box, "skipFetched")->text(),
                 QStringLiteral("取得済みのファイルはスキップ"));
        QVERIFY(!box->skipFetched());
        QVERIFY(test::part<QCheckBox>(box, "skipFetched")->geometry().right() < box->width());
        QCOMPARE(test::part<QPushButton>(box, "CancelBtn")->text(), QStringLiteral("キャンセル"));
        QStringList lines;
        for (const char* name : {"Label1", "Label2", "Label4", "Label3"}) {
            const QLabel* label = box->findChild<QLabel*>(QString::fromLatin1(name));
            lines << label->text();
            QVERIFY2(label->geometry().right() < box->width(), name);  // no line cut off
        }
        QCOMPARE(lines,
                 (QStringList{QStringLiteral("リストに表示されているファイルを"),
                              QStringLiteral("一括ダウンロードします。"),
                              QStringLiteral("既存のファイルは上書きされます。"),
                              QStringLiteral("よろしいですか？")}));

        searchPage("/dir/index.html");
        QCOMPARE(ui().foundList()->count(), 3);
        QTest::mouseClick(ui().downloadButton(), Qt::LeftButton);
        QVERIFY(box->isVisible());
        QTest::mouseClick(test::part<QPushButton>(box, "CancelBtn"), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        m_form->onDownloadClicked();
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        QVERIFY(!fs::exists(dateFolder()));
    }

    void okDownloadsEveryEntryIntoTheDateFolder()
    {
        searchPage("/dir/index.html");
        ui().foundList()->setRowSelected(1, true);
        QSignalSpy steps(ui().downloads(), &DownloadController::progress);
        QSignalSpy texts(ui().downloads(), &DownloadController::statusText);
        QCOMPARE(shownFolder(), m_program / "down");
        downloadAll();
        QCOMPARE(shownFolder(), dateFolder());
        QVERIFY(!ui().dialog<DownloadConfirmDialog>()->isVisible());

        QCOMPARE(test::readBytes(dateFolder() / "a.gif"), std::string("GIF-A"));
        QCOMPARE(test::readBytes(dateFolder() / "b.gif"), std::string("GIF-B"));
        QCOMPARE(test::readBytes(dateFolder() / "c.gif"), std::string("GIF-C"));
        QList<int> positions;
        for (const auto& step : steps)
            positions << step.at(0).toInt();
        QCOMPARE(positions, (QList<int>{0, 1, 2, 3, 0}));
        QCOMPARE(texts.first().at(0).toString(),
                 QStringLiteral("ファイルをダウンロードしています（0/3）"));
        QCOMPARE(texts.at(texts.size() - 2).at(0).toString(),
                 QStringLiteral("ファイルをダウンロードしています（3/3）"));
        QCOMPARE(ui().statusText(), QStringLiteral("ファイルのダウンロードが終了しました"));
        // Nothing failed, so nothing stays selected.
        QVERIFY(ui().foundList()->selectedRows().empty());
        QCOMPARE(ui().progressBar()->value(), 0);
        QCOMPARE(ui().progressBar()->maximum(), 3);
        // The batch leaves the working folder where it was.
        ui().saveStartPage();
        QVERIFY(fs::exists(m_program / "config.vel"));
        QCOMPARE(fs::current_path(), m_program);
    }

    void fetchedEntriesAreMarkedAndSkippedWhenAsked()
    {
        searchPage("/dir/index.html");
        const QAbstractItemModel* entries = ui().foundList()->model();
        const auto said = [entries](int row, int role) {
            return entries->index(row, 0).data(role).toString();
        };
        QCOMPARE(said(0, Qt::AccessibleDescriptionRole), QString());
        DownloadConfirmDialog* box = ui().dialog<DownloadConfirmDialog>();
        downloadAll();
        const QString mark = QStringLiteral("取得済み（")
            + QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")) + u'）';
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(said(row, Qt::AccessibleDescriptionRole), mark);
            QVERIFY(said(row, Qt::ToolTipRole).endsWith(mark));
        }

        // Ticked, the box requests nothing the history holds, and stays ticked.
        fs::remove(dateFolder() / "c.gif");
        const std::size_t requests = server().targets().size();
        test::part<QCheckBox>(box, "skipFetched")->setChecked(true);
        downloadAll();
        QCOMPARE(server().targets().size(), requests);
        QVERIFY(!fs::exists(dateFolder() / "c.gif"));
        QVERIFY(box->skipFetched());
    }

    void aHistoryThatCannotBeUsedIsSaidOnce_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("said");
        QTest::newRow("damaged") << false << QStringLiteral("history.db.damaged");
        QTest::newRow("read-only folder") << true << QStringLiteral("履歴なし");
    }

    void aHistoryThatCannotBeUsedIsSaidOnce()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, said);
        m_form.reset();
        test::writeBytes(m_program / "history.db", std::string(5000, 'g'));
        if (readOnly)
            test::makeReadOnly(m_program);
        openProgramWindow();
        QVERIFY2(ui().statusText().contains(said), qPrintable(ui().statusText()));
        QCOMPARE(
            test::part<QCheckBox>(ui().dialog<DownloadConfirmDialog>(), "skipFetched")->isEnabled(),
            !readOnly);
        QCOMPARE(fs::exists(m_program / "history.db.damaged"), !readOnly);
        searchPage("/dir/index.html");
        QVERIFY(!ui().statusText().contains(said));
    }

    void entriesOfThePageShownCarryTheBrowsersCookiesAndPage()
    {
        searchPage("/dir/index.html");
        server().route("/live/d.gif", test::page("image/gif", "GIF-D"));
        const QString page = QString::fromStdString(server().url("/live/page.html"));
        m_browser->complete(page, QStringLiteral("live"));
        m_browser->resources = PageResources{PageResources::Status::Collected,
                                             {QString::fromStdString(server().url("/live/d.gif"))}};
        m_browser->cookies = {
            {.name = "sid", .value = "1", .domain = "127.0.0.1", .path = "/live", .expires = {}},
            {.name = "other", .value = "2", .domain = "localhost", .path = "/", .expires = {}}};
        ui().action("liveSearch")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), test::kWindowTimeout);
        QCOMPARE(ui().foundList()->count(), 4);

        downloadAll();

        QCOMPARE(test::readBytes(dateFolder() / "d.gif"), std::string("GIF-D"));
        QCOMPARE(test::readBytes(dateFolder() / "a.gif"), std::string("GIF-A"));
        for (const std::string& head : server().requests()) {
            const std::string target = test::requestTarget(head);
            if (target == "/live/d.gif") {
                QVERIFY2(head.find("\r\nCookie: sid=1\r\n") != std::string::npos, head.c_str());
                QVERIFY2(head.find("\r\nReferer: " + page.toStdString() + "\r\n")
                             != std::string::npos,
                         head.c_str());
            } else {
                QVERIFY2(head.find("Cookie:") == std::string::npos, head.c_str());
                QVERIFY2(head.find("Referer:") == std::string::npos, head.c_str());
            }
        }
    }

    void aFailedEntryIsCountedAndLeftSelectedAlone()
    {
        server().route("/dir/sub/b.gif", test::reply("404 Not Found", "<html>gone</html>"));
        fs::create_directories(dateFolder());
        test::writeBytes(dateFolder() / "b.gif", "older");
        searchPage("/dir/index.html");
        FoundFilesList* list = ui().foundList();
        list->setRowSelected(0, true);
        list->setRowSelected(2, true);
        list->setCurrentRow(2, QItemSelectionModel::NoUpdate);
        downloadAll();

        QCOMPARE(ui().statusText(),
                 QStringLiteral("ファイルのダウンロードが終了しました（1個失敗）"));
        QCOMPARE(list->selectedRows().size(), std::size_t{1});
        QVERIFY(list->isRowSelected(1));
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(test::readBytes(dateFolder() / "a.gif"), std::string("GIF-A"));
        QCOMPARE(test::readBytes(dateFolder() / "b.gif"), std::string("older"));
        QCOMPARE(test::readBytes(dateFolder() / "c.gif"), std::string("GIF-C"));
    }

    void aDateFolderThatCannotBeMadeStopsTheBatchBeforeAnyFile()
    {
        // A portable VEL without `down`, and a file where today's folder would
        // go: the batch must not fall back to the program's folder, where a
        // listed config.bin would replace the site list.
        fs::remove(m_program / "down");
        test::writeBytes(m_program / today(), "not a folder");
        test::writeBytes(m_program / "config.bin", "sites");
        server().route("/dir/files.html",
                       test::page("text/html", "<a href=\"config.bin\">x</a><a href=\"a.bin\">"));
        server().route("/dir/config.bin", test::page("application/octet-stream", "listed"));
        ui().extensionChooser()->addItem(QStringLiteral("bin"));
        addAndSelect(url("/dir/files.html"));
        search(QStringLiteral("bin"));
        QCOMPARE(ui().foundList()->count(), 2);

        const std::vector<std::string> before = server().targets();
        QSignalSpy done(ui().downloads(), &DownloadController::finished);
        test::ModalWatcher watcher;
        m_form->onDownloadClicked();
        QTest::mouseClick(boxButton<DownloadConfirmDialog>("OKBtn"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            watcher.texts(), QStringList(QStringLiteral("保存先フォルダを作成できませんでした")),
            test::kWindowTimeout);

        QVERIFY(!ui().downloads()->running());
        QCOMPARE(done.count(), 0);
        QCOMPARE(server().targets(), before);
        QCOMPARE(test::readBytes(m_program / "config.bin"), std::string("sites"));
        QCOMPARE(test::readBytes(m_program / today()), std::string("not a folder"));
        QVERIFY(!fs::exists(m_program / "a.bin"));
        // The window takes input again.
        ui().titleEdit()->clear();
        ui().titleEdit()->setFocus();
        QTest::keyClicks(ui().titleEdit(), QStringLiteral("abc"));
        QCOMPARE(ui().titleEdit()->text(), QStringLiteral("abc"));
    }

    // A UTF-8 page with values a plain join would get wrong: each is fetched
    // where a browser would fetch it, and a Japanese name is shown and saved
    // as itself.
    void entriesAreFetchedWhereABrowserWouldAndNamedInThePageCharset()
    {
        server().route("/dir/modern.html",
                       test::page("text/html",
                                  "<meta charset=\"utf-8\">"
                                  "<img src=\"/top.gif\">"
                                  "<img src=\"\xE5\x86\x99.gif\">"
                                  "<img src=\"../up.gif?v=1&amp;w=2\">"));
        server().route("/top.gif", test::page("image/gif", "TOP"));
        server().route("/dir/%E5%86%99.gif", test::page("image/gif", "UTF8"));
        server().route("/up.gif?v=1&w=2", test::page("image/gif", "UP"));
        searchPage("/dir/modern.html");
        FoundFilesList* list = ui().foundList();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->textAt(1), QStringLiteral("写.gif"));

        downloadAll();
        QCOMPARE(ui().statusText(), QStringLiteral("ファイルのダウンロードが終了しました"));
        QCOMPARE(test::readBytes(dateFolder() / "top.gif"), std::string("TOP"));
        QCOMPARE(test::readBytes(dateFolder() / "\xE5\x86\x99.gif"), std::string("UTF8"));
        // The local name follows the listed text, which ends at the extension.
        QCOMPARE(test::readBytes(dateFolder() / "up.gif"), std::string("UP"));

        // Opening an entry sends the browser to the same place.
        list->setCurrentRow(2);
        ui().foundFiles()->findChild<QAction*>(QStringLiteral("N2"))->trigger();
        QCOMPARE(ui().urlEdit()->text(), QString::fromStdString(server().url("/up.gif?v=1&w=2")));
    }

    void windowTakesNoInputDuringTheBatchAndCloseStopsIt()
    {
        searchPage("/dir/index.html");
        for (const char* target : {"/dir/a.gif", "/dir/sub/b.gif", "/dir/c.gif"})
            server().hold(target);
        m_form->onDownloadClicked();
        QTest::mouseClick(boxButton<DownloadConfirmDialog>("OKBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(server().requests().size() >= 4, test::kWindowTimeout);
        QVERIFY(ui().downloads()->running());

        // Input goes nowhere while the batch runs.
        ui().titleEdit()->setFocus();
        QTest::keyClicks(ui().titleEdit(), QStringLiteral("abc"));
        QCOMPARE(ui().titleEdit()->text(), QString());
        QSignalSpy checks(ui().searchButton(), &QPushButton::clicked);
        QTest::mouseClick(ui().searchButton(), Qt::LeftButton);
        QCOMPARE(checks.count(), 0);
        // The other windows too: the start page box cannot write into the
        // folder the batch has made current.
        ui().action("N10")->trigger();
        QTest::mouseClick(boxButton<StartPageDialog>("OKBtn"), Qt::LeftButton);
        QVERIFY(ui().dialog<StartPageDialog>()->isVisible());
        QVERIFY(!fs::exists(dateFolder() / "config.vel"));

        // Closing stops every transfer at once and ends normally.
        m_form->close();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_saves, 1);
        QTest::mouseClick(boxButton<StartPageDialog>("OKBtn"), Qt::LeftButton);
        QVERIFY(fs::exists(m_program / "config.vel"));
        QCOMPARE(fs::current_path(), m_program);
        QVERIFY(fs::is_empty(dateFolder()));
    }

    void theDownloadButtonStopsTheBatchAndGivesTheWindowBack()
    {
        searchPage("/dir/index.html");
        std::atomic<bool> bodyStarted{false};
        test::Route slow;
        slow.head = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
        slow.body = std::string(3000, 'b');
        slow.stallAfter = true;  // only the stop ends it before the hang guard
        slow.onSent = [&bodyStarted] { bodyStarted = true; };
        server().route("/dir/sub/b.gif", slow);
        QPushButton* button = ui().downloadButton();
        QSignalSpy done(ui().downloads(), &DownloadController::finished);
        m_form->onDownloadClicked();
        QTest::mouseClick(boxButton<DownloadConfirmDialog>("OKBtn"), Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("中止"));
        QTRY_VERIFY_WITH_TIMEOUT(bodyStarted && fs::exists(dateFolder() / "a.gif")
                                     && fs::exists(dateFolder() / "c.gif"),
                                 test::kWindowTimeout);
        QVERIFY(ui().downloads()->running());
        // Only the button takes input meanwhile.
        ui().titleEdit()->setFocus();
        QTest::keyClicks(ui().titleEdit(), QStringLiteral("abc"));
        QCOMPARE(ui().titleEdit()->text(), QString());

        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, test::kWindowTimeout);

        QCOMPARE(ui().statusText(), QStringLiteral("ファイルのダウンロードを中止しました"));
        QCOMPARE(ui().progressBar()->value(), 0);
        QCOMPARE(button->text(), QStringLiteral("ダウンロード"));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dateFolder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (std::vector<std::string>{"a.gif", "c.gif"}));
        // The window takes input again.
        QTest::keyClicks(ui().titleEdit(), QStringLiteral("abc"));
        QCOMPARE(ui().titleEdit()->text(), QStringLiteral("abc"));
    }

    void skipExistingLeavesFilesThereAndIsRemembered()
    {
        fs::create_directories(dateFolder());
        test::writeBytes(dateFolder() / "b.gif", "older");
        searchPage("/dir/index.html");
        const std::size_t before = server().requests().size();
        QSignalSpy done(ui().downloads(), &DownloadController::finished);
        m_form->onDownloadClicked();
        DownloadConfirmDialog* box = ui().dialog<DownloadConfirmDialog>();
        QTest::mouseClick(test::part<QCheckBox>(box, "skipExisting"), Qt::LeftButton);
        QTest::mouseClick(test::part<QPushButton>(box, "OKBtn"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, test::kWindowTimeout);

        QCOMPARE(test::readBytes(dateFolder() / "b.gif"), std::string("older"));
        QCOMPARE(test::readBytes(dateFolder() / "a.gif"), std::string("GIF-A"));
        QCOMPARE(test::readBytes(dateFolder() / "c.gif"), std::string("GIF-C"));
        QCOMPARE(server().requests().size(), before + 2);
        QCOMPARE(ui().statusText(), QStringLiteral("ファイルのダウンロードが終了しました"));
        m_form->onDownloadClicked();
        QVERIFY(box->skipExisting());
        QTest::keyClick(box, Qt::Key_Escape);
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::DownloadWindowTest)

#include "download_window_test.moc"
