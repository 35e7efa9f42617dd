#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/download_all.h"
#include "core/download/download_rules.h"
#include "download_batch_fixture.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::ok;
using test::RecordingObserver;
using test::reply;
using test::Route;
using test::writeBytes;

using Files = std::map<std::string, std::string>;
using DownloadParallelTest = test::DownloadBatchTest;

// Entries sharing a local name end as a fetch of one after the other leaves
// them, whichever answer comes last: the earlier entry's answer is held until
// the later one has ended.
TEST_F(DownloadParallelTest, SameNameEndsAsFetchingTheListInOrder)
{
    struct Case {
        const char* what;
        Route earlier;
        Route later;
        bool older;  // a file of that name is there before the batch
        Files files;
        std::vector<std::size_t> failed;
    };
    const Case cases[] = {
        {"both stored", ok("first"), ok("second"), false, {{"a.gif", "second"}}, {}},
        {"later fails",
         ok("first"),
         reply("404 Not Found", "gone"),
         false,
         {{"a.gif", "first"}},
         {1}},
        {"earlier fails", reply("500 Oops", "x"), ok("second"), true, {{"a.gif", "second"}}, {0}},
        {"both fail",
         reply("404 Not Found", "x"),
         reply("404 Not Found", "y"),
         true,
         {{"a.gif", "older"}},
         {0, 1}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dateDir());
        if (c.older) {
            fs::create_directories(dateDir());
            writeBytes(dateDir() / "a.gif", "older");
        }
        m_server.route("/dir/x/a.gif", c.earlier);
        m_server.route("/dir/y/a.gif", c.later);
        m_server.hold("/dir/x/a.gif");
        // The later entry is done first: only then may the earlier one answer.
        m_onProgress = [this](int done) {
            if (done == 1)
                m_server.release("/dir/x/a.gif");
        };

        const RecordingObserver observer = run({"x/a.gif", "y/a.gif"});

        EXPECT_EQ(filesIn(dateDir()), c.files) << c.what;
        EXPECT_EQ(observer.failed, c.failed) << c.what;
    }
}

TEST_F(DownloadParallelTest, AtMostFourAtOnceOnConnectionsKeptOpen)
{
    std::vector<std::string> entries;
    Files expected;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "f" + std::to_string(i) + ".gif";
        m_server.route("/dir/" + name, ok("body " + std::to_string(i)));
        m_server.hold("/dir/" + name);
        entries.push_back(name);
        expected[name] = "body " + std::to_string(i);
    }
    std::size_t seenWhileHeld = 0;
    bool released = false;
    // Asked on the batch's thread between its waits: once four requests are
    // in, a fifth would show up while the server still holds them.
    const auto releaseOnceFourArrived = [&] {
        if (!released && m_server.requests().size() >= 4) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            seenWhileHeld = m_server.requests().size();
            for (const std::string& name : entries)
                m_server.release("/dir/" + name);
            released = true;
        }
        return false;
    };

    const RecordingObserver observer = run(entries, {}, releaseOnceFourArrived);

    EXPECT_EQ(seenWhileHeld, 4u);
    EXPECT_EQ(filesIn(dateDir()), expected);
    EXPECT_TRUE(observer.failed.empty());
    EXPECT_LE(m_server.accepted(), 4);
}

TEST_F(DownloadParallelTest, SkipExistingRequestsNothingForANameAlreadyThere)
{
    m_server.route("/dir/old.gif", ok("new"));
    m_server.route("/dir/new.gif", ok("fresh"));
    m_server.route("/dir/x/twice.gif", ok("first"));
    m_server.route("/dir/y/twice.gif", ok("second"));
    m_server.route("/dir/gone.gif", reply("404 Not Found", "x"));
    fs::create_directories(dateDir());
    writeBytes(dateDir() / "old.gif", "older");
    m_skipExisting = true;

    const RecordingObserver observer =
        run({"old.gif", "new.gif", "x/twice.gif", "y/twice.gif", "gone.gif"});

    // The second "twice.gif" finds the first one's file, as it would after it.
    EXPECT_EQ(filesIn(dateDir()),
              (Files{{"old.gif", "older"}, {"new.gif", "fresh"}, {"twice.gif", "first"}}));
    EXPECT_EQ(sortedTargets(),
              (std::vector<std::string>{"/dir/gone.gif", "/dir/new.gif", "/dir/x/twice.gif"}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{4}));

    // Unticked, the same names are fetched again.
    m_skipExisting = false;
    run({"old.gif"});
    EXPECT_EQ(filesIn(dateDir())["old.gif"], "new");
}

TEST_F(DownloadParallelTest, StopEndsEveryTransferAndKeepsFinishedFiles)
{
    std::atomic<bool> bodyStarted{false};
    Route slow;
    slow.head = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
    slow.body = std::string(3000, 'b');
    slow.stallAfter = true;  // only the stop can end this entry before the hang guard
    slow.onSent = [&bodyStarted] { bodyStarted = true; };
    m_server.route("/dir/slow.bin", slow);
    m_server.route("/dir/done.gif", ok("done"));
    std::vector<std::string> entries{"done.gif", "slow.bin"};
    for (int i = 0; i < 6; ++i) {
        const std::string name = "later" + std::to_string(i) + ".gif";
        m_server.route("/dir/" + name, ok("later"));
        m_server.hold("/dir/" + name);
        entries.push_back(name);
    }
    fs::create_directories(dateDir());
    writeBytes(dateDir() / "slow.bin", "older");

    const RecordingObserver observer =
        run(entries, {}, [&] { return bodyStarted.load() && fs::exists(dateDir() / "done.gif"); });

    EXPECT_EQ(observer.statuses.back(), kDownloadStoppedText);
    EXPECT_EQ(filesIn(dateDir()), (Files{{"done.gif", "done"}, {"slow.bin", "older"}}));
    EXPECT_TRUE(observer.failed.empty());
    EXPECT_TRUE(m_server.waitUntilClosed(m_server.accepted()));
}

// A file that cannot take its name, and one whose writes fail (the file
// system is full), fail alone; the rest of the batch is stored.
TEST_F(DownloadParallelTest, AFileThatCannotBeWrittenFailsAlone)
{
    const std::string tooLong(300, 'n');
    m_server.route("/dir/" + tooLong, ok("long"));
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/big.bin", test::generated(4 << 20));
    m_server.route("/dir/b.gif", ok("bravo"));
    fs::create_directories(dateDir());
    writeBytes(dateDir() / "big.bin", "older");

    // Files of this process may not grow past 1 MiB; a write beyond fails
    // (EFBIG) as on a full disk, rather than raising SIGXFSZ.
    test::FileSizeLimit limit(1 << 20);
    const RecordingObserver observer = run({tooLong, "a.gif", "big.bin", "b.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (Files{{"a.gif", "alpha"}, {"b.gif", "bravo"}, {"big.bin", "older"}}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(observer.statuses.back(), "ファイルのダウンロードが終了しました（2個失敗）");
}

TEST_F(DownloadParallelTest, AStalledServerFailsThatEntryAlone)
{
    Route stalled;
    stalled.head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    stalled.body = "p";
    stalled.stallAfter = true;
    m_server.route("/dir/stall.bin", stalled);
    std::vector<std::string> entries{"stall.bin"};
    Files expected;
    for (int i = 0; i < 8; ++i) {
        const std::string name = "f" + std::to_string(i) + ".gif";
        m_server.route("/dir/" + name, ok(name));
        entries.push_back(name);
        expected[name] = name;
    }

    const RecordingObserver observer = run(entries, quickStall());

    EXPECT_EQ(filesIn(dateDir()), expected);
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace vel
