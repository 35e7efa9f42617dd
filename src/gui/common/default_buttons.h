#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

namespace vel {

// A window's default button (Enter) and cancel button (Esc). A plain Enter in a
// control that is not a button presses the default button; a plain Esc anywhere
// presses the cancel button. The key is consumed, so the control never sees it.
// Enter with Shift held passes on to the control.
class DefaultButtons final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DefaultButtons)

public:
    DefaultButtons(QAbstractButton* defaultButton, QAbstractButton* cancelButton,
                   QObject* parent = nullptr);

    // Applies the rule to this control.
    void watch(QWidget* control);
    // Applies the rule to every widget below the window.
    void watchChildrenOf(QWidget* window);
    // Leaves this control and everything below it alone.
    void unwatch(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractButton> m_default;
    QPointer<QAbstractButton> m_cancel;
};

}  // namespace vel
