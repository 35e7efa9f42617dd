#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "download_batch_fixture.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::ok;
using test::raw;
using test::readBytes;
using test::RecordingObserver;
using test::redirect;
using test::reply;
using test::Route;
using test::writeBytes;

using Files = std::map<std::string, std::string>;

// What a failed or stopped entry leaves: nothing under its name but what was
// there before. The fixture checks every batch for a temporary file left
// behind and for a closing status that counts the failures reported.
class DownloadFailureTest : public test::DownloadBatchTest {
protected:
    // A date folder holding only an older file of this name.
    void freshFolderWithOlder(const std::string& name)
    {
        fs::remove_all(dateDir());
        fs::create_directories(dateDir());
        writeBytes(dateDir() / name, "older");
    }

    bool hasTemporaryFile() const
    {
        for (const auto& entry : fs::directory_iterator(dateDir())) {
            if (entry.path().filename().string().rfind(".vel-", 0) == 0)
                return true;
        }
        return false;
    }
};

TEST_F(DownloadFailureTest, ErrorStatusesAndBrokenTransfersKeepTheOlderFile)
{
    Route stalled = reply("200 OK", std::string(100000, 's'));
    stalled.body.resize(1);  // the rest never comes, and the time-out follows soon
    stalled.stallAfter = true;
    m_server.route("/dir/missing.gif", reply("404 Not Found", "<html>not here</html>"));
    m_server.route("/dir/error.gif", reply("500 Internal Server Error", "oops"));
    m_server.route("/dir/moved.gif", redirect("/dir/missing.gif"));
    m_server.route(
        "/dir/short.gif",
        raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(3000, 'p')));
    m_server.route("/dir/chunked.gif",
                   raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7\r\npartial\r\n"));
    m_server.route("/dir/stalled.gif", stalled);

    for (const char* name :
         {"missing.gif", "error.gif", "moved.gif", "short.gif", "chunked.gif", "stalled.gif"}) {
        freshFolderWithOlder(name);

        const RecordingObserver observer = run({name}, quickStall());

        EXPECT_EQ(filesIn(dateDir()), (Files{{name, "older"}})) << name;
        EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0})) << name;
        // An answer arrived, so the bar moves on all the same.
    }
}

TEST_F(DownloadFailureTest, EveryCompleteAnswerReplacesTheOlderFile)
{
    struct Case {
        const char* name;
        Route route;
        std::string stored;
    };
    const Case cases[] = {
        {"length.gif", ok("new body"), "new body"},
        {"empty.gif", ok(""), ""},
        // Without a length the body ends where the connection does.
        {"close.gif", raw("HTTP/1.1 200 OK\r\n\r\nends at close"), "ends at close"},
        {"chunked.gif",
         raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nnew\r\n5\r\n "
             "body\r\n0\r\n\r\n"),
         "new body"},
        {"moved.gif", redirect("/dir/length.gif"), "new body"},
    };
    for (const Case& c : cases)
        m_server.route(std::string("/dir/") + c.name, c.route);

    for (const Case& c : cases) {
        freshFolderWithOlder(c.name);

        const RecordingObserver observer = run({c.name});

        EXPECT_EQ(filesIn(dateDir()), (Files{{c.name, c.stored}})) << c.name;
        EXPECT_TRUE(observer.failed.empty()) << c.name;
    }
}

TEST_F(DownloadFailureTest, FailuresAreCountedAndReportedByTheirRow)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/missing.gif", reply("404 Not Found", "gone"));
    m_server.route("/dir/b.gif", ok("bravo"));
    m_server.route("/dir/broken.gif", reply("500 Internal Server Error", "oops"));

    const RecordingObserver observer = run({
        "a.gif",
        "missing.gif",
        "ftp://127.0.0.1/skipped.gif",
        "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/refused.gif",
        "b.gif",
        "broken.gif",
    });

    EXPECT_EQ(filesIn(dateDir()), (Files{{"a.gif", "alpha"}, {"b.gif", "bravo"}}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{1, 3, 5}));
    EXPECT_EQ(observer.statuses.back(), "ファイルのダウンロードが終了しました（3個失敗）");
}

TEST_F(DownloadFailureTest, ABatchCutShortByAnErrorFailsEveryEntryNotStored)
{
    Route stalled = reply("200 OK", std::string(100000, 's'));
    stalled.body.resize(3000);
    stalled.stallAfter = true;
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/stalled.bin", stalled);
    const DownloadFolder folder = openDownloadFolder(work(), "20240506");
    RecordingObserver observer;
    observer.onProgress = [](int done) {
        if (done == 1)
            throw std::runtime_error("report lost");
    };
    DownloadOptions options;
    options.parallelTransfers = 2;  // c.gif waits for a free slot
    DownloadBatch batch;
    batch.items =
        test::planListedDownload({"a.gif", "stalled.bin", "c.gif"}, m_server.url("/dir/"));
    batch.targetFolder = folder.handle.get();
    CurlDownloader(options).downloadAll(batch, observer);

    EXPECT_EQ(filesIn(dateDir()), (Files{{"a.gif", "alpha"}}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(observer.statuses.back(), downloadFinishedText(2));
}

TEST_F(DownloadFailureTest, CancelMidBodyKeepsTheOlderFile)
{
    std::atomic<bool> closing{false};
    Route big = reply("200 OK", std::string(1000000, 'b'));
    big.body.resize(3000);
    big.stallAfter = true;  // only the cancel can end this entry before the hang guard
    big.onSent = [&closing] { closing = true; };
    m_server.route("/dir/big.bin", big);
    freshFolderWithOlder("big.bin");

    const RecordingObserver observer = run({"big.bin"}, {}, [&closing] { return closing.load(); });

    EXPECT_EQ(filesIn(dateDir()), (Files{{"big.bin", "older"}}));
    EXPECT_TRUE(observer.failed.empty());
}

TEST_F(DownloadFailureTest, WhatTakesTheNameWhileTheBodyArrivesIsLeftAlone)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        std::function<bool(const fs::path&)> untouched;
    };
    const fs::path victim = m_root.file("victim.txt");
    const Case cases[] = {
        {"symbolic link", [&](const fs::path& at) { fs::create_symlink(victim, at); },
         [&](const fs::path& at) {
             return fs::is_symlink(at) && fs::read_symlink(at) == victim
                 && readBytes(victim) == "precious";
         }},
        {"directory", [](const fs::path& at) { fs::create_directory(at); },
         [](const fs::path& at) { return fs::is_directory(at) && fs::is_empty(at); }},
        {"FIFO", [](const fs::path& at) { ::mkfifo(at.c_str(), 0666); },
         [](const fs::path& at) { return fs::is_fifo(at); }},
        {"read-only file",
         [](const fs::path& at) {
             writeBytes(at, "kept");
             test::makeReadOnly(at);
         },
         [](const fs::path& at) { return readBytes(at) == "kept"; }},
    };
    std::atomic<bool> planted{false};
    // The rest of the body waits until the name is taken.
    Route held = test::generated(1000);
    held.afterBody = [&planted] {
        for (int i = 0; i < 2000 && !planted; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    m_server.route("/dir/a.gif", held);

    for (const Case& c : cases) {
        fs::remove_all(dateDir());
        fs::create_directories(dateDir());
        writeBytes(victim, "precious");
        const fs::path name = dateDir() / "a.gif";
        // Asked between reads: the first time the body's temporary file
        // exists, something else takes the entry's name.
        planted = false;
        auto plantDuringBody = [&] {
            if (!planted && hasTemporaryFile()) {
                c.plant(name);
                planted = true;
            }
            return false;
        };

        const RecordingObserver observer = run({"a.gif"}, {}, plantDuringBody);

        ASSERT_TRUE(planted.load()) << c.what;
        EXPECT_TRUE(c.untouched(name)) << c.what;
        EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0})) << c.what;
    }
}

}  // namespace
}  // namespace vel
