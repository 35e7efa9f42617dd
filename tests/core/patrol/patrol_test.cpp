#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/download_all.h"
#include "core/history/download_history.h"
#include "core/http/http_client.h"
#include "core/patrol/patrol.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel::test {
namespace {

// What a patrol told, in order.
class PatrolRecorder final : public PatrolObserver {
public:
    void siteStarted(std::size_t, std::size_t, std::string_view,
                     std::string_view statusText) override
    {
        statuses.emplace_back(statusText);
    }
    void siteFinished(std::size_t, const SiteReport& report) override
    {
        rows.push_back(report.rowText.value_or("(none)"));
    }
    void patrolFinished(const PatrolSummary&, std::string_view statusText) override
    {
        statuses.emplace_back(statusText);
    }
    bool cancelled() override { return stop.load(); }

    std::atomic<bool> stop{false};
    std::vector<std::string> statuses;
    std::vector<std::string> rows;
};

// A loopback web site, a working folder with `down`, and a real history file.
class PatrolTest : public ::testing::Test {
protected:
    static constexpr std::string_view kDate = "20260102";

    PatrolTest() { fs::create_directory(root.file("down")); }

    // A page linking to each of `files` (relative to the page).
    void sitePage(const std::string& target, const std::vector<std::string>& files)
    {
        std::string body;
        for (const std::string& file : files)
            body += "<a href=\"" + file + "\">x</a>\n";
        server.route(target, page("text/html", body));
    }

    PatrolSite site(int row, std::string name, std::string_view target) const
    {
        return {row, row, std::move(name), server.url(target)};
    }

    // Told to a fresh `recorder`, made before the patrol starts.
    PatrolSummary patrol(const std::vector<PatrolSite>& sites)
    {
        PatrolRequest request;
        request.sites = sites;
        request.extension = "gif";
        request.downloadRoot = root.path();
        request.dateFolder = kDate;
        request.history = history.get();
        client.resetAbort();
        return runPatrol(request, client, downloader, *recorder);
    }

    fs::path folder(std::string_view site) const { return root.path() / "down" / kDate / site; }

    HttpTestServer server;
    TempDir root;
    HttpClient client;
    CurlDownloader downloader;
    std::unique_ptr<DownloadHistory> history =
        DownloadHistory::open(root.file("history.db")).history;
    std::unique_ptr<PatrolRecorder> recorder = std::make_unique<PatrolRecorder>();
};

using Strings = std::vector<std::string>;

// Files in the folder, hidden temporaries included.
Strings filesIn(const fs::path& folder)
{
    Strings names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PatrolTest, EachSiteBringsHomeOnlyWhatTheHistoryDoesNotHold)
{
    sitePage("/a/index.html", {"1.gif", "2.gif", "gone.gif"});
    server.route("/a/1.gif", ok("GIF-1"));
    server.route("/a/2.gif", ok("GIF-2"));
    // Busy for longer than a patrol waits: a failure of its own, tried next time.
    server.route("/a/gone.gif", reply("503 Service Unavailable", "", "Retry-After: 3600\r\n"));
    server.route("/b/index.html", reply("404 Not Found", "no"));
    // A second site of the same name, linking to a file the first one fetched.
    sitePage("/c/index.html", {"../a/1.gif", "3.gif"});
    server.route("/c/3.gif", ok("GIF-3"));
    const std::vector<PatrolSite> sites{site(1, "A", "/a/index.html"),
                                        site(2, "B/b", "/b/index.html"),
                                        site(3, "A", "/c/index.html")};

    const PatrolSummary first = patrol(sites);
    EXPECT_EQ(recorder->rows,
              (Strings{"新しいファイル2個を保存しました（1個失敗）（うち1個はサーバーが混雑中のため次回の巡回で取得）",
                       "利用できません", "新しいファイル1個を保存しました"}));
    EXPECT_EQ(recorder->statuses,
              (Strings{"巡回中（1/3）A", "巡回中（2/3）B/b", "巡回中（3/3）A",
                       "巡回が終了しました（新しいファイル3個、失敗2個）"}));
    EXPECT_EQ(first.failedSites, 2u);
    EXPECT_EQ(filesIn(folder("A")), (Strings{"1.gif", "2.gif"}));
    EXPECT_EQ(filesIn(folder("A (2)")), (Strings{"3.gif"}));
    EXPECT_FALSE(fs::exists(folder("B_b")));  // nothing new, no folder
    EXPECT_EQ(readBytes(folder("A") / "1.gif"), "GIF-1");
    const std::optional<HistoryRecord> recorded = history->find(server.url("/a/1.gif"));
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->localPath, std::string(kDate) + "/A/1.gif");
    EXPECT_EQ(recorded->siteName, "A");
    EXPECT_EQ(recorded->siteNumber, 1);
    EXPECT_EQ(recorded->pageUrl, server.url("/a/index.html"));

    // The next patrol asks for the pages and for what is new or failed only.
    sitePage("/a/index.html", {"1.gif", "2.gif", "gone.gif", "4.gif"});
    server.route("/a/4.gif", ok("GIF-4"));
    const std::size_t before = server.targets().size();
    recorder = std::make_unique<PatrolRecorder>();
    const PatrolSummary second = patrol(sites);
    EXPECT_EQ(recorder->rows,
              (Strings{"新しいファイル1個を保存しました（1個失敗）（うち1個はサーバーが混雑中のため次回の巡回で取得）",
                       "利用できません", "新しいファイルはありません"}));
    EXPECT_EQ(recorder->statuses.back(), "巡回が終了しました（新しいファイル1個、失敗2個）");
    EXPECT_EQ(second.newFiles, 1u);
    const Strings targets = server.targets();
    EXPECT_EQ(Strings(targets.begin() + static_cast<std::ptrdiff_t>(before), targets.end()).size(),
              5u);  // three pages, 4.gif and gone.gif
}

TEST_F(PatrolTest, AStopEndsThePatrolAtOnceKeepingWhatIsComplete)
{
    struct Case {
        std::string held;  // the request the stop comes during
        Strings rows;
        Strings files;
    };
    const Case cases[] = {
        {"/a/index.html", {"(none)"}, {}},
        {"/a/2.gif", {"新しいファイル1個を保存しました"}, {"1.gif"}},
    };
    sitePage("/a/index.html", {"1.gif", "2.gif"});
    server.route("/a/1.gif", ok("GIF-1"));
    server.route("/a/2.gif", ok("GIF-2"));
    sitePage("/b/index.html", {"3.gif"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.held);
        const std::size_t before = server.targets().size();
        const auto asked = [&](const std::string& target) {
            const Strings all = server.targets();
            return std::find(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(), target)
                != all.end();
        };
        server.hold(c.held);
        recorder = std::make_unique<PatrolRecorder>();
        PatrolSummary summary;
        std::thread patrolling([&] {
            summary = patrol({site(1, "A", "/a/index.html"), site(2, "B", "/b/index.html")});
        });
        // Held, with the file before it stored and recorded (a hang guard, not a timing).
        for (int i = 0; i < 2000
             && !(asked(c.held) && (c.files.empty() || history->find(server.url("/a/1.gif"))));
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        recorder->stop = true;
        client.abort();
        patrolling.join();
        server.release(c.held);
        EXPECT_TRUE(summary.stopped);
        EXPECT_EQ(recorder->rows, c.rows);
        EXPECT_EQ(recorder->statuses.back(), "巡回を中止しました");
        EXPECT_EQ(filesIn(folder("A")), c.files);  // no temporary left
        EXPECT_FALSE(asked("/b/index.html"));
    }
}

}  // namespace
}  // namespace vel::test
