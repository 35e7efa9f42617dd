#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QString>

#include "core/io/working_folder.h"

class QLineEdit;
class QPushButton;

namespace vel {

class DefaultButtons;

// The start page dialog: the user types the start page, or takes the main
// window's URL box, and OK writes it to config.vel in the working folder for
// the next start. The start page of this run stays as it was. Modeless; every
// way out only hides it.
class StartPageDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartPageDialog)

public:
    static constexpr int kClientWidth = 313;
    static constexpr int kClientHeight = 167;

    // startPageUrl: the start page read at start-up (bytes).
    // urlBoxText: the main window's URL box as it reads now.
    // workingFolder: where OK writes (not owned, outlives the dialog); read at
    // each OK, since the extension list's OK may have moved it.
    StartPageDialog(std::function<std::string()> startPageUrl, std::function<QString()> urlBoxText,
                    const WorkingFolder& workingFolder, QWidget* parent = nullptr);

public slots:
    // Each showing starts from the start page read at start-up.
    void reloadStartPage();
    void onUseCurrentPageClicked();
    void onOkClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<std::string()> m_startPageUrl;
    std::function<QString()> m_urlBoxText;
    const WorkingFolder& m_workingFolder;

    QPushButton* m_useCurrentPageButton = nullptr;
    QLineEdit* m_urlEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    DefaultButtons* m_defaultButtons = nullptr;
};

}  // namespace vel
