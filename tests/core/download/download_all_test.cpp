#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_rules.h"
#include "core/io/directory_handle.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::ok;
using test::readBytes;
using test::redirect;
using test::reply;
using test::Route;
using test::writeBytes;

class RecordingObserver final : public DownloadObserver {
public:
    void setStatusText(std::string_view text) override { statuses.emplace_back(text); }
    void setProgressRange(int minimum, int maximum) override
    {
        ranges.emplace_back(minimum, maximum);
    }
    void setProgress(int position) override { positions.push_back(position); }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    bool cancelled() override { return cancelWhen && cancelWhen(); }

    std::function<bool()> cancelWhen;
    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<std::string> messages;
};

// The bar's positions over a batch: the reset, `accepted` steps of `step`, the final reset.
std::vector<int> barPositions(int step, int accepted)
{
    std::vector<int> positions{0};
    for (int i = 1; i <= accepted; ++i)
        positions.push_back(i * step);
    positions.push_back(0);
    return positions;
}

// Name to content of the regular files in a folder.
std::map<std::string, std::string> filesIn(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_symlink() && entry.is_regular_file())
            files[entry.path().filename().string()] = readBytes(entry.path());
    }
    return files;
}

constexpr const char* kProxyVariables[] = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                           "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

std::string currentDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

// Each test's working folder holds `down` and is never the current directory,
// which no batch may change. The caller's directory and proxy settings come
// back afterwards.
class DownloadAllTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedDir = fs::current_path();
        for (const char* name : kProxyVariables) {
            if (const char* value = std::getenv(name))
                m_savedEnv.emplace_back(name, value);
            ::unsetenv(name);
        }
        fs::create_directories(work() / "down");
        fs::create_directories(elsewhere());
        fs::current_path(elsewhere());
    }

    void TearDown() override
    {
        fs::current_path(m_savedDir);
        for (const char* name : kProxyVariables)
            ::unsetenv(name);
        for (const auto& [name, value] : m_savedEnv)
            ::setenv(name.c_str(), value.c_str(), 1);
    }

    fs::path work() const { return m_root.file("work"); }
    fs::path elsewhere() const { return m_root.file("elsewhere"); }
    fs::path dateDir() const { return work() / "down" / "20240506"; }

    RecordingObserver run(std::vector<std::string> entries, DownloadOptions options = {},
                          std::function<bool()> cancelWhen = {})
    {
        return runWithBase(std::move(entries), m_server.url("/dir/"), std::move(options),
                           std::move(cancelWhen));
    }

    RecordingObserver runWithBase(std::vector<std::string> entries, std::string baseUrl,
                                  DownloadOptions options = {},
                                  std::function<bool()> cancelWhen = {})
    {
        const DirectoryHandle folder = openDownloadFolder(work(), "2024/05/06");
        EXPECT_TRUE(folder.valid());
        return runInto(folder.get(), std::move(entries), std::move(baseUrl), std::move(options),
                       std::move(cancelWhen));
    }

    RecordingObserver runInto(int folder, std::vector<std::string> entries, std::string baseUrl,
                              DownloadOptions options = {}, std::function<bool()> cancelWhen = {})
    {
        const std::string before = currentDirectory();
        RecordingObserver observer;
        observer.cancelWhen = std::move(cancelWhen);
        CurlDownloader downloader(std::move(options));
        downloader.DownloadAll({std::move(entries), std::move(baseUrl), folder}, observer);
        EXPECT_EQ(currentDirectory(), before);
        EXPECT_EQ(observer.statuses,
                  (std::vector<std::string>{std::string(kDownloadingText),
                                            std::string(kDownloadFinishedText)}));
        EXPECT_EQ(observer.ranges, (std::vector<std::pair<int, int>>{{0, 1000}}));
        return observer;
    }

    // A short low-speed limit for the tests whose server goes silent.
    static DownloadOptions quickStall()
    {
        DownloadOptions options;
        options.limits.lowSpeedTime = std::chrono::seconds(2);
        return options;
    }

    HttpTestServer m_server;
    test::TempDir m_root;

private:
    fs::path m_savedDir;
    std::vector<std::pair<std::string, std::string>> m_savedEnv;
};

TEST_F(DownloadAllTest, FetchesRelativeAndAbsoluteEntriesInListOrder)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/sub/b.jpg", ok("bravo"));
    m_server.route("/abs/c.png", ok("charlie"));

    const RecordingObserver observer = run({"a.gif", "sub/b.jpg", m_server.url("/abs/c.png")});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{
                  {"a.gif", "alpha"}, {"b.jpg", "bravo"}, {"c.png", "charlie"}}));
    EXPECT_EQ(observer.positions, (std::vector<int>{0, 333, 666, 999, 0}));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_EQ(m_server.targets(),
              (std::vector<std::string>{"/dir/a.gif", "/dir/sub/b.jpg", "/abs/c.png"}));
    for (const std::string& head : m_server.requests()) {
        EXPECT_NE(head.find("\r\nUser-Agent: roviroze\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nCache-Control: no-cache\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nPragma: no-cache\r\n"), std::string::npos) << head;
    }
}

TEST_F(DownloadAllTest, StepsFollowTheEntryCountAndStopShortOfTheEnd)
{
    struct Case {
        int entries;
        int step;
        int accepted;
    };
    m_server.route("/dir/f.gif", ok("f"));
    for (const Case& c : {Case{3, 333, 3}, Case{6, 167, 5}, Case{16, 62, 16}}) {
        const RecordingObserver observer = run(std::vector<std::string>(c.entries, "f.gif"));
        EXPECT_EQ(observer.positions, barPositions(c.step, c.accepted)) << c.entries << " entries";
    }
}

TEST_F(DownloadAllTest, EveryResponseBodyIsStoredWhateverItsStatus)
{
    m_server.route("/dir/x/a.gif", ok("first"));
    m_server.route("/dir/y/a.gif", ok("second"));
    m_server.route("/dir/missing.gif", reply("404 Not Found", "<html>not here</html>"));
    m_server.route("/dir/empty.gif", ok(""));

    const RecordingObserver observer = run({"x/a.gif", "y/a.gif", "missing.gif", "empty.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"a.gif", "second"},
                                                  {"missing.gif", "<html>not here</html>"},
                                                  {"empty.gif", ""}}));
    EXPECT_EQ(observer.positions, barPositions(250, 4));
}

TEST_F(DownloadAllTest, FtpEntriesAreSkippedWithoutAStep)
{
    m_server.route("/dir/b.gif?from=ftp://x", ok("both"));
    m_server.route("/dir/c.gif", ok("c"));

    const RecordingObserver observer =
        run({"ftp://127.0.0.1/a.gif", m_server.url("/dir/b.gif?from=ftp://x"), "c.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"x", "both"}, {"c.gif", "c"}}));
    EXPECT_EQ(observer.positions, barPositions(333, 2));
    EXPECT_EQ(m_server.targets(),
              (std::vector<std::string>{"/dir/b.gif?from=ftp://x", "/dir/c.gif"}));
}

TEST_F(DownloadAllTest, UnopenableUrlsLeaveNoFileAndTakeNoStep)
{
    Route silent;
    silent.stallAfter = true;
    m_server.route("/dir/silent.gif", silent);
    m_server.route("/dir/tofile.gif", redirect("file:///etc/hostname"));
    m_server.route("/dir/loop.gif", redirect("/dir/loop.gif"));
    m_server.route("/dir/good.gif", ok("good"));

    const RecordingObserver observer = run(
        {
            "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/refused.gif",
            "silent.gif",
            "tofile.gif",
            "loop.gif",
            "http://[127.0.0.1/malformed.gif",
            "good.gif",
        },
        quickStall());
    const RecordingObserver schemeless = runWithBase({"nohost.gif", "hostname"}, "", quickStall());
    const RecordingObserver fileBase = runWithBase({"hostname"}, "file:///etc/", quickStall());

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"good.gif", "good"}}));
    EXPECT_EQ(observer.positions, barPositions(167, 1));
    EXPECT_EQ(schemeless.positions, barPositions(500, 0));
    EXPECT_EQ(fileBase.positions, barPositions(1000, 0));
    EXPECT_TRUE(observer.messages.empty());
}

TEST_F(DownloadAllTest, ErrorPathDeletesTempBinLeavesPartialFileAndSteps)
{
    struct Case {
        std::string entry;
        std::map<std::string, std::string> files;  // besides keep.txt
    };
    Route broken;
    broken.head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    broken.body = "p";
    broken.stallAfter = true;
    m_server.route("/dir/part.bin", broken);
    m_server.route("/dir/sub/", ok("index"));
    m_server.route("/dir/", ok("index"));

    const Case cases[] = {
        {"sub/", {}},
        {"sub/.", {}},
        {"sub/..", {}},
        {"part.bin", {{"part.bin", "p"}}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dateDir());
        fs::create_directories(dateDir());
        writeBytes(dateDir() / "temp.bin", "scratch");
        writeBytes(dateDir() / "keep.txt", "kept");

        const RecordingObserver observer = run({c.entry}, quickStall());

        std::map<std::string, std::string> expected = c.files;
        expected["keep.txt"] = "kept";
        EXPECT_EQ(filesIn(dateDir()), expected) << c.entry;
        EXPECT_EQ(observer.positions, barPositions(1000, 1)) << c.entry;
    }
}

TEST_F(DownloadAllTest, LinksAtTargetNamesAreNeverWrittenThrough)
{
    fs::create_directories(dateDir());
    writeBytes(m_root.file("victim.txt"), "precious");
    writeBytes(m_root.file("linked.txt"), "precious too");
    fs::create_symlink(m_root.file("victim.txt"), dateDir() / "a.gif");
    fs::create_symlink(m_root.file("never-created.txt"), dateDir() / "b.gif");
    fs::create_hard_link(m_root.file("linked.txt"), dateDir() / "c.gif");
    writeBytes(dateDir() / "temp.bin", "scratch");
    m_server.route("/dir/a.gif", ok("a body"));
    m_server.route("/dir/b.gif", ok("b body"));
    m_server.route("/dir/c.gif", ok("c body"));

    const RecordingObserver observer = run({"a.gif", "b.gif", "c.gif"});

    EXPECT_EQ(fs::read_symlink(dateDir() / "a.gif"), m_root.file("victim.txt"));
    EXPECT_EQ(fs::read_symlink(dateDir() / "b.gif"), m_root.file("never-created.txt"));
    EXPECT_EQ(readBytes(m_root.file("victim.txt")), "precious");
    EXPECT_FALSE(fs::exists(m_root.file("never-created.txt")));
    EXPECT_EQ(readBytes(m_root.file("linked.txt")), "precious too");
    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"c.gif", "c body"}}));
    EXPECT_EQ(observer.positions, barPositions(333, 3));
}

TEST_F(DownloadAllTest, ReadOnlyFileAtTheNameKeepsItsContent)
{
    fs::create_directories(dateDir());
    writeBytes(dateDir() / "a.gif", "kept");
    fs::permissions(dateDir() / "a.gif", fs::perms::owner_read | fs::perms::group_read);
    m_server.route("/dir/a.gif", ok("a body"));

    const RecordingObserver observer = run({"a.gif"});

    EXPECT_EQ(readBytes(dateDir() / "a.gif"), "kept");
    EXPECT_EQ(observer.positions, barPositions(1000, 1));
}

TEST_F(DownloadAllTest, WithoutDownTheDateFolderIsMadeInTheWorkingFolder)
{
    fs::remove_all(work() / "down");
    m_server.route("/dir/a.gif", ok("alpha"));

    run({"a.gif"});

    EXPECT_FALSE(fs::exists(work() / "down"));
    EXPECT_EQ(filesIn(work() / "20240506"),
              (std::map<std::string, std::string>{{"a.gif", "alpha"}}));
}

TEST_F(DownloadAllTest, TheCurrentDirectoryIsNeitherUsedNorChanged)
{
    // The current directory looks like a working folder too.
    fs::create_directories(elsewhere() / "down");
    writeBytes(elsewhere() / "temp.bin", "not the batch's");
    m_server.route("/dir/a.gif", ok("alpha"));

    // "sub/" has no file name: its failure clears temp.bin in the target folder
    // only. run() compares the current directory before and after.
    run({"a.gif", "sub/"});

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"a.gif", "alpha"}}));
    EXPECT_TRUE(fs::is_empty(elsewhere() / "down"));
    EXPECT_EQ(readBytes(elsewhere() / "temp.bin"), "not the batch's");
}

TEST_F(DownloadAllTest, FilesGoIntoTheFolderOpenedEvenWhenItsPathChanges)
{
    // After the first file the working folder moves and a new one takes its
    // path: the batch stays with the folder it was given.
    const fs::path moved = m_root.file("moved");
    Route first = ok("alpha");
    first.onSent = [&] {
        fs::rename(work(), moved);
        fs::create_directories(dateDir());
    };
    m_server.route("/dir/a.gif", first);
    m_server.route("/dir/b.gif", ok("bravo"));

    run({"a.gif", "b.gif"});

    EXPECT_EQ(filesIn(moved / "down" / "20240506"),
              (std::map<std::string, std::string>{{"a.gif", "alpha"}, {"b.gif", "bravo"}}));
    EXPECT_TRUE(fs::is_empty(dateDir()));
}

TEST_F(DownloadAllTest, WithoutATargetFolderEveryFetchedEntryFails)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/b.gif", ok("bravo"));
    // What the window hands over when the working folder cannot be opened.
    const DirectoryHandle none = openDownloadFolder(m_root.file("missing"), "2024/05/06");
    ASSERT_FALSE(none.valid());

    const RecordingObserver observer =
        runInto(none.get(), {"a.gif", "b.gif"}, m_server.url("/dir/"));

    EXPECT_EQ(m_server.targets(), (std::vector<std::string>{"/dir/a.gif", "/dir/b.gif"}));
    EXPECT_EQ(observer.positions, barPositions(500, 2));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_TRUE(fs::is_empty(elsewhere()));
    EXPECT_TRUE(fs::is_empty(work() / "down"));
}

TEST_F(DownloadAllTest, EmptyListStillMakesTheDateFolder)
{
    const RecordingObserver observer = run({});

    EXPECT_TRUE(fs::is_directory(dateDir()));
    EXPECT_EQ(observer.positions, barPositions(50, 0));
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(DownloadAllTest, SecondBatchOfTheDayReplacesSameNamesAndKeepsOthers)
{
    m_server.route("/dir/a.gif", ok("first and longer"));
    m_server.route("/dir/b.gif", ok("bravo"));
    run({"a.gif", "b.gif"});

    m_server.route("/dir/a.gif", ok("second"));
    run({"a.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"a.gif", "second"}, {"b.gif", "bravo"}}));
}

TEST_F(DownloadAllTest, BytesAUrlCannotCarryArePercentEncodedAndNamesConverted)
{
    m_server.route("/dir/a%20b.gif", ok("space"));
    m_server.route("/dir/c%0D%0AX-Injected:%201.gif", ok("crlf"));
    m_server.route("/dir/%82%A0.gif", ok("kana"));
    DownloadOptions options;
    // Stands in for the Shift-JIS decoder: only the one character used here.
    options.fileNameFromCodePage = [](std::string_view name) {
        std::string converted(name);
        if (const std::size_t at = converted.find("\x82\xa0"); at != std::string::npos)
            converted.replace(at, 2, "\xe3\x81\x82");
        return converted;
    };

    run({"a b.gif", "c\r\nX-Injected: 1.gif", "\x82\xa0.gif"}, options);

    EXPECT_EQ(m_server.targets(),
              (std::vector<std::string>{"/dir/a%20b.gif", "/dir/c%0D%0AX-Injected:%201.gif",
                                        "/dir/%82%A0.gif"}));
    for (const std::string& head : m_server.requests())
        EXPECT_EQ(head.find("\nX-Injected"), std::string::npos) << head;
    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"a b.gif", "space"},
                                                  {"c\r\nX-Injected: 1.gif", "crlf"},
                                                  {"\xe3\x81\x82.gif", "kana"}}));
}

TEST_F(DownloadAllTest, RedirectIsFollowedAndStoredUnderTheEntrysName)
{
    m_server.route("/dir/old.gif", redirect("/new/n.gif"));
    m_server.route("/new/n.gif", ok("new body"));

    const RecordingObserver observer = run({"old.gif"});

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"old.gif", "new body"}}));
    EXPECT_EQ(m_server.targets(), (std::vector<std::string>{"/dir/old.gif", "/new/n.gif"}));
    EXPECT_EQ(observer.positions, barPositions(1000, 1));
}

TEST_F(DownloadAllTest, ProxyFromTheEnvironmentCarriesTheRequest)
{
    ::setenv("http_proxy", m_server.origin().c_str(), 1);
    m_server.route("http://vel-download.invalid/p.gif", ok("via proxy"));

    run({"http://vel-download.invalid/p.gif"});

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"p.gif", "via proxy"}}));
}

TEST_F(DownloadAllTest, CancellingEndsTheBatchAtTheNextRead)
{
    std::atomic<bool> closing{false};
    Route big;
    big.head = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
    big.body = std::string(3000, 'b');
    big.stallAfter = true;  // only the cancellation can end this entry before the hang guard
    big.onSent = [&closing] { closing = true; };
    m_server.route("/dir/big.bin", big);
    m_server.route("/dir/after.gif", ok("after"));

    const RecordingObserver observer =
        run({"big.bin", "after.gif"}, {}, [&closing] { return closing.load(); });

    EXPECT_EQ(m_server.targets(), (std::vector<std::string>{"/dir/big.bin"}));
    EXPECT_EQ(observer.positions, barPositions(500, 0));
    EXPECT_FALSE(fs::exists(dateDir() / "after.gif"));
}

}  // namespace
}  // namespace vel
