#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTest>

#include "gui/app/single_instance.h"
#include "support/http_test_server.h"
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

    void secondHandsItsAddressToTheFirst_data()
    {
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("one") << QStringList{QStringLiteral("http://example.com/a?b=c#d")};
        QTest::newRow("not ASCII, one after another") << QStringList{
            QStringLiteral("https://例え.jp/ページ"), QStringLiteral("file:///tmp/a b.html")};
    }

    void secondHandsItsAddressToTheFirst()
    {
        QFETCH(QStringList, urls);
        test::TempDir runtime;
        SingleInstance first(qtPath(runtime));
        QVERIFY(first.acquire());
        QSignalSpy shown(&first, &SingleInstance::pageHandedOver);
        for (const QString& url : urls) {
            SingleInstance second(qtPath(runtime));
            QVERIFY(!second.acquire());
            QVERIFY(second.handOver(url));
        }
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), urls.size(), 60000);
        for (qsizetype i = 0; i < urls.size(); ++i)
            QCOMPARE(shown.at(i).at(0).toString(), urls.at(i));
    }

    void noVelTakesTheAddressWhenNoneRuns()
    {
        test::TempDir runtime;
        QVERIFY(!SingleInstance(qtPath(runtime)).handOver(QStringLiteral("http://example.com/")));
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

    void secondStartEndsAtOnceAndHandsOverItsAddress()
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

        // Without an address the second ends; with one, the first shows it.
        test::HttpTestServer server;
        server.route("/handed", test::page("text/html", "<title>handed</title>"));
        const QString handed = QString::fromStdString(server.url("/handed"));
        for (const QStringList& arguments : {QStringList{}, QStringList{handed}}) {
            QProcess second;
            second.setProcessEnvironment(env);
            second.setWorkingDirectory(qtPath(secondDir));
            second.start(QStringLiteral(VEL_EXECUTABLE), arguments);
            QVERIFY(second.waitForFinished(60000));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QVERIFY(std::filesystem::is_empty(secondDir.path()));
            QCOMPARE(first.state(), QProcess::Running);
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::ranges::count(server.targets(), "/handed") == 1, 60000);

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
