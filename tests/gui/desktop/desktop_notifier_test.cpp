#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include "gui/desktop/desktop_notifier.h"
#include "support/qt_test_main.h"

namespace vel {

// A notification service on a bus of the test's own, as a desktop runs one:
// it keeps each call's replaced id, body and first action.
class NotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList calls;

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString&, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        calls << QString::number(replaces) + u' ' + body + u' ' + actions.value(0);
        return 40 + uint(calls.size());
    }
};

class DesktopNotifierTest final : public QObject {
    Q_OBJECT

private slots:
    void notifiesOnlyWhenAwayAndAClickRaisesTheWindow()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("no dbus-daemon");
        QProcess bus;
        bus.start(daemon,
                  QStringList{QStringLiteral("--session"), QStringLiteral("--nofork"),
                              QStringLiteral("--print-address")});
        QVERIFY(bus.waitForReadyRead(30000));
        const QString address = QString::fromUtf8(bus.readLine().trimmed());
        const QString path = QStringLiteral("/org/freedesktop/Notifications");
        const QString name = QStringLiteral("org.freedesktop.Notifications");
        QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("server"));
        NotificationService service;
        QVERIFY(server.registerObject(path, &service, QDBusConnection::ExportAllSlots));
        QVERIFY(server.registerService(name));

        QWidget window;
        QWidget elsewhere;
        const auto activate = [](QWidget& widget) {
            widget.show();
            widget.activateWindow();
            return QTest::qWaitForWindowActive(&widget);
        };
        DesktopNotifier notifier(&window, QDBusConnection::connectToBus(address, name));
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        QVERIFY(activate(window));
        notifier.notifyIfAway(QStringLiteral("seen"));
        QVERIFY(activate(elsewhere));
        notifier.notifyIfAway(QStringLiteral("one"));
        // Calls arrive in order: had "seen" gone out, it would be first.
        QTRY_COMPARE_WITH_TIMEOUT(service.calls, QStringList{QStringLiteral("0 one default")},
                                  30000);

        // Only a click on one of ours counts; the next notification replaces it.
        for (const uint id : {7u, 41u}) {
            QDBusMessage clicked =
                QDBusMessage::createSignal(path, name, QStringLiteral("ActionInvoked"));
            QVERIFY(server.send(clicked << id << QStringLiteral("default")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow(), 30000);
        QVERIFY(activate(elsewhere));
        notifier.notifyIfAway(QStringLiteral("two"));
        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 2, 30000);
        QCOMPARE(service.calls[1], QStringLiteral("41 two default"));
        bus.terminate();
        bus.waitForFinished();
    }
};

}  // namespace vel

VEL_QTEST_MAIN(vel::DesktopNotifierTest)
#include "desktop_notifier_test.moc"
