#pragma once

#include <filesystem>

#include <QDialog>
#include <QPointer>

#include "core/io/working_folder.h"
#include "core/settings/extension_list_editor.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vel {

class DefaultButtons;

// The "add and remove extensions" dialog: the user edits a copy of the
// extension chooser's items, and OK puts the copy back into the chooser and
// into config.lis in the program's own directory, unless that file is too
// large to rewrite (the dialog says so when shown). Modeless; every way out
// only hides it.
class ExtensionListDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionListDialog)

public:
    static constexpr int kClientWidth = 193;
    static constexpr int kClientHeight = 216;

    // chooser: the main window's extension chooser (not owned).
    // programDirectory: where config.lis is written; OK also moves the working
    // folder (not owned, outlives the dialog) there.
    ExtensionListDialog(QComboBox* chooser, std::filesystem::path programDirectory,
                        WorkingFolder& workingFolder, QWidget* parent = nullptr);

public slots:
    // Each showing starts over from the chooser's items, nothing selected.
    void reloadFromChooser();
    void onAddClicked();
    void onDeleteClicked();
    void onOkClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectButtons();
    void onListKeyPressed(int key);
    void onListSelectionChanged();
    void saveExtensionList();
    void showWorkingList();

    ExtensionListEditor m_editor;
    QPointer<QComboBox> m_chooser;
    std::filesystem::path m_programDirectory;
    WorkingFolder& m_workingFolder;
    // config.lis was too large to read whole when the dialog was shown: OK
    // leaves it alone.
    bool m_keepsFile = false;

    QLineEdit* m_extensionEdit = nullptr;
    QPushButton* m_addButton = nullptr;
    QListWidget* m_extensionList = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    DefaultButtons* m_defaultButtons = nullptr;
};

}  // namespace vel
