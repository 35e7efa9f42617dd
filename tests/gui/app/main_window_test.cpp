#include <stdexcept>

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QSet>
#include <QTimer>

#include "gui/app/about_box.h"
#include "gui/app/status_bar.h"
#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace {

constexpr int kNumber = SiteGrid::kNumberColumn;
constexpr int kName = SiteGrid::kNameColumn;
constexpr int kUrl = SiteGrid::kUrlColumn;
constexpr int kStatus = SiteGrid::kStatusColumn;

}  // namespace

class Form1Test final : public test::WindowTest {
    Q_OBJECT

private:
    // Where a control sits in the window's client area.
    QRect inClient(const QWidget* widget) const
    {
        return {widget->mapTo(m_form->centralWidget(), QPoint(0, 0)), widget->size()};
    }

    void clickRow(int gridRow)
    {
        QTableView* view = ui().siteTable();
        const QModelIndex index = view->model()->index(gridRow - 1, kName);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

private slots:
    void init()
    {
        openWindow();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        // Creation opened the (empty) start page.
        QCOMPARE(m_browser->navigated, QStringList{QString()});
        m_browser->navigated.clear();
    }
    void cleanup() { closeWindow(); }

    void initialStates()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("VEL"));
        QCOMPARE(m_form->centralWidget()->size(), QSize(782, 519));
        QCOMPARE(m_form->statusBar()->height(), 25);
        QCOMPARE(m_form->statusBar()->geometry().top(),
                 m_form->centralWidget()->geometry().bottom() + 1);
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QCOMPARE(ui().urlEdit()->text(), QStringLiteral("http://"));
        QVERIFY(!ui().deleteSelectedButton()->isEnabled());
        QVERIFY(!ui().downloadButton()->isEnabled());
        for (QPushButton* button :
             {ui().searchButton(), ui().deleteButton(), ui().backButton(), ui().forwardButton(),
              ui().refreshButton(), ui().goButton(), ui().addToListButton()})
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        QCOMPARE(ui().progressBar()->value(), 0);

        QTableView* grid = ui().siteTable();
        QCOMPARE(grid->model()->rowCount(), 19);  // 20 rows with the header row
        QCOMPARE(grid->model()->columnCount(), 4);
        QCOMPARE(ui().cell(kName, 0), QStringLiteral("サイト名"));
        QCOMPARE(ui().cell(kUrl, 0), QStringLiteral("URL"));
        QCOMPARE(ui().cell(kStatus, 0), QStringLiteral("状態"));
        QCOMPARE(ui().cell(kNumber, 0), QString());
        QCOMPARE(grid->columnWidth(kNumber), 49);
        QCOMPARE(grid->columnWidth(kStatus), 170);
        QVERIFY(!grid->currentIndex().isValid());
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
        QCOMPARE(inClient(ui().siteTable()), QRect(8, 2, 617, 143));
        QCOMPARE(inClient(ui().titleEdit()), QRect(283, 152, 270, 20));
        QCOMPARE(inClient(ui().urlEdit()), QRect(184, 184, 277, 20));
        QCOMPARE(inClient(ui().extensionChooser()), QRect(560, 152, 65, 20));
        QCOMPARE(inClient(ui().foundList()), QRect(632, 0, 143, 161));
        QCOMPARE(inClient(m_browser->widget()), QRect(0, 212, 781, 308));
        // The progress bar sits at the right end of the status bar.
        const QProgressBar* progress = ui().progressBar();
        QCOMPARE(progress->size(), QSize(209, 19));
        QVERIFY(progress->geometry().right() >= m_form->statusBar()->width() - 8);
        QCOMPARE(ui().extensionChooser()->toolTip(),
                 QStringLiteral("検索するファイル拡張子を選択して下さい"));
        QCOMPARE(ui().titleEdit()->toolTip(),
                 QStringLiteral("現在のページのタイトルです。リストに追加する場合は\nそのままリスト"
                                "に表示されるため、各自で\n分かりやすいページ名に変更して下さい"));
        QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label2"))->toolTip(),
                 ui().titleEdit()->toolTip());
        QCOMPARE(ui().foundList()->toolTip(),
                 QStringLiteral("選択項目が画像ファイル（gif・jpg・png・webp・bmp・svg）の場合\nス"
                                "ペースキーにてプレビューを"
                                "見ることができます。\n複数選択時はプレビューできません"));
        QCOMPARE(ui().foundList()->selectionMode(), QAbstractItemView::ExtendedSelection);
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
                 (QStringList{QStringLiteral("拡張子の追加と削除(&T)"),
                              QStringLiteral("トップページ設定"),
                              QStringLiteral("表示中のページからサーチ"), QStringLiteral("巡回"),
                              QStringLiteral("サムネイル表示"), QStringLiteral("サイズで絞り込み"),
                              QStringLiteral("保存フォルダを開く"), QStringLiteral("終了(&X)")}));
        // No two commands of the window share a shortcut.
        QSet<QKeySequence> shortcuts;
        for (const QAction* action : m_form->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                QVERIFY2(!shortcuts.contains(key), qPrintable(key.toString()));
                shortcuts.insert(key);
            }
        }
        QCOMPARE(menus[1]->menu()->actions().size(), 1);
        QCOMPARE(menus[1]->menu()->actions()[0]->text(), QStringLiteral("バージョン情報(&V)"));

        QStringList popupItems;
        for (QAction* item : ui().windowMenu()->actions())
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
        ui().action("About1")->trigger();
        auto* about = ui().dialog<AboutBox>();
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(about->size(), QSize(289, 105));
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("ProductName"))->text()
                == QStringLiteral("VEL version 1.0"));
        QTest::mouseClick(test::part<QPushButton>(about, "OKButton"), Qt::LeftButton);
        QVERIFY(!about->isVisible());
    }

    void enterPressesFileSearchFromEveryNonButtonControl()
    {
        QSignalSpy checks(ui().searchButton(), &QPushButton::clicked);
        const QList<QWidget*> controls{ui().siteTable(), ui().titleEdit(), ui().urlEdit(),
                                       ui().extensionChooser(), ui().foundList()};
        for (QWidget* control : controls) {
            control->setFocus();
            const int before = checks.count();
            QTest::keyClick(control, Qt::Key_Return);
            QCOMPARE(checks.count(), before + 1);
            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(checks.count(), before + 2);
        }
        QCOMPARE(ui().urlEdit()->text(), QStringLiteral("http://"));
        QVERIFY(m_browser->navigated.isEmpty());

        // A focused button takes Enter itself.
        QSignalSpy refreshes(ui().refreshButton(), &QPushButton::clicked);
        ui().refreshButton()->setFocus();
        const int before = checks.count();
        QTest::keyClick(ui().refreshButton(), Qt::Key_Return);
        QCOMPARE(refreshes.count(), 1);
        QCOMPARE(checks.count(), before);
    }

    void escDeletesTheCurrentSiteFromAnyControl()
    {
        QSignalSpy deletes(ui().deleteButton(), &QPushButton::clicked);
        const QList<QWidget*> controls{ui().siteTable(),        ui().titleEdit(), ui().urlEdit(),
                                       ui().extensionChooser(), ui().foundList(), ui().goButton()};
        for (QWidget* control : controls) {
            control->setFocus();
            QTest::keyClick(control, Qt::Key_Escape);
        }
        QCOMPARE(deletes.count(), controls.size());

        addSite(QStringLiteral("one"), QStringLiteral("http://h/1"));
        addSite(QStringLiteral("two"), QStringLiteral("http://h/2"));
        clickRow(1);
        QTest::keyClick(ui().searchButton(), Qt::Key_Escape);
        QCOMPARE(ui().cell(kName, 1), QStringLiteral("two"));
        QCOMPARE(ui().cell(kName, 2), QString());
        QCOMPARE(m_browser->navigated.last(), QStringLiteral("http://h/2"));
    }

    void shiftEnterReachesTheEditBoxes()
    {
        QSignalSpy checks(ui().searchButton(), &QPushButton::clicked);
        ui().titleEdit()->setFocus();
        ui().titleEdit()->setText(QStringLiteral("title"));
        QTest::keyClick(ui().titleEdit(), Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(ui().urlEdit()->hasFocus());
        QCOMPARE(ui().titleEdit()->text(), QStringLiteral("title"));

        ui().urlEdit()->setText(QStringLiteral("http://example.test/"));
        QTest::keyClick(ui().urlEdit(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(m_browser->navigated, QStringList{QStringLiteral("http://example.test/")});
        QCOMPARE(ui().urlEdit()->text(), QStringLiteral("http://example.test/"));
        QCOMPARE(checks.count(), 0);
    }

    void addNeedsAUrlAndShowsTheTitleDecoded()
    {
        test::ModalWatcher watcher;
        ui().urlEdit()->clear();
        QTest::mouseClick(ui().addToListButton(), Qt::LeftButton);
        QCOMPARE(watcher.texts(), QStringList{QStringLiteral("URLは必ず記入して下さい")});
        QCOMPARE(ui().cell(kNumber, 1), QString());

        addSite(QStringLiteral("日本語のサイト"), QStringLiteral("http://h/"));
        QCOMPARE(ui().cell(kNumber, 1), QStringLiteral("1"));
        QCOMPARE(ui().cell(kName, 1), QStringLiteral("日本語のサイト"));
        // The context menu's add works while the button is disabled.
        ui().urlEdit()->setText(QStringLiteral("http://h/a.jpg"));
        QVERIFY(!ui().addToListButton()->isEnabled());
        ui().action("a1")->trigger();
        QCOMPARE(ui().cell(kUrl, 2), QStringLiteral("http://h/a.jpg"));
    }

    void clickingARowOpensItsSite()
    {
        addSite(QStringLiteral("one"), QStringLiteral("http://h/1"));
        ui().urlEdit()->setText(QStringLiteral("http://h/p.gif"));
        QVERIFY(!ui().addToListButton()->isEnabled());

        clickRow(3);  // empty row: highlighted, focus to check, nothing else
        QVERIFY(m_browser->navigated.isEmpty());
        QVERIFY(!ui().addToListButton()->isEnabled());
        QVERIFY(ui().searchButton()->hasFocus());
        QCOMPARE(ui().siteTable()->selectionModel()->selectedIndexes().size(), 4);
        QVERIFY(ui().siteTable()->selectionModel()->isRowSelected(2));

        clickRow(1);
        QCOMPARE(m_browser->navigated, QStringList{QStringLiteral("http://h/1")});
        QVERIFY(ui().addToListButton()->isEnabled());
        QVERIFY(ui().searchButton()->hasFocus());

        // Growing the grid after a row selection narrows the highlight to column 3.
        for (int i = 2; i <= 20; ++i)
            addSite(QStringLiteral("s"), QStringLiteral("http://h/n"));
        QCOMPARE(ui().siteTable()->model()->rowCount(), 20);
        QCOMPARE(ui().currentCell(), QPoint(kStatus, 1));
        const QModelIndexList selected = ui().siteTable()->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected[0].column(), kStatus);
    }

    void browserNotificationsDriveTheBoxesAndButtons()
    {
        m_browser->complete(QStringLiteral("http://h/pic.jpg"), QStringLiteral("A picture"));
        QCOMPARE(ui().urlEdit()->text(), QStringLiteral("http://h/pic.jpg"));
        QCOMPARE(ui().titleEdit()->text(), QStringLiteral("A picture"));
        QCOMPARE(ui().statusText(), QStringLiteral("待機中"));
        QVERIFY(!ui().addToListButton()->isEnabled());
        m_browser->complete(QStringLiteral("http://h/index.html"), QStringLiteral("Home"));
        QVERIFY(ui().addToListButton()->isEnabled());

        emit m_browser->beforeNavigate();
        QCOMPARE(ui().statusText(), QStringLiteral("ホストに接続しています"));

        emit m_browser->canGoForwardChanged(false);
        QVERIFY(!ui().forwardButton()->isEnabled());
        QVERIFY(ui().backButton()->isEnabled());
        emit m_browser->canGoBackChanged(false);
        QVERIFY(!ui().backButton()->isEnabled());
        emit m_browser->canGoBackChanged(true);
        QVERIFY(ui().backButton()->isEnabled());

        QTest::mouseClick(ui().backButton(), Qt::LeftButton);
        QCOMPARE(m_browser->backs, 1);
        ui().urlEdit()->setText(QStringLiteral("http://h/next"));
        QTest::mouseClick(ui().goButton(), Qt::LeftButton);
        QCOMPARE(m_browser->navigated.last(), QStringLiteral("http://h/next"));
    }

    void gridModelStaysConsistent()
    {
        QAbstractItemModelTester tester(ui().siteTable()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 22; ++i)
            addSite(QStringLiteral("s%1").arg(i), QStringLiteral("http://h/%1").arg(i));
        QCOMPARE(ui().siteTable()->model()->rowCount(), 22);
        clickRow(22);
        m_form->onDeleteSiteClicked();
        clickRow(1);
        m_form->onDeleteSiteClicked();
        QCOMPARE(ui().cell(kName, 1), QStringLiteral("s1"));
        QCOMPARE(ui().cell(kNumber, 1), QStringLiteral("1"));
    }

    void refreshNeedsADocument()
    {
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
        QCOMPARE(m_browser->refreshes, 0);
        m_browser->complete(QStringLiteral("http://h/"), QStringLiteral("t"));
        QTest::mouseClick(ui().refreshButton(), Qt::LeftButton);
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
        QVERIFY(qobject_cast<StatusBar*>(m_form->statusBar()));
        const QList<QPair<QWidget*, QString>> named{
            {ui().siteTable(), QStringLiteral("サイト一覧")},
            {ui().foundList(), QStringLiteral("見つかったファイル")},
            {ui().progressBar(), QStringLiteral("進行状況")},
            {ui().urlEdit(), QStringLiteral("URL")},
            {ui().titleEdit(), QStringLiteral("タイトル")},
            {ui().extensionChooser(), QStringLiteral("拡張子")},
        };
        for (const auto& [widget, name] : named)
            QCOMPARE(widget->accessibleName(), name);
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(ui().statusLabel());
        QVERIFY(status);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("待機中"));
        m_form->setStatusText(QStringLiteral("接続しました"));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("接続しました"));
    }

    void aBatchThatCannotStartSaysSo()
    {
        // This window has no downloader.
        ui().foundFiles()->showSearchResult({{"a.gif", "a.gif"}});
        m_form->onDownloadConfirmed();
        QCOMPARE(ui().statusText(), QStringLiteral("ファイルのダウンロードを開始できませんでした"));
    }

    void tabReachesEveryControl()
    {
        QList<QWidget*> controls{ui().siteTable(),     ui().searchButton(),     ui().deleteButton(),
                                 ui().titleEdit(),     ui().extensionChooser(), ui().backButton(),
                                 ui().forwardButton(), ui().refreshButton(),    ui().urlEdit(),
                                 ui().goButton(),      ui().addToListButton(),  ui().foundList(),
                                 m_browser->widget()};
        // The found-files buttons take part once there is something to act on.
        ui().foundFiles()->showSearchResult({{"a.gif", "a.gif"}});
        controls << ui().deleteSelectedButton() << ui().downloadButton();
        ui().searchButton()->setFocus();
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
        QCOMPARE(ui().cell(kNumber, 1), QStringLiteral("1"));
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::Form1Test)

#include "main_window_test.moc"
