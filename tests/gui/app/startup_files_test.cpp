#include <filesystem>
#include <string>
#include <vector>

#include "core/sitelist/site_record.h"
#include "gui/settings/extension_list_dialog.h"
#include "support/qt_test_main.h"
#include "support/window_test.h"

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
class StartupFilesTest final : public test::WindowTest {
    Q_OBJECT

private:
    fs::path m_start;
    fs::path m_program;

    // VEL started in m_start, its program in m_program.
    void startWindow()
    {
        enterFolder(m_start);
        openWindow({.programDirectory = m_program, .writeSiteList = true});
    }

private slots:
    void init()
    {
        m_start = testFolder() / "start";
        m_program = m_start.parent_path() / "program";
        fs::create_directories(m_start);
        fs::create_directories(m_program);
    }

    void cleanup() { closeWindow(); }

    void withoutSiteListTheExtensionsAreNotRead()
    {
        writeBytes(m_start / "config.lis", "gif\r\njpg\r\n");
        startWindow();
        QCOMPARE(ui().extensionChooser()->count(), 0);
        QCOMPARE(ui().siteTable()->model()->rowCount(), 19);  // 20 rows with the header row
        m_form.reset();
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
        startWindow();
        QCOMPARE(m_browser->navigated.value(0), QStringLiteral("http://start.test/"));
        QCOMPARE(ui().extensionChooser()->count(), 3);
        QCOMPARE(ui().extensionChooser()->currentText(), QStringLiteral("gif"));
        QCOMPARE(ui().cell(SiteGrid::kNameColumn, 1), QStringLiteral("サイト"));
        QCOMPARE(ui().cell(SiteGrid::kUrlColumn, 2), QStringLiteral("http://h/2"));
        // No site row is current after start-up, even with sites loaded.
        QCOMPARE(ui().currentCell(), QPoint(-1, -1));

        addSite(QStringLiteral("three"), QStringLiteral("http://h/3"));
        m_form->close();
        // Later names follow the program's folder; the process stays where it started.
        // The start page box offers the start page read at start-up.
        ui().saveStartPage();
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
        startWindow();
        QCOMPARE(ui().extensionChooser()->count(), 3);
        ui().action("N9")->trigger();
        QTest::mouseClick(test::part<QPushButton>(ui().dialog<ExtensionListDialog>(), "ok"),
                          Qt::LeftButton);
        QCOMPARE(readBytes(m_program / "config.lis"), list);
    }

    void aSiteListWithAPartialRecordIsCopiedAsideAtTheEnd()
    {
        // A portable VEL; the file ends in half a record.
        m_program = m_start;
        const std::string bytes = twoSites() + std::string(100, '\x81');
        writeBytes(m_start / "config.bin", bytes);
        startWindow();
        QCOMPARE(ui().cell(SiteGrid::kUrlColumn, 2), QStringLiteral("http://h/2"));
        addSite({}, QStringLiteral("http://h/3"));
        m_form.reset();
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
        startWindow();
        addSite({}, QStringLiteral("http://h/new"));
        m_form.reset();
        QCOMPARE(readBytes(m_start / "config.bin"), twoSites());
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::StartupFilesTest)

#include "startup_files_test.moc"
