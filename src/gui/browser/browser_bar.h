#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;

namespace vel {

class BrowserPane;

// The row above the browser: back, forward, reload, the URL box, go, and
// "add to list". It drives the browser directly and follows its state; adding
// a page goes out as a signal.
class BrowserBar final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserBar)

public:
    static constexpr int kWidth = 633;
    static constexpr int kHeight = 32;

    // browser: may be null (then the buttons do nothing).
    explicit BrowserBar(BrowserPane* browser, QWidget* parent = nullptr);

    QLineEdit* urlEdit() const { return m_urlEdit; }
    QPushButton* addToListButton() const { return m_addToList; }

    // Opens an address in the browser.
    void navigate(const QString& url);
    // Opens the URL box's address (the go button, Shift+Enter in the box).
    void navigateToUrlBox();

signals:
    void addToListClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onNavigateComplete();

    BrowserPane* m_browser;
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
    QPushButton* m_refresh = nullptr;
    QLineEdit* m_urlEdit = nullptr;
    QPushButton* m_go = nullptr;
    QPushButton* m_addToList = nullptr;
};

}  // namespace vel
