#pragma once

#include <QApplication>

namespace vel {

// The application object. An exception that escapes an event handler is
// reported in a message box with its own text, and the program goes on.
class VelApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VelApplication)

public:
    VelApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error's text the way the default handler does.
    static void reportError(const QString& message);
};

}  // namespace vel
