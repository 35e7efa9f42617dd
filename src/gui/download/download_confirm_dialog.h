#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace vel {

// The small confirmation box of the batch download. Modeless: the main window
// stays usable while it is up.
class DownloadConfirmDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadConfirmDialog)

public:
    explicit DownloadConfirmDialog(QWidget* parent = nullptr);

    // Whether files already in the date folder are left alone (not fetched).
    // Off at first; kept while the program runs.
    bool skipExisting() const;
    // Whether entries the download history holds are left alone, and files
    // whose bytes it holds are not stored again. Off at first; kept while the
    // program runs; only with a history (see setHistoryAvailable).
    bool skipFetched() const;
    void setHistoryAvailable(bool available);

public slots:
    void onOkClicked();
    void onCancelClicked();

signals:
    // The user confirmed: download every listed file now.
    void downloadConfirmed();

protected:
    void reject() override;

private:
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QCheckBox* m_skipExisting;
    QCheckBox* m_skipFetched;
};

}  // namespace vel
