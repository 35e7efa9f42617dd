#include <initializer_list>
#include <string>
#include <vector>

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>

#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace {

const QString kPage = QStringLiteral("https://site.test/gallery/");

}  // namespace

// The search of the page the browser shows, through the window and a scripted pane.
class LiveSearchTest final : public test::WindowTest {
    Q_OBJECT

private:
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
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), test::kWindowTimeout);
    }

private slots:
    void init()
    {
        openWindow(
            {.extensions = {QStringLiteral("gif"), QStringLiteral("JPG"), QStringLiteral("png")}});
        m_browser->complete(kPage, QStringLiteral("gallery"));
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void cleanup() { closeWindow(); }

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
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), test::kWindowTimeout);
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
        QTRY_VERIFY_WITH_TIMEOUT(!ui().liveSearch()->busy(), test::kWindowTimeout);
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
