#include <algorithm>
#include <string>
#include <vector>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QBuffer>
#include <QDate>
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "gui/foundfiles/found_files_model.h"
#include "gui/thumbnails/size_filter_dialog.h"
#include "gui/thumbnails/thumbnail_grid.h"
#include "support/qt_test_main.h"
#include "support/window_test.h"

namespace vel {

namespace {

std::string encoded(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

}  // namespace

// The thumbnail grid, its placeholders and the size filter through the real
// window, fetching real pictures from a loopback server.
class ThumbnailsTest final : public test::WindowTest {
    Q_OBJECT

private:
    ThumbnailGrid* grid() const { return test::part<ThumbnailGrid>(m_form.get()); }
    QString note(int row, int role = Qt::AccessibleDescriptionRole) const
    {
        return ui().foundList()->model()->index(row, 0).data(role).toString();
    }
    QImage thumbnailAt(int row) const
    {
        const QModelIndex index = ui().foundList()->model()->index(row, 0);
        return index.data(FoundFilesModel::ThumbnailRole).value<QImage>();
    }

    // Lists these targets of the server as the file search would.
    void list(const std::vector<std::string>& targets)
    {
        std::vector<FoundEntry> entries;
        for (const std::string& target : targets)
            entries.push_back({server().url(target), server().url(target)});
        ui().foundFiles()->showSearchResult(std::move(entries));
    }

    int requestsFor(const std::string& target)
    {
        const auto targets = server().targets();
        return static_cast<int>(std::count(targets.begin(), targets.end(), target));
    }

private slots:
    void init()
    {
        const std::string big = encoded(320, 240, "PNG");
        for (int i = 0; i < 16; ++i)
            server().route("/p" + std::to_string(i) + ".png", test::ok(big));
        server().route("/photo.jpg", test::ok(encoded(1600, 1200, "JPEG")));
        server().route("/icon.bmp", test::ok(encoded(16, 16, "BMP")));
        server().route("/gone.png", test::reply("404 Not Found", "<html>gone</html>"));
        server().route("/page.png", test::ok("<html><body>not a picture</body></html>"));
        server().route("/cut.png", test::ok(big.substr(0, big.size() / 2)));
        openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() { closeWindow(); }

    void gridTakesTheBrowsersPlaceAndShowsEachPicture()
    {
        std::vector<std::string> targets = {"/photo.jpg", "/icon.bmp", "/gone.png", "/page.png",
                                            "/cut.png"};
        for (int i = 0; i < 16; ++i)
            targets.push_back("/p" + std::to_string(i) + ".png");
        list(targets);
        const QAbstractItemModelTester tester(
            ui().foundList()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QWidget* browser = m_browser->widget()->parentWidget();
        QTest::keyClick(m_form.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(ui().action("thumbnailView")->isChecked());
        QVERIFY(grid()->isVisible());
        QVERIFY(!browser->isVisible());
        QCOMPARE(grid()->geometry(), browser->geometry());
        int whole = 0;
        for (int row = 0; row < ui().foundList()->count(); ++row)
            whole += grid()->viewport()->rect().contains(
                grid()->visualRect(grid()->model()->index(row, 0)));
        QVERIFY2(whole >= 12, qPrintable(QString::number(whole)));

        // The rows in view and one screen ahead are all there is here.
        struct Expected {
            int row;
            const char* description;
        };
        const Expected expected[] = {
            {0, "1600×1200 "},         {1, "16×16 1 KB"},         {2, "HTTP 404"},
            {3, "画像ではありません"}, {4, "途中で切れています"}, {5, "320×240 "},
        };
        for (const Expected& e : expected)
            QTRY_VERIFY2_WITH_TIMEOUT(note(e.row).contains(QString::fromUtf8(e.description)),
                                      qPrintable(note(e.row)), test::kWindowTimeout);
        for (const int row : {0, 1, 2, 5}) {
            const QImage thumbnail = thumbnailAt(row);
            QCOMPARE(thumbnail.isNull(), row == 2);
            QVERIFY(thumbnail.width() <= ThumbnailGrid::kThumbnailSide);
        }
        QVERIFY(note(2, Qt::ToolTipRole).contains(QStringLiteral("HTTP 404")));
        QVERIFY(note(0, Qt::DisplayRole).endsWith(QStringLiteral("/photo.jpg  1600×1200")));

        // Off again: the browser is back where it was.
        QTest::keyClick(m_form.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!grid()->isVisible());
        QVERIFY(browser->isVisible());
    }

    void bothViewsShareTheSelectionAndItsKeys()
    {
        list({"/p0.png", "/p1.png", "/p2.png", "/p3.png"});
        ui().foundFilesMenu()->actions().constLast()->trigger();
        QVERIFY(grid()->isVisible());
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->model()->index(1, 0));
        grid()->selectionModel()->select(grid()->model()->index(3, 0), QItemSelectionModel::Select);
        QCOMPARE(ui().foundList()->selectedRows(), (std::vector<int>{1, 3}));
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(ui().listed(), (QStringList{url("/p0.png"), url("/p2.png")}));
        // Space opens the single picture selected, and the grid makes way for it.
        ui().foundList()->setCurrentRow(1);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(m_browser->navigated.constLast(), url("/p2.png"));
        QVERIFY(!grid()->isVisible());
    }

    void sizeFilterMeasuresWhatIsNotKnownOnce()
    {
        list({"/p0.png", "/icon.bmp", "/gone.png", "/photo.jpg", "/p1.png"});
        const QAbstractItemModelTester tester(
            ui().foundList()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        ui().action("sizeFilterAction")->trigger();
        auto* dialog = ui().dialog<SizeFilterDialog>();
        QVERIFY(dialog->isVisible());
        test::part<QSpinBox>(dialog, "minWidth")->setValue(100);
        test::part<QSpinBox>(dialog, "minKilobytes")->setValue(0);
        dialog->accept();
        QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("1個のファイルを除外しました"),
                                  test::kWindowTimeout);
        QCOMPARE(ui().listed().size(), 4);
        QVERIFY(!ui().listed().contains(url("/icon.bmp")));
        // Known sizes are not fetched again; the values stay.
        test::part<QSpinBox>(dialog, "minKilobytes")->setValue(100'000);
        dialog->accept();
        QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("3個のファイルを除外しました"),
                                  test::kWindowTimeout);
        QCOMPARE(ui().listed(), QStringList{url("/gone.png")});
        QCOMPARE(test::part<QSpinBox>(dialog, "minWidth")->value(), 100);
        for (const char* target : {"/p0.png", "/icon.bmp", "/photo.jpg", "/gone.png"})
            QCOMPARE(requestsFor(target), 1);
    }

    void aBatchStoresWhatTheGridFetched()
    {
        const std::filesystem::path program = testFolder();
        std::filesystem::create_directories(program / "down");
        enterFolder(program);
        openWindow({.downloadFiles = true, .programDirectory = program});
        list({"/p0.png", "/p1.png", "/icon.bmp"});
        ui().action("thumbnailView")->trigger();
        for (int row = 0; row < 3; ++row)
            QTRY_VERIFY_WITH_TIMEOUT(!thumbnailAt(row).isNull(), test::kWindowTimeout);
        downloadAll();
        const std::filesystem::path stored = program / "down"
            / QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
        for (const char* name : {"p0.png", "p1.png", "icon.bmp"}) {
            QCOMPARE(requestsFor(std::string("/") + name), 1);
            QVERIFY(std::filesystem::file_size(stored / name) > 0);
        }
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::ThumbnailsTest)
#include "thumbnails_test.moc"
