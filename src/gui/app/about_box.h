#pragma once

#include <QDialog>

class QPushButton;

namespace vel {

// The version information box, shown modelessly from the help menu.
class AboutBox final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    explicit AboutBox(QWidget* parent = nullptr);

public slots:
    void onOkClicked();

private:
    QPushButton* m_okButton;
};

}  // namespace vel
