#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "gui/app/main_window.h"
#include "gui/foundfiles/found_files_list.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/search/live_search_controller.h"
#include "support/fake_browser_pane.h"
#include "support/qt_test_main.h"
#include "support/window_parts.h"

namespace vel {

namespace {

constexpr int kTimeout = 10000;
const QString kPage = QStringLiteral("https://site.test/gallery/");

}  // namespace

// The search of the page the browser shows, through the window and a scripted pane.
class LiveSearchTest final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> m_form;
    test::FakeBrowserPane* m_browser = nullptr;

    test::WindowParts ui() const { return test::WindowParts(m_form.get()); }
    QAction* liveSearchAction() const { return ui().action("liveSearch"); }
    QStringList listed() const { return ui().listed(); }
    // What the list holds before the search: texts that are their own values.
    void list(std::initializer_list<const char*> texts) const
    {
        std::vector<FoundEntry> entries;
        for (const char* text : texts)
            entries.push_back({text, text});
        ui().foundList()->setEntries(std::move(entries), PageCharset::CodePage);
    }

    void chooseExtension(const QString& extension)
    {
        QComboBox* chooser = ui().extensionChooser();
        chooser->setCurrentIndex(chooser->findText(extension));
    }

    void answerWith(PageResources::Status status, const QStringList& urls = {})
    {
        m_browser->resources = PageResources{status, urls};
    }

    // Runs the search and waits for its end.
    void searchByShortcut()
    {
        QTest::keyClick(m_form.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), kTimeout);
    }

private slots:
    void init()
    {
        m_browser = new test::FakeBrowserPane;
        MainWindowServices services;
        services.browser = m_browser;
        services.saveSiteList = [](const SiteGrid&) {};
        m_form = std::make_unique<MainWindow>(std::move(services));
        for (const char* extension : {"gif", "JPG", "png"})
            ui().extensionChooser()->addItem(QString::fromLatin1(extension));
        m_browser->complete(kPage, QStringLiteral("gallery"));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void cleanup() { m_form.reset(); }

    void oneCommandInBothMenusWithItsShortcut()
    {
        QAction* action = liveSearchAction();
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("表示中のページからサーチ"));
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F")));
        QVERIFY(m_form->menuBar()->actions()[0]->menu()->actions().contains(action));
        QVERIFY(ui().windowMenu()->actions().contains(action));
    }

    void addsTheNewFilesOnceAfterTheListed()
    {
        list({"https://cdn.test/a.jpg", "thumbs/b.jpg"});
        chooseExtension(QStringLiteral("JPG"));
        answerWith(PageResources::Status::Collected,
                   {QStringLiteral("https://cdn.test/a.jpg"),
                    QStringLiteral("https://cdn.test/c.JPG"),
                    QStringLiteral("https://site.test/gallery/next.html"),
                    QStringLiteral("https://cdn.test/d.jpg?w=640"),
                    QStringLiteral("https://cdn.test/c.JPG#zoom"),
                    QStringLiteral("https://cdn.test/e.png?f=x.jpg")});
        searchByShortcut();
        QCOMPARE(m_browser->collections, 1);
        QCOMPARE(
            listed(),
            (QStringList{QStringLiteral("https://cdn.test/a.jpg"), QStringLiteral("thumbs/b.jpg"),
                         QStringLiteral("https://cdn.test/c.JPG"),
                         QStringLiteral("https://cdn.test/d.jpg?w=640")}));
        QCOMPARE(ui().statusText(), QStringLiteral("2個のファイルが見つかりました"));
        const FoundEntry added = ui().foundList()->entryAt(3);
        QCOMPARE(QString::fromStdString(added.shownOn), kPage);
        QVERIFY(ui().downloadButton()->isEnabled());

        // Again from the context menu: everything is listed already.
        ui().windowMenu()
            ->actions()[ui().windowMenu()->actions().indexOf(liveSearchAction())]
            ->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), kTimeout);
        QCOMPARE(listed().size(), 4);
        QCOMPARE(ui().statusText(), QStringLiteral("0個のファイルが見つかりました"));
    }

    void pagesThatCannotBeReadAddNothing_data()
    {
        QTest::addColumn<PageResources::Status>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("loading") << PageResources::Status::Loading
                                 << QStringLiteral("ページを読み込んでいます。"
                                                   "読み込みが終わってからサーチしてください");
        QTest::newRow("blank") << PageResources::Status::Blank
                               << QStringLiteral("表示中のページがありません");
        QTest::newRow("script failed") << PageResources::Status::Failed
                                       << QStringLiteral("表示中のページを読み取れませんでした");
    }

    void pagesThatCannotBeReadAddNothing()
    {
        QFETCH(PageResources::Status, status);
        QFETCH(QString, text);
        list({"x.gif"});
        chooseExtension(QStringLiteral("gif"));
        // Whatever a failed answer carries is not listed.
        answerWith(status, {QStringLiteral("https://cdn.test/y.gif")});
        searchByShortcut();
        QCOMPARE(listed(), QStringList{QStringLiteral("x.gif")});
        QCOMPARE(ui().statusText(), text);
    }

    void aPageThatNeverAnswersEndsTheSearch()
    {
        ui().liveSearch()->setTimeout(std::chrono::milliseconds(200));
        m_browser->holdCollection = true;
        chooseExtension(QStringLiteral("gif"));
        QTest::keyClick(m_form.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(ui().liveSearch()->busy());
        QCOMPARE(ui().statusText(), QStringLiteral("表示中のページを検索しています"));
        // The window goes on meanwhile; a second command waits for the first.
        QVERIFY(m_form->isEnabled());
        liveSearchAction()->trigger();
        QCOMPARE(m_browser->collections, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), kTimeout);
        QCOMPARE(ui().statusText(), QStringLiteral("表示中のページから応答がありませんでした"));
        // The answer that comes too late is dropped.
        m_browser->answer(
            {PageResources::Status::Collected, {QStringLiteral("https://h/late.gif")}});
        QCOMPARE(ui().foundList()->count(), 0);
        QCOMPARE(ui().statusText(), QStringLiteral("表示中のページから応答がありませんでした"));
    }

    void theListAsItIsWhenThePageAnswersCounts()
    {
        list({"https://h/a.gif"});
        m_browser->holdCollection = true;
        chooseExtension(QStringLiteral("gif"));
        liveSearchAction()->trigger();
        // The user takes the entry off the list while the page is read.
        ui().foundList()->setCurrentRow(0);
        ui().foundFiles()->onDeleteSelectedFilesClicked();
        m_browser->answer({PageResources::Status::Collected,
                           {QStringLiteral("https://h/a.gif"), QStringLiteral("https://h/b.gif")}});
        QVERIFY(!ui().liveSearch()->busy());
        QCOMPARE(
            listed(),
            (QStringList{QStringLiteral("https://h/a.gif"), QStringLiteral("https://h/b.gif")}));
        QCOMPARE(ui().statusText(), QStringLiteral("2個のファイルが見つかりました"));
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::LiveSearchTest)

#include "live_search_test.moc"
