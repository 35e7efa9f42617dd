#include <atomic>
#include <chrono>
#include <thread>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "gui/common/background_job.h"
#include "support/qt_test_main.h"

namespace vel {

class BackgroundJobTest final : public QObject {
    Q_OBJECT

private slots:
    void runsOffTheGuiThreadAndReportsOnce()
    {
        BackgroundJob job;
        QSignalSpy finished(&job, &BackgroundJob::finished);
        std::atomic<Qt::HANDLE> worker{nullptr};
        QVERIFY(job.start([&] { worker = QThread::currentThreadId(); }));
        QVERIFY(job.running());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!job.running());
        QVERIFY(worker.load() != nullptr);
        QVERIFY(worker.load() != QThread::currentThreadId());
        // The job is reusable once it has reported.
        QVERIFY(job.start([] {}));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 2);
    }

    void oneAtATime()
    {
        std::atomic<bool> release{false};
        BackgroundJob job;
        // A failed check still lets the work end (before the job waits for it).
        struct Release {
            std::atomic<bool>& flag;
            ~Release() { flag = true; }
        } guard{release};
        std::atomic<int> runs{0};
        QVERIFY(job.start([&] {
            ++runs;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }));
        QVERIFY(!job.start([&] { ++runs; }));
        release = true;
        job.wait();
        QCOMPARE(runs.load(), 1);
    }

    void waitNeedsNoEventLoopAndFreesTheJob()
    {
        BackgroundJob job;
        QSignalSpy finished(&job, &BackgroundJob::finished);
        std::atomic<bool> done{false};
        QVERIFY(job.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            done = true;
        }));
        job.wait();
        QVERIFY(done);
        QVERIFY(!job.running());
        // The next piece of work starts at once, and only its own report comes.
        std::atomic<bool> release{false};
        QVERIFY(job.start([&] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }));
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(job.running());
        release = true;
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);
    }

    void anEscapingExceptionEndsTheWorkNotTheProgram()
    {
        BackgroundJob job;
        QSignalSpy finished(&job, &BackgroundJob::finished);
        QVERIFY(job.start([] { throw 42; }));
        QVERIFY(finished.wait(10000));
    }

    void destructionWaitsForTheWork()
    {
        std::atomic<bool> done{false};
        {
            BackgroundJob job;
            QVERIFY(job.start([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                done = true;
            }));
        }
        QVERIFY(done);
    }
};

}  // namespace vel

VEL_QTEST_GUILESS_MAIN(vel::BackgroundJobTest)

#include "background_job_test.moc"
