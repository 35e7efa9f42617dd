#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace vel {

class DefaultButtons;

// The start page dialog: the user types the start page, or takes the main
// window's URL box, and OK writes it to config.vel in the current directory
// for the next start. The start page of this run stays as it was. Modeless;
// every way out only hides it.
class StartPageDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartPageDialog)

public:
    static constexpr int kClientWidth = 313;
    static constexpr int kClientHeight = 167;

    // topPageUrl: the start page read at start-up (bytes).
    // urlBoxText: the main window's URL box as it reads now.
    StartPageDialog(std::function<std::string()> topPageUrl, std::function<QString()> urlBoxText,
                QWidget* parent = nullptr);

    // Controls under the program's names, for tests.
    QLineEdit* Edit1() const { return m_edit1; }
    QPushButton* Button1() const { return m_button1; }
    QPushButton* OKBtn() const { return m_okBtn; }
    QPushButton* CancelBtn() const { return m_cancelBtn; }

public slots:
    void FormShow();
    void Button1Click();
    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<std::string()> m_topPageUrl;
    std::function<QString()> m_urlBoxText;

    QPushButton* m_button1 = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QPushButton* m_okBtn = nullptr;
    QPushButton* m_cancelBtn = nullptr;
    DefaultButtons* m_defaultButtons = nullptr;
};

}  // namespace vel
