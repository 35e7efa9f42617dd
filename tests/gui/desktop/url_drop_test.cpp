#include <QDropEvent>
#include <QMimeData>

#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

// Web addresses dropped on the browser open there; dropped on the site list
// they become a row. Anything else goes on to the widget dropped on.
class UrlDropTest final : public test::WindowTest {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void dropsOpenOrAddWebAddresses_data()
    {
        QTest::addColumn<bool>("onBrowser");
        QTest::addColumn<QStringList>("uris");  // empty: the text is dropped
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");  // what opens, or the row added
        const QString page = QStringLiteral("https://example.org/gallery/");
        QTest::newRow("uri-list on the browser")
            << true << QStringList{QStringLiteral("file:///tmp/a.html"), page} << QString() << page;
        QTest::newRow("text on the browser")
            << true << QStringList{} << QStringLiteral("  ") + page + u'\n' << page;
        QTest::newRow("a file") << true << QStringList{QStringLiteral("file:///tmp/a.html")}
                                << QString() << QString();
        QTest::newRow("a sentence")
            << true << QStringList{} << QStringLiteral("see ") + page << QString();
        QTest::newRow("another page on the list")
            << false << QStringList{page} << QString() << QStringLiteral("example.org ") + page;
        QTest::newRow("the page shown on the list")
            << false << QStringList{} << QStringLiteral("http://shown.test/")
            << QStringLiteral("Shown http://shown.test/");
        QTest::newRow("a picture on the list")
            << false << QStringList{} << QStringLiteral("http://a.test/x.jpg") << QString();
    }

    void dropsOpenOrAddWebAddresses()
    {
        QFETCH(bool, onBrowser);
        QFETCH(QStringList, uris);
        QFETCH(QString, text);
        QFETCH(QString, result);
        m_browser->complete(QStringLiteral("http://shown.test/"), QStringLiteral("Shown"));
        m_browser->navigated.clear();
        QMimeData data;
        if (uris.isEmpty())
            data.setText(text);
        else
            data.setUrls(QList<QUrl>(uris.begin(), uris.end()).toList());
        QWidget* target = onBrowser ? m_browser->widget() : ui().siteTable()->viewport();
        // As a drag arrives: the drop goes where the entering drag was taken.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);

        const QString row =
            ui().cell(SiteGrid::kNameColumn, 1) + u' ' + ui().cell(SiteGrid::kUrlColumn, 1);
        QCOMPARE(onBrowser ? m_browser->navigated.value(0) : row.trimmed(), result);
        QCOMPARE(enter.isAccepted(), !onBrowser || !result.isEmpty());
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::UrlDropTest)
#include "url_drop_test.moc"
