#include <filesystem>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "gui/app/single_instance.h"
#include "support/qt_test_main.h"
#include "support/temp_dir.h"

namespace vel {

namespace {

// The folder's path as Qt takes a file name.
QString qtPath(const test::TempDir& dir)
{
    return QFile::decodeName(dir.path().c_str());
}

}  // namespace

class SingleInstanceTest final : public QObject {
    Q_OBJECT

private slots:
    void lockIsHeldUntilReleased()
    {
        test::TempDir runtime;
        {
            SingleInstance first(qtPath(runtime));
            QVERIFY(first.acquire());
            SingleInstance second(qtPath(runtime));
            QVERIFY(!second.acquire());
        }
        SingleInstance third(qtPath(runtime));
        QVERIFY(third.acquire());
    }

    void withoutADisplayItSaysSoAndEnds_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QString() << QStringLiteral("needs a graphical display");
        QTest::newRow("not answering")
            << QStringLiteral(":4711") << QStringLiteral("cannot reach the display :4711");
    }

    void withoutADisplayItSaysSoAndEnds()
    {
        QFETCH(QString, display);
        QFETCH(QString, message);
        test::TempDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qtPath(dir));
        QProcess vel;
        vel.setProcessEnvironment(env);
        vel.setWorkingDirectory(qtPath(dir));
        vel.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(vel.waitForFinished(60000));
        QCOMPARE(vel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vel.exitCode(), 1);
        QVERIFY(QString::fromUtf8(vel.readAllStandardError()).contains(message));
    }

    void secondStartEndsAtOnceAndTouchesNoFile()
    {
        test::TempDir runtime;
        test::TempDir firstDir;
        test::TempDir secondDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qtPath(runtime));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(qtPath(firstDir));
        first.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(first.waitForStarted());
        // The running instance holds its lock before it creates any window.
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(qtPath(runtime)).entryList({QStringLiteral("vel-*.lock")}, QDir::Files).isEmpty(),
            60000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(qtPath(secondDir));
        second.start(QStringLiteral(VEL_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(std::filesystem::is_empty(secondDir.path()));
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
