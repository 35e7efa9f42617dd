#include <stdexcept>

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "gui/app/about_box.h"
#include "gui/app/main_window.h"
#include "gui/app/status_bar.h"
#include "gui/browser/browser_bar.h"
#include "gui/common/qt_text.h"
#include "gui/foundfiles/found_files_list.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/sitelist/site_list_panel.h"
#include "support/fake_browser_pane.h"
#include "support/modal_watcher.h"
#include "support/qt_test_main.h"

namespace vel {

class Form1Test final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> m_form;
    test::FakeBrowserPane* m_browser = nullptr;
    int m_saves = 0;

    void makeForm()
    {
        m_form.reset();
        m_saves = 0;
        m_browser = new test::FakeBrowserPane;
        MainWindowServices services;
        services.browser = m_browser;
        services.saveSiteList = [this](const SiteGrid&) { ++m_saves; };
        m_form = std::make_unique<MainWindow>(std::move(services));
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        // Creation opened the (empty) start page.
        QCOMPARE(m_browser->navigated, QStringList{QString()});
        m_browser->navigated.clear();
    }

    // Where a control sits in the window's client area.
    QRect inClient(const QWidget* widget) const
    {
        return {widget->mapTo(m_form->centralWidget(), QPoint(0, 0)), widget->size()};
    }

    void addSite(const QString& title, const QString& url)
    {
        m_form->siteListPanel()->titleEdit()->setText(title);
        m_form->browserBar()->urlEdit()->setText(url);
        m_form->onAddToListClicked();
    }

    void clickRow(int gridRow)
    {
        QTableView* view = m_form->siteListPanel()->table();
        const QModelIndex index = view->model()->index(gridRow - 1, 1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

    QAction* action(QObject* owner, const char* name)
    {
        return owner->findChild<QAction*>(QString::fromLatin1(name));
    }

private slots:
    void init() { makeForm(); }
    void cleanup() { m_form.reset(); }

    void initialStates()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("VEL"));
        QCOMPARE(m_form->centralWidget()->size(), QSize(782, 519));
        QCOMPARE(m_form->statusPanel()->height(), 25);
        QCOMPARE(m_form->statusPanel()->geometry().top(),
                 m_form->centralWidget()->geometry().bottom() + 1);
        QCOMPARE(m_form->statusText(), QStringLiteral("待機中"));
        QCOMPARE(m_form->browserBar()->urlEdit()->text(), QStringLiteral("http://"));
        QVERIFY(!m_form->foundFilesPanel()->deleteSelectedButton()->isEnabled());
        QVERIFY(!m_form->foundFilesPanel()->downloadButton()->isEnabled());
        for (QPushButton* button :
             {m_form->siteListPanel()->searchButton(), m_form->siteListPanel()->deleteButton(),
              m_form->browserBar()->backButton(), m_form->browserBar()->forwardButton(),
              m_form->browserBar()->refreshButton(), m_form->browserBar()->goButton(),
              m_form->browserBar()->addToListButton()})
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        QCOMPARE(m_form->statusPanel()->progressBar()->value(), 0);

        QTableView* grid = m_form->siteListPanel()->table();
        QCOMPARE(grid->model()->rowCount(), 19);  // 20 rows with the header row
        QCOMPARE(grid->model()->columnCount(), 4);
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("サイト名"));
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("URL"));
        QCOMPARE(grid->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("状態"));
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString());
        QCOMPARE(grid->columnWidth(0), 49);
        QCOMPARE(grid->columnWidth(3), 170);
        QVERIFY(!grid->currentIndex().isValid());
        QCOMPARE(m_form->siteGrid().currentRow(), 20);
        QCOMPARE(grid->focusPolicy(), Qt::StrongFocus);
    }

    void controlsCaptionsHintsAndPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("check") << "check"
                               << "ファイルサーチ"
                               << "選択されたページのファイル検索を開始します"
                               << QRect(8, 149, 113, 25);
        QTest::newRow("delete") << "delete"
                                << "選択項目を削除"
                                << "選択されたページをリストから削除します"
                                << QRect(120, 149, 113, 25);
        QTest::newRow("modoru") << "modoru"
                                << "戻る"
                                << "前ページへ戻る" << QRect(8, 182, 57, 25);
        QTest::newRow("susumu") << "susumu"
                                << "進む"
                                << "次ページへ進む" << QRect(64, 182, 58, 25);
        QTest::newRow("kousin") << "kousin"
                                << "更新"
                                << "ページを更新します" << QRect(122, 182, 60, 25);
        QTest::newRow("idou") << "idou"
                              << "移動"
                              << "URLへ移動します" << QRect(464, 182, 58, 25);
        QTest::newRow("tuika") << "tuika"
                               << "リストに追加"
                               << "現在のページをリストに追加します" << QRect(523, 182, 100, 25);
        QTest::newRow("Button2") << "Button2"
                                 << "選択ファイルの削除"
                                 << "選択した項目をダウンロード対象から外します"
                                 << QRect(634, 161, 141, 24);
        QTest::newRow("button3") << "button3"
                                 << "ダウンロード"
                                 << "上記リストに表示されているファイルをダウンロードします"
                                 << QRect(634, 186, 141, 24);
    }

    void controlsCaptionsHintsAndPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QRect, geometry);
        auto* button = m_form->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), hint);
        QCOMPARE(button->toolTipDuration(), 10000);
        QCOMPARE(inClient(button), geometry);
    }

    void otherControlsAndHints()
    {
        QCOMPARE(inClient(m_form->siteListPanel()->table()), QRect(8, 2, 617, 143));
        QCOMPARE(inClient(m_form->siteListPanel()->titleEdit()), QRect(283, 152, 270, 20));
        QCOMPARE(inClient(m_form->browserBar()->urlEdit()), QRect(184, 184, 277, 20));
        QCOMPARE(inClient(m_form->siteListPanel()->extensionChooser()), QRect(560, 152, 65, 20));
        QCOMPARE(inClient(m_form->foundFilesPanel()->list()), QRect(632, 0, 143, 161));
        QCOMPARE(inClient(m_form->browser()->widget()), QRect(0, 212, 781, 308));
        // The progress bar sits at the right end of the status bar.
        const QProgressBar* progress = m_form->statusPanel()->progressBar();
        QCOMPARE(progress->size(), QSize(209, 19));
        QVERIFY(progress->geometry().right() >= m_form->statusPanel()->width() - 8);
        QCOMPARE(m_form->siteListPanel()->extensionChooser()->toolTip(),
                 QStringLiteral("検索するファイル拡張子を選択して下さい"));
        QCOMPARE(m_form->siteListPanel()->titleEdit()->toolTip(),
                 QStringLiteral("現在のページのタイトルです。リストに追加する場合は\nそのままリスト"
                                "に表示されるため、各自で\n分かりやすいページ名に変更して下さい"));
        QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label2"))->toolTip(),
                 m_form->siteListPanel()->titleEdit()->toolTip());
        QCOMPARE(m_form->foundFilesPanel()->list()->toolTip(),
                 QStringLiteral("選択項目がgifまたはjpgファイルの場合\nスペースキーにてプレビューを"
                                "見ることができます。\n複数選択時はプレビューできません"));
        QCOMPARE(m_form->foundFilesPanel()->list()->selectionMode(),
                 QAbstractItemView::ExtendedSelection);
    }

    void menusAndTheirCaptions()
    {
        const QList<QAction*> menus = m_form->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("メニュー"));
        QCOMPARE(menus[1]->text(), QStringLiteral("ヘルプ"));
        QStringList mainItems;
        for (QAction* item : menus[0]->menu()->actions())
            mainItems << item->text();
        QCOMPARE(mainItems,
                 (QStringList{
                     QStringLiteral("拡張子の追加と削除(&T)"), QStringLiteral("トップページ設定"),
                     QStringLiteral("表示中のページからサーチ"), QStringLiteral("終了(&X)")}));
        QCOMPARE(menus[1]->menu()->actions().size(), 1);
        QCOMPARE(menus[1]->menu()->actions()[0]->text(), QStringLiteral("バージョン情報(&V)"));

        QStringList popupItems;
        for (QAction* item : m_form->windowMenu()->actions())
            popupItems << item->objectName() + QLatin1Char('=') + item->text();
        QCOMPARE(popupItems,
                 (QStringList{
                     QStringLiteral("a1=リストに追加"), QStringLiteral("N5=選択ページをチェック"),
                     QStringLiteral("N6=選択ページを削除"), QStringLiteral("N7=ダウンロード"),
                     QStringLiteral("liveSearch=表示中のページからサーチ"),
                     QStringLiteral("N8=ＶＥＬを終了する")}));
    }

    void aboutBoxIsModelessAndHidesOnOk()
    {
        action(m_form.get(), "About1")->trigger();
        AboutBox* about = m_form->aboutBox();
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(about->size(), QSize(289, 105));
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("ProductName"))->text()
                == QStringLiteral("VEL version 1.0"));
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
        QVERIFY(!about->isVisible());
    }

    void enterPressesFileSearchFromEveryNonButtonControl()
    {
        QSignalSpy checks(m_form->siteListPanel()->searchButton(), &QPushButton::clicked);
        const QList<QWidget*> controls{
            m_form->siteListPanel()->table(), m_form->siteListPanel()->titleEdit(),
            m_form->browserBar()->urlEdit(), m_form->siteListPanel()->extensionChooser(),
            m_form->foundFilesPanel()->list()};
        for (QWidget* control : controls) {
            control->setFocus();
            const int before = checks.count();
            QTest::keyClick(control, Qt::Key_Return);
            QCOMPARE(checks.count(), before + 1);
            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(checks.count(), before + 2);
        }
        QCOMPARE(m_form->browserBar()->urlEdit()->text(), QStringLiteral("http://"));
        QVERIFY(m_browser->navigated.isEmpty());

        // A focused button takes Enter itself.
        QSignalSpy refreshes(m_form->browserBar()->refreshButton(), &QPushButton::clicked);
        m_form->browserBar()->refreshButton()->setFocus();
        const int before = checks.count();
        QTest::keyClick(m_form->browserBar()->refreshButton(), Qt::Key_Return);
        QCOMPARE(refreshes.count(), 1);
        QCOMPARE(checks.count(), before);
    }

    void escDeletesTheCurrentSiteFromAnyControl()
    {
        QSignalSpy deletes(m_form->siteListPanel()->deleteButton(), &QPushButton::clicked);
        const QList<QWidget*> controls{
            m_form->siteListPanel()->table(),  m_form->siteListPanel()->titleEdit(),
            m_form->browserBar()->urlEdit(),   m_form->siteListPanel()->extensionChooser(),
            m_form->foundFilesPanel()->list(), m_form->browserBar()->goButton()};
        for (QWidget* control : controls) {
            control->setFocus();
            QTest::keyClick(control, Qt::Key_Escape);
        }
        QCOMPARE(deletes.count(), controls.size());

        addSite(QStringLiteral("one"), QStringLiteral("http://h/1"));
        addSite(QStringLiteral("two"), QStringLiteral("http://h/2"));
        clickRow(1);
        QTest::keyClick(m_form->siteListPanel()->searchButton(), Qt::Key_Escape);
        QCOMPARE(toQString(m_form->siteGrid().cell(1, 1)), QStringLiteral("two"));
        QCOMPARE(m_form->siteGrid().cell(1, 2), std::string());
        QCOMPARE(m_browser->navigated.last(), QStringLiteral("http://h/2"));
    }

    void shiftEnterReachesTheEditBoxes()
    {
        QSignalSpy checks(m_form->siteListPanel()->searchButton(), &QPushButton::clicked);
        m_form->siteListPanel()->titleEdit()->setFocus();
        m_form->siteListPanel()->titleEdit()->setText(QStringLiteral("title"));
        QTest::keyClick(m_form->siteListPanel()->titleEdit(), Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(m_form->browserBar()->urlEdit()->hasFocus());
        QCOMPARE(m_form->siteListPanel()->titleEdit()->text(), QStringLiteral("title"));

        m_form->browserBar()->urlEdit()->setText(QStringLiteral("http://example.test/"));
        QTest::keyClick(m_form->browserBar()->urlEdit(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(m_browser->navigated, QStringList{QStringLiteral("http://example.test/")});
        QCOMPARE(m_form->browserBar()->urlEdit()->text(), QStringLiteral("http://example.test/"));
        QCOMPARE(checks.count(), 0);
    }

    void addNeedsAUrlAndShowsTheTitleDecoded()
    {
        test::ModalWatcher watcher;
        m_form->browserBar()->urlEdit()->clear();
        QTest::mouseClick(m_form->browserBar()->addToListButton(), Qt::LeftButton);
        QCOMPARE(watcher.texts(), QStringList{QStringLiteral("URLは必ず記入して下さい")});
        QCOMPARE(m_form->siteGrid().cell(0, 1), std::string());

        addSite(QStringLiteral("日本語のサイト"), QStringLiteral("http://h/"));
        const QAbstractItemModel* model = m_form->siteListPanel()->table()->model();
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("1"));
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("日本語のサイト"));
        QCOMPARE(m_form->siteGrid().cell(1, 1), fromQString(QStringLiteral("日本語のサイト")));
        // The context menu's add works while the button is disabled.
        m_form->browserBar()->urlEdit()->setText(QStringLiteral("http://h/a.jpg"));
        QVERIFY(!m_form->browserBar()->addToListButton()->isEnabled());
        action(m_form.get(), "a1")->trigger();
        QCOMPARE(m_form->siteGrid().cell(2, 2), std::string("http://h/a.jpg"));
    }

    void clickingARowOpensItsSite()
    {
        addSite(QStringLiteral("one"), QStringLiteral("http://h/1"));
        m_form->browserBar()->urlEdit()->setText(QStringLiteral("http://h/p.gif"));
        QVERIFY(!m_form->browserBar()->addToListButton()->isEnabled());

        clickRow(3);  // empty row: highlighted, focus to check, nothing else
        QVERIFY(m_browser->navigated.isEmpty());
        QVERIFY(!m_form->browserBar()->addToListButton()->isEnabled());
        QVERIFY(m_form->siteListPanel()->searchButton()->hasFocus());
        QCOMPARE(m_form->siteGrid().selection(), (GridRect{0, 3, 4, 3}));
        QCOMPARE(m_form->siteListPanel()->table()->selectionModel()->selectedIndexes().size(), 4);

        clickRow(1);
        QCOMPARE(m_browser->navigated, QStringList{QStringLiteral("http://h/1")});
        QVERIFY(m_form->browserBar()->addToListButton()->isEnabled());
        QVERIFY(m_form->siteListPanel()->searchButton()->hasFocus());

        // Growing the grid after a row selection narrows the highlight to column 3.
        for (int i = 2; i <= 20; ++i)
            addSite(QStringLiteral("s"), QStringLiteral("http://h/n"));
        QCOMPARE(m_form->siteListPanel()->table()->model()->rowCount(), 20);
        QCOMPARE(m_form->siteGrid().current(), (GridCoord{3, 1}));
        const QModelIndexList selected =
            m_form->siteListPanel()->table()->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected[0].column(), 3);
    }

    void browserNotificationsDriveTheBoxesAndButtons()
    {
        m_browser->complete(QStringLiteral("http://h/pic.jpg"), QStringLiteral("A picture"));
        QCOMPARE(m_form->browserBar()->urlEdit()->text(), QStringLiteral("http://h/pic.jpg"));
        QCOMPARE(m_form->siteListPanel()->titleEdit()->text(), QStringLiteral("A picture"));
        QCOMPARE(m_form->statusText(), QStringLiteral("待機中"));
        QVERIFY(!m_form->browserBar()->addToListButton()->isEnabled());
        m_browser->complete(QStringLiteral("http://h/index.html"), QStringLiteral("Home"));
        QVERIFY(m_form->browserBar()->addToListButton()->isEnabled());

        emit m_browser->beforeNavigate();
        QCOMPARE(m_form->statusText(), QStringLiteral("ホストに接続しています"));

        emit m_browser->commandStateChanged(BrowserPane::kForwardCommand, false);
        QVERIFY(!m_form->browserBar()->forwardButton()->isEnabled());
        QVERIFY(m_form->browserBar()->backButton()->isEnabled());
        emit m_browser->commandStateChanged(BrowserPane::kBackCommand, false);
        QVERIFY(!m_form->browserBar()->backButton()->isEnabled());
        emit m_browser->commandStateChanged(-1, false);
        emit m_browser->commandStateChanged(BrowserPane::kBackCommand, true);
        QVERIFY(m_form->browserBar()->backButton()->isEnabled());

        QTest::mouseClick(m_form->browserBar()->backButton(), Qt::LeftButton);
        QCOMPARE(m_browser->backs, 1);
        m_form->browserBar()->urlEdit()->setText(QStringLiteral("http://h/next"));
        QTest::mouseClick(m_form->browserBar()->goButton(), Qt::LeftButton);
        QCOMPARE(m_browser->navigated.last(), QStringLiteral("http://h/next"));
    }

    void gridModelStaysConsistent()
    {
        QAbstractItemModelTester tester(m_form->siteListPanel()->table()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 22; ++i)
            addSite(QStringLiteral("s%1").arg(i), QStringLiteral("http://h/%1").arg(i));
        QCOMPARE(m_form->siteListPanel()->table()->model()->rowCount(), 22);
        clickRow(22);
        m_form->onDeleteSiteClicked();
        clickRow(1);
        m_form->onDeleteSiteClicked();
        QCOMPARE(m_form->siteListPanel()->table()->model()->index(0, 1).data().toString(),
                 QStringLiteral("s1"));
        QCOMPARE(m_form->siteListPanel()->table()->model()->index(0, 0).data().toString(),
                 QStringLiteral("1"));
    }

    void refreshNeedsADocument()
    {
        QTest::mouseClick(m_form->browserBar()->refreshButton(), Qt::LeftButton);
        QCOMPARE(m_browser->refreshes, 0);
        m_browser->complete(QStringLiteral("http://h/"), QStringLiteral("t"));
        QTest::mouseClick(m_form->browserBar()->refreshButton(), Qt::LeftButton);
        QCOMPARE(m_browser->refreshes, 1);
    }

    void everyWayOutRunsTheSaveOnce_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("menu") << QStringLiteral("Exit1");
        QTest::newRow("context menu") << QStringLiteral("N8");
        QTest::newRow("close box") << QString();
    }

    void everyWayOutRunsTheSaveOnce()
    {
        QFETCH(QString, way);
        if (way.isEmpty())
            m_form->close();
        else
            m_form->findChild<QAction*>(way)->trigger();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_saves, 1);
        m_form.reset();
        QCOMPARE(m_saves, 1);
    }

    void screenReadersFindEveryPanelByName()
    {
        QVERIFY(qobject_cast<QStatusBar*>(m_form->statusBar()));
        QCOMPARE(m_form->statusBar(), m_form->statusPanel());
        const QList<QPair<QWidget*, QString>> named{
            {m_form->siteListPanel()->table(), QStringLiteral("サイト一覧")},
            {m_form->foundFilesPanel()->list(), QStringLiteral("見つかったファイル")},
            {m_form->statusPanel()->progressBar(), QStringLiteral("進行状況")},
            {m_form->browserBar()->urlEdit(), QStringLiteral("URL")},
            {m_form->siteListPanel()->titleEdit(), QStringLiteral("タイトル")},
            {m_form->siteListPanel()->extensionChooser(), QStringLiteral("拡張子")},
        };
        for (const auto& [widget, name] : named)
            QCOMPARE(widget->accessibleName(), name);
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(
            m_form->statusPanel()->findChild<QLabel*>(QStringLiteral("StatusPanel0")));
        QVERIFY(status);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("待機中"));
        m_form->setStatusText(QStringLiteral("接続しました"));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("接続しました"));
    }

    void aBatchThatCannotStartSaysSo()
    {
        // This window has no downloader.
        m_form->foundFilesPanel()->showSearchResult({{"a.gif", "a.gif"}});
        m_form->onDownloadConfirmed();
        QCOMPARE(m_form->statusText(),
                 QStringLiteral("ファイルのダウンロードを開始できませんでした"));
    }

    void tabReachesEveryControl()
    {
        QList<QWidget*> controls{m_form->siteListPanel()->table(),
                                 m_form->siteListPanel()->searchButton(),
                                 m_form->siteListPanel()->deleteButton(),
                                 m_form->siteListPanel()->titleEdit(),
                                 m_form->siteListPanel()->extensionChooser(),
                                 m_form->browserBar()->backButton(),
                                 m_form->browserBar()->forwardButton(),
                                 m_form->browserBar()->refreshButton(),
                                 m_form->browserBar()->urlEdit(),
                                 m_form->browserBar()->goButton(),
                                 m_form->browserBar()->addToListButton(),
                                 m_form->foundFilesPanel()->list(),
                                 m_form->browser()->widget()};
        // The found-files buttons take part once there is something to act on.
        m_form->foundFilesPanel()->showSearchResult({{"a.gif", "a.gif"}});
        controls << m_form->foundFilesPanel()->deleteSelectedButton()
                 << m_form->foundFilesPanel()->downloadButton();
        m_form->siteListPanel()->searchButton()->setFocus();
        QSet<QWidget*> reached;
        for (int i = 0; i < 40 && reached.size() < controls.size(); ++i) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            reached.insert(focused);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        for (QWidget* control : controls)
            QVERIFY2(reached.contains(control), qPrintable(control->objectName()));
    }

    void escapingErrorsAreShownAndTheProgramGoesOn()
    {
        test::ModalWatcher watcher;
        QTimer::singleShot(0, this, [] { throw std::runtime_error("broken handler"); });
        QTRY_COMPARE(watcher.texts(), QStringList{QStringLiteral("broken handler")});
        // Still working afterwards.
        addSite(QStringLiteral("t"), QStringLiteral("http://h/"));
        QCOMPARE(m_form->siteGrid().cell(0, 1), std::string("1"));
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::Form1Test)

#include "main_window_test.moc"
