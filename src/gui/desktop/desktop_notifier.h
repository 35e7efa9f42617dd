#pragma once

#include <optional>

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

class QWidget;

namespace vel {

// Tells the user on the desktop that something they left running has ended,
// through the freedesktop notification service on the session bus; a click
// on the notification (where the service offers that) brings the window
// back. Without a bus or a service nothing happens and nothing is said.
class DesktopNotifier final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    // `window`: the window watched and raised, the notifier's parent. The
    // session bus is reached the first time there is something to say;
    // tests hand in a bus of their own.
    explicit DesktopNotifier(QWidget* window,
                             const std::optional<QDBusConnection>& bus = std::nullopt);

    // Sends `text` when the window is not the active window.
    void notifyIfAway(const QString& text);

signals:
    // A notification of ours was clicked; the window was raised.
    void activated();

private slots:
    // The service's signals, connected by name (Qt D-Bus needs slots).
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

private:
    void listen();

    QWidget* m_window;
    std::optional<QDBusConnection> m_bus;
    bool m_listening = false;
    // The notification shown, replaced by the next one.
    uint m_shownId = 0;
    QSet<uint> m_ourIds;
};

}  // namespace vel
