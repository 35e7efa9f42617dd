#pragma once

#include <QObject>
#include <QPointer>

class QEvent;
class QWidget;

namespace vel {

// While it lives, no window of the program takes input from the user (mouse,
// keys, wheel, touch, drops), but every window keeps repainting. Message
// boxes stay usable, so a question asked meanwhile can be answered, and so
// does the one widget given, the control that ends what the lock waits for.
class InputLock final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputLock)

public:
    explicit InputLock(QWidget* exception = nullptr);
    ~InputLock() override;

    // Whether the lock swallows this event sent to this object.
    static bool blocks(QObject* watched, const QEvent* event, const QWidget* exception = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_exception;
};

}  // namespace vel
