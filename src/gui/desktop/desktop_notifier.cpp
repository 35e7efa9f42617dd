#include "gui/desktop/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

#include "gui/desktop/raise_window.h"

namespace vel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification itself invokes.
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

DesktopNotifier::DesktopNotifier(QWidget* window, const std::optional<QDBusConnection>& bus)
    : QObject(window)
    , m_window(window)
    , m_bus(bus)
{}

void DesktopNotifier::listen()
{
    if (m_listening)
        return;
    m_listening = true;
    m_bus->connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                   SLOT(onActionInvoked(uint, QString)));
    m_bus->connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                   SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifier::notifyIfAway(const QString& text)
{
    if (!m_window || m_window->isActiveWindow())
        return;
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    if (!m_bus->isConnected())
        return;
    listen();
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("vel")}};
    call << QStringLiteral("VEL") << m_shownId << QStringLiteral("vel") << QStringLiteral("VEL")
         << text << QStringList{kDefaultAction, QStringLiteral("VELを表示")} << hints << qint32(-1);
    // Asked without waiting: a service being started must not hold the window.
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isValid()) {
                    m_shownId = reply.value();
                    m_ourIds.insert(m_shownId);
                }
                done->deleteLater();
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    if (action != kDefaultAction || !m_ourIds.contains(id))
        return;
    raiseWindow(m_window);
    emit activated();
}

void DesktopNotifier::onNotificationClosed(uint id, uint)
{
    m_ourIds.remove(id);
    if (id == m_shownId)
        m_shownId = 0;
}

}  // namespace vel
