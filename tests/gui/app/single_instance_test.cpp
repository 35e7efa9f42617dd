#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "gui/app/single_instance.h"
#include "support/qt_test_main.h"

namespace vel {

class SingleInstanceTest final : public QObject {
    Q_OBJECT

private slots:
    void lockIsHeldUntilReleased()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        {
            SingleInstance first(runtime.path());
            QVERIFY(first.acquire());
            SingleInstance second(runtime.path());
            QVERIFY(!second.acquire());
        }
        SingleInstance third(runtime.path());
        QVERIFY(third.acquire());
    }

    void withoutADisplayItSaysSoAndEnds_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QString() << QStringLiteral("needs a graphical display");
        QTest::newRow("not answering") << QStringLiteral(":4711")
                                       << QStringLiteral("cannot reach the display :4711");
    }

    void withoutADisplayItSaysSoAndEnds()
    {
        QFETCH(QString, display);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        QProcess vel;
        vel.setProcessEnvironment(env);
        vel.setWorkingDirectory(dir.path());
        vel.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(vel.waitForFinished(60000));
        QCOMPARE(vel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vel.exitCode(), 1);
        QVERIFY(QString::fromUtf8(vel.readAllStandardError()).contains(message));
    }

    void secondStartEndsAtOnceAndTouchesNoFile()
    {
        QTemporaryDir runtime;
        QTemporaryDir firstDir;
        QTemporaryDir secondDir;
        QVERIFY(runtime.isValid() && firstDir.isValid() && secondDir.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(firstDir.path());
        first.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(first.waitForStarted());
        // The running instance holds its lock before it creates any window.
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(runtime.path())
                                      .entryList({QStringLiteral("vel-*.lock")}, QDir::Files)
                                      .isEmpty(),
                                 60000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(secondDir.path());
        second.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QDir(secondDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        if (!first.waitForFinished(30000)) {
            first.kill();
            first.waitForFinished();
        }
    }
};

}  // namespace vel

VEL_QTEST_GUILESS_MAIN(vel::SingleInstanceTest)
#include "single_instance_test.moc"
