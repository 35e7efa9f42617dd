#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <system_error>

#include <QAbstractItemModel>
#include <QListWidget>
#include <QTest>

#include "core/io/working_folder.h"
#include "core/settings/extension_list_file.h"
#include "gui/common/qt_text.h"
#include "gui/common/ui_font.h"
#include "gui/settings/extension_list_dialog.h"
#include "gui/settings/start_page_dialog.h"
#include "support/modal_watcher.h"
#include "support/qt_test_main.h"
#include "support/temp_dir.h"
#include "support/window_parts.h"

namespace vel {

namespace fs = std::filesystem;
using test::part;

class DialogsTest final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_programDir;
    std::unique_ptr<test::TempDir> m_startDir;
    // The process's own current directory, which no dialog may change or use.
    fs::path m_processDir;
    std::unique_ptr<WorkingFolder> m_workingFolder;
    std::unique_ptr<QWidget> m_main;
    QComboBox* m_chooser = nullptr;
    QLineEdit* m_urlBox = nullptr;
    ExtensionListDialog* m_extensionDialog = nullptr;
    StartPageDialog* m_startPageDialog = nullptr;
    std::string m_startPageUrl;
    std::unique_ptr<test::ModalWatcher> m_messages;

    fs::path programDir() const { return m_programDir->path(); }
    fs::path startDir() const { return m_startDir->path(); }
    static QStringList strings(std::initializer_list<const char*> items)
    {
        QStringList list;
        for (const char* item : items)
            list << QString::fromUtf8(item);
        return list;
    }

    static QPushButton* button(QDialog* box, const char* n) { return part<QPushButton>(box, n); }
    QLineEdit* extensionEdit() const { return part<QLineEdit>(m_extensionDialog, "Edit1"); }
    QListWidget* extensionList() const { return part<QListWidget>(m_extensionDialog, "ListBox1"); }
    QLineEdit* startPageEdit() const { return part<QLineEdit>(m_startPageDialog, "Edit1"); }

    void showExtensionDialog(const QStringList& chooserItems, int chosen = 0)
    {
        m_chooser->addItems(chooserItems);
        m_chooser->setCurrentIndex(chosen);
        m_extensionDialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_extensionDialog));
    }

    void add(const QString& entry)
    {
        extensionEdit()->setText(entry);
        QTest::mouseClick(button(m_extensionDialog, "tuika"), Qt::LeftButton);
        QCOMPARE(extensionEdit()->text(), QString());
    }

    void select(int row)
    {
        QListWidget* list = extensionList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    static QStringList texts(const QAbstractItemModel* model)
    {
        QStringList items;
        for (int row = 0; row < model->rowCount(); ++row)
            items << model->index(row, 0).data().toString();
        return items;
    }
    QStringList workingList() const { return texts(extensionList()->model()); }
    QStringList chooserItems() const { return texts(m_chooser->model()); }

private slots:
    void init()
    {
        m_programDir = std::make_unique<test::TempDir>();
        m_startDir = std::make_unique<test::TempDir>();
        m_processDir = fs::current_path();
        // Apart from both the program's directory and the process's current
        // directory, so a dialog that writes to the wrong one shows.
        m_workingFolder = std::make_unique<WorkingFolder>(startDir());

        m_main = std::make_unique<QWidget>();
        m_chooser = new QComboBox(m_main.get());
        m_urlBox = new QLineEdit(m_main.get());
        m_startPageUrl = fromQString(QStringLiteral("http://start.test/ページ"));
        m_extensionDialog =
            new ExtensionListDialog(m_chooser, programDir(), *m_workingFolder, m_main.get());
        m_startPageDialog = new StartPageDialog([this] { return m_startPageUrl; },
                                                [this] { return m_urlBox->text(); },
                                                *m_workingFolder, m_main.get());
        m_messages = std::make_unique<test::ModalWatcher>();
    }

    void cleanup()
    {
        m_messages.reset();
        m_main.reset();
        m_workingFolder.reset();
        m_programDir.reset();
        m_startDir.reset();
        // No way through either dialog moves the process.
        std::error_code error;
        QCOMPARE(fs::current_path(error), m_processDir);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");  // height 0: sized to its text
        QTest::newRow("Form4 Label1")
            << "Form4"
            << "Label1"
            << "Form4"
            << "拡張子の追加と削除を行ってください" << QRect(4, 8, 186, 0);
        QTest::newRow("Form4 Panel1") << "Form4"
                                      << "Panel1"
                                      << "Form4"
                                      << "" << QRect(8, 32, 177, 145);
        QTest::newRow("Form4 Edit1") << "Form4"
                                     << "Edit1"
                                     << "Panel1"
                                     << "" << QRect(8, 8, 57, 20);
        QTest::newRow("Form4 tuika") << "Form4"
                                     << "tuika"
                                     << "Panel1"
                                     << "追加" << QRect(7, 34, 57, 23);
        QTest::newRow("Form4 ListBox1") << "Form4"
                                        << "ListBox1"
                                        << "Panel1"
                                        << "" << QRect(72, 8, 96, 97);
        QTest::newRow("Form4 sakuzyo") << "Form4"
                                       << "sakuzyo"
                                       << "Panel1"
                                       << "選択項目の削除" << QRect(73, 112, 96, 25);
        QTest::newRow("Form4 Image1") << "Form4"
                                      << "Image1"
                                      << "Panel1"
                                      << "" << QRect(8, 96, 49, 41);
        QTest::newRow("Form4 ok") << "Form4"
                                  << "ok"
                                  << "Form4"
                                  << "OK" << QRect(8, 184, 89, 25);
        QTest::newRow("Form4 cancel") << "Form4"
                                      << "cancel"
                                      << "Form4"
                                      << "キャンセル" << QRect(96, 184, 89, 25);
        QTest::newRow("top Bevel1") << "toppageForm"
                                    << "Bevel1"
                                    << "toppageForm"
                                    << "" << QRect(8, 8, 297, 113);
        QTest::newRow("top Label1")
            << "toppageForm"
            << "Label1"
            << "toppageForm"
            << "VEL起動時に表示されるホームページを設定してください" << QRect(13, 24, 286, 0);
        QTest::newRow("top Button1") << "toppageForm"
                                     << "Button1"
                                     << "toppageForm"
                                     << "現在のページに設定" << QRect(128, 48, 161, 25);
        QTest::newRow("top Edit1") << "toppageForm"
                                   << "Edit1"
                                   << "toppageForm"
                                   << "" << QRect(16, 88, 273, 20);
        QTest::newRow("top OKBtn") << "toppageForm"
                                   << "OKBtn"
                                   << "toppageForm"
                                   << "OK" << QRect(79, 132, 75, 25);
        QTest::newRow("top CancelBtn") << "toppageForm"
                                       << "CancelBtn"
                                       << "toppageForm"
                                       << "キャンセル" << QRect(167, 132, 75, 25);
    }

    void layout()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        QDialog* box = dialog == QStringLiteral("Form4") ? static_cast<QDialog*>(m_extensionDialog)
                                                         : m_startPageDialog;
        QCOMPARE(box->objectName(), dialog);
        auto* widget = box->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->property("text").toString(), caption);
        QRect actual = widget->geometry();
        if (geometry.height() == 0)
            actual.setHeight(0);
        QCOMPARE(actual, geometry);
    }

    void dialogsAreFixedAndModeless()
    {
        QCOMPARE(m_extensionDialog->windowTitle(), QStringLiteral("拡張子の追加と削除"));
        QCOMPARE(m_extensionDialog->size(), QSize(193, 216));
        QCOMPARE(m_extensionDialog->toolTip(),
                 QStringLiteral("追加と削除が終了したらＯＫをクリックして下さい"));
        QCOMPARE(m_extensionDialog->font(), uiFont());
        QCOMPARE(m_startPageDialog->windowTitle(), QStringLiteral("トップページの設定"));
        QCOMPARE(m_startPageDialog->size(), QSize(313, 167));
        for (QDialog* box :
             {static_cast<QDialog*>(m_extensionDialog), static_cast<QDialog*>(m_startPageDialog)}) {
            QVERIFY(!box->isModal());
            QVERIFY(!box->isVisible());
            QCOMPARE(box->minimumSize(), box->maximumSize());
            QVERIFY(box->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(box->windowFlags()
                      & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        }
    }

    void addKeepsEntriesDistinct_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("duplicates");
        QTest::newRow("same twice") << strings({"gif", "gif"}) << strings({"jpg", "gif"}) << 1;
        QTest::newRow("case differs")
            << strings({"GIF", "gif"}) << strings({"jpg", "GIF", "gif"}) << 0;
        QTest::newRow("empty entry") << strings({"", ""}) << strings({"jpg", ""}) << 1;
        QTest::newRow("from the chooser") << strings({"jpg"}) << strings({"jpg"}) << 1;
    }

    void addKeepsEntriesDistinct()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, expected);
        QFETCH(int, duplicates);
        showExtensionDialog({QStringLiteral("jpg")});
        for (const QString& entry : typed)
            add(entry);
        QCOMPARE(workingList(), expected);
        QCOMPARE(m_messages->texts(),
                 QStringList(duplicates, QStringLiteral("その拡張子は既に登録されています")));
        QCOMPARE(chooserItems(), strings({"jpg"}));
    }

    void deleteTakesTheSelectedEntry_data()
    {
        QTest::addColumn<int>("key");  // 0: the button
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("deletes");
        QTest::newRow("button") << 0 << 0 << true;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << true;
        QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << true;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << false;
    }

    void deleteTakesTheSelectedEntry()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, deletes);
        const auto press = [&] {
            if (key == 0)
                QTest::mouseClick(button(m_extensionDialog, "sakuzyo"), Qt::LeftButton);
            else
                QTest::keyClick(extensionList(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        };
        const QStringList all = strings({"gif", "jpg", "png"});
        showExtensionDialog(all);
        // A current item (the focus frame) is no selection.
        extensionList()->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        press();
        QCOMPARE(workingList(), all);

        const QStringList after = deletes ? QStringList{all[0], all[2]} : all;
        select(1);
        press();
        QCOMPARE(workingList(), after);
        press();
        QCOMPARE(workingList(), after);
        QVERIFY(m_extensionDialog->isVisible());
        QCOMPARE(chooserItems(), all);
    }

    void enterAddsUnlessOnAnotherButton()
    {
        showExtensionDialog(strings({"gif"}));
        extensionEdit()->setText(QStringLiteral("jpg"));
        QTest::keyClick(extensionEdit(), Qt::Key_Return);
        QCOMPARE(extensionEdit()->text(), QString());
        // With an empty entry box Enter in the list adds an empty entry.
        QTest::keyClick(extensionList(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(workingList(), strings({"gif", "jpg", ""}));
        // A focused button takes Enter itself.
        QTest::keyClick(button(m_extensionDialog, "ok"), Qt::Key_Return);
        QVERIFY(!m_extensionDialog->isVisible());
        QCOMPARE(chooserItems(), strings({"gif", "jpg", ""}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void leavingWithoutOkChangesNothing_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("cancel") << false;
        QTest::newRow("close box") << true;
    }

    void leavingWithoutOkChangesNothing()
    {
        QFETCH(bool, closeBox);
        test::writeBytes(programDir() / "config.lis", "old\r\n");
        const QStringList items = strings({"gif", "jpg"});
        showExtensionDialog(items, 1);
        add(QStringLiteral("png"));
        select(0);
        QTest::mouseClick(button(m_extensionDialog, "sakuzyo"), Qt::LeftButton);
        if (closeBox)
            m_extensionDialog->close();
        else
            QTest::mouseClick(button(m_extensionDialog, "cancel"), Qt::LeftButton);

        QVERIFY(!m_extensionDialog->isVisible());
        QCOMPARE(chooserItems(), items);
        QCOMPARE(m_chooser->currentIndex(), 1);
        QCOMPARE(test::readBytes(programDir() / "config.lis"), std::string("old\r\n"));
        QVERIFY(!fs::exists(startDir() / "config.lis"));
        QCOMPARE(m_workingFolder->path(), startDir());
        QCOMPARE(fs::current_path(), m_processDir);
        m_extensionDialog->show();
        QCOMPARE(workingList(), items);
    }

    void okReplacesTheChooserAndWritesTheProgramDirectory_data()
    {
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("edited") << strings({"gif", "jpg"}) << strings({"GIF", "画像", ""})
                                << strings({"gif", "GIF", "画像", ""})
                                << QByteArray("gif\r\nGIF\r\n\x89\xe6\x91\x9c\r\n\r\n");
        QTest::newRow("emptied") << strings({"jpg"}) << strings({}) << strings({}) << QByteArray();
    }

    void okReplacesTheChooserAndWritesTheProgramDirectory()
    {
        QFETCH(QStringList, initial);
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        QFETCH(QByteArray, file);
        showExtensionDialog(initial, initial.size() - 1);
        select(initial.size() - 1);
        QTest::mouseClick(button(m_extensionDialog, "sakuzyo"), Qt::LeftButton);
        for (const QString& entry : added)
            add(entry);
        QTest::mouseClick(button(m_extensionDialog, "ok"), Qt::LeftButton);

        QVERIFY(!m_extensionDialog->isVisible());
        QCOMPARE(chooserItems(), expected);
        QCOMPARE(m_chooser->currentIndex(), expected.isEmpty() ? -1 : 0);
        // Later files follow into the program's directory; the process stays put.
        QVERIFY(fs::equivalent(m_workingFolder->path(), programDir()));
        QCOMPARE(fs::current_path(), m_processDir);
        QVERIFY(fs::exists(programDir() / "config.lis"));
        QCOMPARE(QByteArray::fromStdString(test::readBytes(programDir() / "config.lis")), file);
        QVERIFY(!fs::exists(startDir() / "config.lis"));
    }

    void aConfigLisTooLargeToReadIsNeverRewritten_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("kept");
        QTest::newRow("at the cap") << qsizetype(kMaxExtensionListBytes) << false;
        QTest::newRow("over the cap") << qsizetype(kMaxExtensionListBytes + 1) << true;
    }

    void aConfigLisTooLargeToReadIsNeverRewritten()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, kept);
        const std::string large(static_cast<std::size_t>(size), 'x');
        test::writeBytes(programDir() / "config.lis", large);
        showExtensionDialog(strings({"gif"}));
        const QStringList said{QStringLiteral("拡張子リストが大きすぎるため保存しません")};
        if (kept)
            QTRY_COMPARE(m_messages->texts(), said);
        add(QStringLiteral("jpg"));
        QTest::mouseClick(button(m_extensionDialog, "ok"), Qt::LeftButton);
        // The chooser changes for this run either way.
        QCOMPARE(chooserItems(), strings({"gif", "jpg"}));
        QCOMPARE(test::readBytes(programDir() / "config.lis") == large, kept);
        QCOMPARE(m_messages->texts(), kept ? said : QStringList());
    }

    void startPageUseCurrentPageTakesTheUrlBox()
    {
        m_startPageDialog->show();
        m_urlBox->setText(QStringLiteral("typed, never visited"));
        QTest::mouseClick(button(m_startPageDialog, "Button1"), Qt::LeftButton);
        QCOMPARE(startPageEdit()->text(), QStringLiteral("typed, never visited"));
    }

    void startPageWaysOut_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("before");  // what the user did first, if anything
        QTest::addColumn<QByteArray>("inStartDir");  // empty: the old file stays
        QTest::addColumn<QByteArray>("inProgramDir");
        QTest::newRow("OK") << "OK"
                            << "ページ"
                            << "" << QByteArray("\x83\x79\x81\x5b\x83\x57\r\n") << QByteArray();
        QTest::newRow("Enter, empty box") << "Enter"
                                          << ""
                                          << "" << QByteArray("\r\n") << QByteArray();
        QTest::newRow("OK after extension OK")
            << "OK"
            << "http://x/"
            << "extension OK" << QByteArray() << QByteArray("http://x/\r\n");
        // An extension OK that found no program directory leaves the working folder where it was.
        QTest::newRow("OK after extension OK, no program dir")
            << "OK"
            << "http://x/"
            << "extension OK, no program dir" << QByteArray("http://x/\r\n") << QByteArray();
        QTest::newRow("cancel") << "cancel"
                                << "http://x/"
                                << "" << QByteArray() << QByteArray();
        QTest::newRow("Esc") << "Esc"
                             << "http://x/"
                             << "" << QByteArray() << QByteArray();
        QTest::newRow("close box") << "close"
                                   << "http://x/"
                                   << "" << QByteArray() << QByteArray();
    }

    void startPageWaysOut()
    {
        QFETCH(QString, way);
        QFETCH(QString, text);
        QFETCH(QString, before);
        QFETCH(QByteArray, inStartDir);
        QFETCH(QByteArray, inProgramDir);
        const QString startUp = QStringLiteral("http://start.test/ページ");
        const std::string old = "old\r\nsecond\r\n";
        test::writeBytes(startDir() / "config.vel", old);
        if (before == QStringLiteral("extension OK, no program dir"))
            fs::remove_all(programDir());
        if (!before.isEmpty()) {
            showExtensionDialog({});
            QTest::mouseClick(button(m_extensionDialog, "ok"), Qt::LeftButton);
        }
        m_startPageDialog->show();
        QCOMPARE(startPageEdit()->text(), startUp);
        startPageEdit()->setText(text);
        if (way == QStringLiteral("OK"))
            QTest::mouseClick(button(m_startPageDialog, "OKBtn"), Qt::LeftButton);
        else if (way == QStringLiteral("cancel"))
            QTest::mouseClick(button(m_startPageDialog, "CancelBtn"), Qt::LeftButton);
        else if (way == QStringLiteral("close"))
            m_startPageDialog->close();
        else
            QTest::keyClick(startPageEdit(),
                            way == QStringLiteral("Esc") ? Qt::Key_Escape : Qt::Key_Return);

        QVERIFY(!m_startPageDialog->isVisible());
        QCOMPARE(test::readBytes(startDir() / "config.vel"),
                 inStartDir.isEmpty() ? old : inStartDir.toStdString());
        QCOMPARE(QByteArray::fromStdString(test::readBytes(programDir() / "config.vel")),
                 inProgramDir);
        // The start page of this run stays the one read at start-up.
        m_startPageDialog->show();
        QCOMPARE(startPageEdit()->text(), startUp);
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::DialogsTest)

#include "dialogs_test.moc"
