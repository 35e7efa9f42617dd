#pragma once

#include <filesystem>

#include <QDialog>
#include <QPointer>

#include "core/settings/extension_list_editor.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vel {

class DefaultButtons;

// The "add and remove extensions" dialog: the user edits a copy of the
// extension chooser's items, and OK puts the copy back into the chooser and
// into config.lis in the program's own directory. Modeless; every way out
// only hides it.
class ExtensionListDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionListDialog)

public:
    static constexpr int kClientWidth = 193;
    static constexpr int kClientHeight = 216;

    // chooser: the main window's extension chooser (not owned).
    // programDirectory: where config.lis is written, made current first.
    ExtensionListDialog(QComboBox* chooser, std::filesystem::path programDirectory, QWidget* parent = nullptr);

    // Controls under the program's names, for tests.
    QLineEdit* Edit1() const { return m_edit1; }
    QListWidget* ListBox1() const { return m_listBox1; }
    QPushButton* tuika() const { return m_tuika; }
    QPushButton* sakuzyo() const { return m_sakuzyo; }
    QPushButton* ok() const { return m_ok; }
    QPushButton* cancel() const { return m_cancel; }

public slots:
    void FormShow();
    void tuikaClick();
    void sakuzyoClick();
    void ListBox1KeyDown(int key);
    void okClick();
    void cancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SaveExtensionList();
    void showWorkingList();
    void listSelectionChanged();

    ExtensionListEditor m_editor;
    QPointer<QComboBox> m_chooser;
    std::filesystem::path m_programDirectory;

    QLineEdit* m_edit1 = nullptr;
    QPushButton* m_tuika = nullptr;
    QListWidget* m_listBox1 = nullptr;
    QPushButton* m_sakuzyo = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    DefaultButtons* m_defaultButtons = nullptr;
};

}  // namespace vel
