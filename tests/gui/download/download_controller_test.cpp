#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <QSignalSpy>
#include <QTest>

#include "core/download/download_all.h"
#include "core/download/download_plan.h"
#include "core/text/code_page.h"
#include "gui/download/download_controller.h"
#include "support/code_page_scope.h"
#include "support/qt_test_main.h"
#include "support/temp_dir.h"

namespace vel {

namespace fs = std::filesystem;

namespace {

using Start = DownloadController::StartResult;

// A batch that does what the test scripts, on the controller's worker thread.
class ScriptedDownloader final : public Downloader {
public:
    std::function<void(const DownloadBatch&, DownloadObserver&)> script;

    void downloadAll(const DownloadBatch& batch, DownloadObserver& observer) override
    {
        if (script)
            script(batch, observer);
    }
};

// Entries as a plain page lists them: the written value is the listed text.
std::vector<FoundEntry> entries(std::initializer_list<const char*> texts)
{
    std::vector<FoundEntry> list;
    for (const char* text : texts)
        list.push_back({text, text});
    return list;
}

EntrySource sourceFor(const char* baseUrl)
{
    return {baseUrl, {}, PageCharset::CodePage};
}

bool sameFolder(int fd, const fs::path& path)
{
    struct stat byFd {};
    struct stat byPath {};
    return ::fstat(fd, &byFd) == 0 && ::stat(path.c_str(), &byPath) == 0
        && byFd.st_dev == byPath.st_dev && byFd.st_ino == byPath.st_ino;
}

}  // namespace

class DownloadControllerTest final : public QObject {
    Q_OBJECT

private:
    ScriptedDownloader* m_downloader = nullptr;
    std::unique_ptr<DownloadController> m_controller;

private slots:
    void init()
    {
        auto downloader = std::make_unique<ScriptedDownloader>();
        m_downloader = downloader.get();
        m_controller = std::make_unique<DownloadController>(std::move(downloader));
    }

    void cleanup() { m_controller.reset(); }

    void reportsArriveInOrderAndTheFolderIsOpenedBeforehand()
    {
        test::TempDir working;
        fs::create_directory(working.path() / "down");
        bool folderRight = false;
        std::vector<DownloadItem> items;
        m_downloader->script = [&](const DownloadBatch& batch, DownloadObserver& observer) {
            // The date folder exists before the batch starts and is the one it writes to.
            folderRight = sameFolder(batch.targetFolder, working.path() / "down" / "20261208");
            items = batch.items;
            observer.setStatusText("一");
            observer.setProgressRange(0, 1000);
            observer.setProgress(500);
            observer.setStatusText("二");
        };
        QSignalSpy texts(m_controller.get(), &DownloadController::statusText);
        QSignalSpy positions(m_controller.get(), &DownloadController::progress);
        QSignalSpy finished(m_controller.get(), &DownloadController::finished);
        const CodePageScope shiftJis(CodePage::Cp932);
        QVERIFY(Start::Started
                == m_controller->start(entries({"a.gif", "ftp://h/b.gif", "\x82\xa0.gif"}),
                                       sourceFor("http://h/"), working.path(), "20261208"));
        QVERIFY(m_controller->running());
        QVERIFY(finished.wait(10000));
        QVERIFY(!m_controller->running());
        QVERIFY(folderRight);
        // One item per entry; local names leave the code page as UTF-8.
        QCOMPARE(items.size(), std::size_t{3});
        QCOMPARE(items[0].url, std::optional<std::string>("http://h/a.gif"));
        QCOMPARE(items[0].fileName, std::string("a.gif"));
        QCOMPARE(items[1].url, std::optional<std::string>());
        QCOMPARE(items[2].url, std::optional<std::string>("http://h/\x82\xa0.gif"));
        QCOMPARE(items[2].fileName, std::string("\xe3\x81\x82.gif"));
        QCOMPARE(texts.count(), 2);
        QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("一"));
        QCOMPARE(texts.at(1).at(0).toString(), QStringLiteral("二"));
        QCOMPARE(positions.count(), 1);
        QCOMPARE(finished.count(), 1);
    }

    void failedEntriesAreKeptUntilTheNextBatch()
    {
        m_downloader->script = [](const DownloadBatch&, DownloadObserver& observer) {
            observer.entryFailed(1);
            observer.entryFailed(3);
        };
        test::TempDir working;
        QSignalSpy finished(m_controller.get(), &DownloadController::finished);
        QVERIFY(Start::Started
                == m_controller->start(entries({"a", "b", "c", "d"}), sourceFor(""), working.path(),
                                       "d"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_controller->failedEntries(), (std::vector<int>{1, 3}));

        m_downloader->script = {};
        QVERIFY(Start::Started
                == m_controller->start(entries({"a"}), sourceFor(""), working.path(), "d"));
        QVERIFY(m_controller->failedEntries().empty());
        QVERIFY(finished.wait(10000));
        QVERIFY(m_controller->failedEntries().empty());
    }

    void oneBatchAtATime()
    {
        std::atomic<bool> release{false};
        m_downloader->script = [&](const DownloadBatch&, DownloadObserver& observer) {
            while (!release && !observer.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        test::TempDir working;
        QSignalSpy finished(m_controller.get(), &DownloadController::finished);
        QVERIFY(Start::Started
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        QVERIFY(Start::NotStarted
                == m_controller->start(entries({"b.gif"}), sourceFor(""), working.path(), "d"));
        release = true;
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);
    }

    void messageBoxIsShownOnTheGuiThreadWhileTheBatchWaits()
    {
        std::atomic<bool> answered{false};
        Qt::HANDLE shownOn = nullptr;
        m_controller->setMessageBox([&](const QString& text) {
            shownOn = QThread::currentThreadId();
            QCOMPARE(text, QStringLiteral("ない"));
        });
        m_downloader->script = [&](const DownloadBatch&, DownloadObserver& observer) {
            observer.showMessage("ない");
            answered = true;
        };
        test::TempDir working;
        QSignalSpy finished(m_controller.get(), &DownloadController::finished);
        QVERIFY(Start::Started
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        QVERIFY(finished.wait(10000));
        QVERIFY(answered);
        QCOMPARE(shownOn, QThread::currentThreadId());
    }

    void cancelEndsABatchWaitingOnItsMessageBox()
    {
        std::atomic<bool> waiting{false};
        int shown = 0;
        m_controller->setMessageBox([&](const QString&) { ++shown; });
        m_downloader->script = [&](const DownloadBatch&, DownloadObserver& observer) {
            waiting = true;
            observer.showMessage("ない");
        };
        test::TempDir working;
        QVERIFY(Start::Started
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        while (!waiting)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // No event loop runs here: the box cannot be shown, and the wait must
        // still end.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_controller->cancelAndWait();
        QCoreApplication::processEvents();
        QCOMPARE(shown, 0);
    }

    void withoutItsDateFolderNoBatchStarts()
    {
        std::atomic<bool> ran{false};
        m_downloader->script = [&](const DownloadBatch&, DownloadObserver&) { ran = true; };
        test::TempDir working;
        test::writeBytes(working.path() / "d", "");
        QSignalSpy finished(m_controller.get(), &DownloadController::finished);
        QVERIFY(Start::NoFolder
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        QVERIFY(Start::NoFolder
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path() / "gone",
                                       "e"));
        QVERIFY(!m_controller->running());
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(!ran);
        // Nothing is left open or held: the next batch starts.
        fs::remove(working.path() / "d");
        QVERIFY(Start::Started
                == m_controller->start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        QVERIFY(finished.wait(10000));
        QVERIFY(ran);
        QVERIFY(fs::is_directory(working.path() / "d"));
    }

    void withoutADownloaderNothingStarts()
    {
        DownloadController controller(nullptr);
        QSignalSpy finished(&controller, &DownloadController::finished);
        test::TempDir working;
        QVERIFY(Start::NotStarted
                == controller.start(entries({"a.gif"}), sourceFor(""), working.path(), "d"));
        QVERIFY(!controller.running());
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
    }
};

}  // namespace vel

VEL_QTEST_GUILESS_MAIN(vel::DownloadControllerTest)

#include "download_controller_test.moc"
