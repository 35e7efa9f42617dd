#pragma once

#include <QDialog>

class QPushButton;

namespace vel {

// The small confirmation box of the batch download. Modeless: the main window
// stays usable while it is up.
class DownloadConfirmDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadConfirmDialog)

public:
    explicit DownloadConfirmDialog(QWidget* parent = nullptr);

    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void OKBtnClick();
    void CancelBtnClick();

signals:
    // The user confirmed: download every listed file now.
    void downloadConfirmed();

protected:
    void reject() override;

private:
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

}  // namespace vel
