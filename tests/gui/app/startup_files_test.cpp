#include <filesystem>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "core/sitelist/site_record.h"
#include "gui/app/main_window.h"
#include "gui/settings/extension_list_dialog.h"
#include "support/fake_browser_pane.h"
#include "support/qt_test_main.h"
#include "support/temp_dir.h"
#include "support/window_parts.h"

namespace vel {

namespace fs = std::filesystem;

using test::readBytes;
using test::writeBytes;

namespace {

std::string twoSites()
{
    return encodeSiteRecords({{1, "\x83\x54\x83\x43\x83\x67", "http://h/1"},  // サイト
                              {2, "two", "http://h/2"}});
}

}  // namespace

// The settings files at start-up and at the end of the run, in real directories.
class StartupFilesTest final : public QObject {
    Q_OBJECT

private:
    test::TempDir m_root;
    fs::path m_start;
    fs::path m_program;
    fs::path m_savedCwd;
    test::FakeBrowserPane* m_browser = nullptr;

    std::unique_ptr<MainWindow> startForm()
    {
        fs::current_path(m_start);
        m_browser = new test::FakeBrowserPane;
        MainWindowServices services;
        services.browser = m_browser;
        services.programDirectory = m_program;
        return std::make_unique<MainWindow>(std::move(services));
    }

private slots:
    void init()
    {
        m_savedCwd = fs::current_path();
        m_start = m_root.file(QTest::currentTestFunction()) / "start";
        m_program = m_start.parent_path() / "program";
        fs::create_directories(m_start);
        fs::create_directories(m_program);
    }

    void cleanup() { fs::current_path(m_savedCwd); }

    void withoutSiteListTheExtensionsAreNotRead()
    {
        writeBytes(m_start / "config.lis", "gif\r\njpg\r\n");
        auto form = startForm();
        const test::WindowParts ui(form.get());
        QCOMPARE(ui.extensionChooser()->count(), 0);
        QCOMPARE(ui.siteTable()->model()->rowCount(), 19);  // 20 rows with the header row
        form.reset();
        // The end of the run creates the (empty) site list in the program's directory.
        QVERIFY(fs::exists(m_program / "config.bin"));
        QCOMPARE(fs::file_size(m_program / "config.bin"), 0u);
        QVERIFY(!fs::exists(m_start / "config.bin"));
    }

    void startedElsewhereReadsThereAndWritesBesideTheProgram()
    {
        writeBytes(m_start / "config.bin", twoSites());
        writeBytes(m_start / "config.lis", "gif\r\njpg\r\npng");
        writeBytes(m_start / "config.vel", "http://start.test/\r\n");
        auto form = startForm();
        const test::WindowParts ui(form.get());
        QCOMPARE(m_browser->navigated.value(0), QStringLiteral("http://start.test/"));
        QCOMPARE(ui.extensionChooser()->count(), 3);
        QCOMPARE(ui.extensionChooser()->currentText(), QStringLiteral("gif"));
        QCOMPARE(ui.cell(SiteGrid::kNameColumn, 1), QStringLiteral("サイト"));
        QCOMPARE(ui.cell(SiteGrid::kUrlColumn, 2), QStringLiteral("http://h/2"));
        // No site row is current after start-up, even with sites loaded.
        QCOMPARE(ui.currentCell(), QPoint(-1, -1));

        ui.titleEdit()->setText(QStringLiteral("three"));
        ui.urlEdit()->setText(QStringLiteral("http://h/3"));
        form->onAddToListClicked();
        form->close();
        // Later names follow the program's folder; the process stays where it started.
        // The start page box offers the start page read at start-up.
        ui.saveStartPage();
        QVERIFY(readBytes(m_program / "config.vel").starts_with("http://start.test/"));
        QCOMPARE(fs::current_path(), m_start);
        const std::vector<SiteRecord> saved =
            decodeSiteRecords(readBytes(m_program / "config.bin"));
        QCOMPARE(saved.size(), 3u);
        QCOMPARE(saved[0].name, std::string("\x83\x54\x83\x43\x83\x67"));
        QCOMPARE(saved[2].url, std::string("http://h/3"));
        // The start directory's file is left as it was.
        QCOMPARE(readBytes(m_start / "config.bin"), twoSites());
    }

    void extensionsKeepTheirBytesThroughTheDialog()
    {
        // 0xA0 and 0x85 0x40 are no characters in the code page; they must
        // still be written back as they were read.
        const std::string list = "gif\r\nx\xA0y\r\n\x85\x40z\r\n";
        writeBytes(m_start / "config.bin", "");
        writeBytes(m_start / "config.lis", list);
        auto form = startForm();
        const test::WindowParts ui(form.get());
        QCOMPARE(ui.extensionChooser()->count(), 3);
        ui.action("N9")->trigger();
        QTest::mouseClick(test::part<QPushButton>(ui.dialog<ExtensionListDialog>(), "ok"),
                          Qt::LeftButton);
        QCOMPARE(readBytes(m_program / "config.lis"), list);
    }

    void aSiteListWithAPartialRecordIsCopiedAsideAtTheEnd()
    {
        // A portable VEL; the file ends in half a record.
        m_program = m_start;
        const std::string bytes = twoSites() + std::string(100, '\x81');
        writeBytes(m_start / "config.bin", bytes);
        auto form = startForm();
        const test::WindowParts ui(form.get());
        QCOMPARE(ui.cell(SiteGrid::kUrlColumn, 2), QStringLiteral("http://h/2"));
        ui.urlEdit()->setText(QStringLiteral("http://h/3"));
        form->onAddToListClicked();
        form.reset();
        QCOMPARE(readBytes(m_start / "config.bin.bak"), bytes);
        const std::vector<SiteRecord> saved = decodeSiteRecords(readBytes(m_start / "config.bin"));
        QCOMPARE(saved.size(), 3u);
        QCOMPARE(fs::file_size(m_start / "config.bin"), 3 * kSiteRecordSize);
    }

    void readOnlySiteListKeepsItsContent()
    {
        // The program's directory is the start directory, as for a portable VEL.
        m_program = m_start;
        writeBytes(m_start / "config.bin", twoSites());
        fs::permissions(m_start / "config.bin",
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        auto form = startForm();
        test::WindowParts(form.get()).urlEdit()->setText(QStringLiteral("http://h/new"));
        form->onAddToListClicked();
        form.reset();
        QCOMPARE(readBytes(m_start / "config.bin"), twoSites());
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::StartupFilesTest)

#include "startup_files_test.moc"
