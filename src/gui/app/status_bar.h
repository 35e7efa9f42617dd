#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace vel {

// The window's status bar: the status text on the left, the download's
// progress bar on the right. Screen readers read the status text itself and
// find the progress bar by its name.
class StatusBar final : public QStatusBar {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusBar)

public:
    static constexpr int kHeight = 25;

    explicit StatusBar(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    QProgressBar* progressBar() const { return m_progress; }

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace vel
