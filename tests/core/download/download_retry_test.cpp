#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "download_batch_fixture.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::ConnectionScript;
using test::filesIn;
using test::HttpTestServer;
using test::ok;
using test::receive;
using test::send;

using Files = std::map<std::string, std::string>;

// A connection that answers the request with `status` and Retry-After
// `retryAfter` (none when empty), then closes.
ConnectionScript busy(const std::string& status, const std::string& retryAfter)
{
    std::string head = "HTTP/1.1 " + status + "\r\nContent-Length: 0\r\n";
    if (!retryAfter.empty())
        head += "Retry-After: " + retryAfter + "\r\n";
    return {receive(), send(head + "\r\n")};
}

// A connection closed as soon as the request arrived.
const ConnectionScript dropped{receive()};

std::string httpDateIn(std::chrono::seconds ahead)
{
    const std::time_t when = std::time(nullptr) + ahead.count();
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

using DownloadRetryTest = test::DownloadBatchTest;

DownloadOptions quickRetry()
{
    DownloadOptions options;
    options.retry.resetRetryDelay = std::chrono::milliseconds(50);
    return options;
}

TEST_F(DownloadRetryTest, BusyAnswersAndDroppedConnectionsAreAskedOnceMore)
{
    const struct {
        const char* what;
        std::vector<ConnectionScript> scripts;  // the first connections; later ones get the file
        EntryOutcome outcome;
        std::size_t requests;
    } cases[] = {
        {"429, Retry-After 1", {busy("429 Too Many Requests", "1")}, EntryOutcome::Stored, 2},
        {"503, Retry-After a date",
         {busy("503 Service Unavailable", httpDateIn(std::chrono::seconds(1)))},
         EntryOutcome::Stored,
         2},
        {"503, Retry-After beyond 120 s",
         {busy("503 Service Unavailable", "121")},
         EntryOutcome::ServerBusy,
         1},
        {"429 without Retry-After",
         {busy("429 Too Many Requests", "")},
         EntryOutcome::ServerBusy,
         1},
        {"429 twice",
         {busy("429 Too Many Requests", "0"), busy("429 Too Many Requests", "0")},
         EntryOutcome::ServerBusy,
         2},
        {"dropped", {dropped}, EntryOutcome::Stored, 2},
        {"dropped twice", {dropped, dropped}, EntryOutcome::NotOpened, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dateDir());
        HttpTestServer server(c.scripts);
        server.route("/r/a.gif", ok("alpha"));

        const auto observer = runWithBase({"a.gif"}, server.url("/r/"), quickRetry());

        EXPECT_EQ(observer.ended.find(0)->second, c.outcome);
        EXPECT_EQ(server.targets().size(), c.requests);
        const Files expected =
            c.outcome == EntryOutcome::Stored ? Files{{"a.gif", "alpha"}} : Files{};
        EXPECT_EQ(filesIn(dateDir()), expected);
    }
}

TEST_F(DownloadRetryTest, AWaitingEntryLeavesItsPlaceToOthersAndAStopEndsIt)
{
    HttpTestServer server({busy("429 Too Many Requests", "1")});
    server.route("/r/a.gif", ok("alpha"));
    server.route("/r/b.gif", ok("bravo"));
    DownloadOptions one = quickRetry();
    one.parallelTransfers = 1;

    runWithBase({"a.gif", "b.gif"}, server.url("/r/"), one);

    // b went out while a waited, on the one place there is.
    EXPECT_EQ(server.targets(), (std::vector<std::string>{"/r/a.gif", "/r/b.gif", "/r/a.gif"}));
    EXPECT_EQ(filesIn(dateDir()), (Files{{"a.gif", "alpha"}, {"b.gif", "bravo"}}));

    // A stop during a long wait ends the batch at once.
    HttpTestServer slow({busy("503 Service Unavailable", "120")});
    const auto stopped = runWithBase({"a.gif"}, slow.url("/r/"), quickRetry(), [&slow] {
        return slow.waitUntilClosed(1, std::chrono::milliseconds(0));
    });
    EXPECT_EQ(stopped.statuses.back(), kDownloadStoppedText);
    EXPECT_TRUE(stopped.ended.empty());
}

}  // namespace
}  // namespace vel
