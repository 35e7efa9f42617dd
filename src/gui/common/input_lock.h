#pragma once

#include <QObject>

class QEvent;

namespace vel {

// While it lives, no window of the program takes input from the user (mouse,
// keys, wheel, touch, drops), but every window keeps repainting. Message
// boxes stay usable, so a question asked meanwhile can be answered.
class InputLock final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputLock)

public:
    InputLock();
    ~InputLock() override;

    // Whether the lock swallows this event sent to this object.
    static bool blocks(QObject* watched, const QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace vel
