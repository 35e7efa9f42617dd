#include <atomic>
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/download_all.h"
#include "core/io/directory_handle.h"
#include "download_batch_fixture.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::ok;
using test::readBytes;
using test::RecordingObserver;
using test::redirect;
using test::reply;
using test::Route;
using test::writeBytes;

using DownloadAllTest = test::DownloadBatchTest;

TEST_F(DownloadAllTest, FetchesRelativeAndAbsoluteEntriesInListOrder)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/sub/b.jpg", ok("bravo"));
    m_server.route("/abs/c.png", ok("charlie"));

    const RecordingObserver observer = run({"a.gif", "sub/b.jpg", m_server.url("/abs/c.png")});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{
                  {"a.gif", "alpha"}, {"b.jpg", "bravo"}, {"c.png", "charlie"}}));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_EQ(sortedTargets(),
              (std::vector<std::string>{"/abs/c.png", "/dir/a.gif", "/dir/sub/b.jpg"}));
    for (const std::string& head : m_server.requests()) {
        EXPECT_NE(head.find("\r\nUser-Agent: roviroze\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nCache-Control: no-cache\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nPragma: no-cache\r\n"), std::string::npos) << head;
    }
}

TEST_F(DownloadAllTest, AnswersBelow400AreStoredAndAnErrorStatusIsNot)
{
    m_server.route("/dir/x/a.gif", ok("first"));
    m_server.route("/dir/y/a.gif", ok("second"));
    m_server.route("/dir/missing.gif", reply("404 Not Found", "<html>not here</html>"));
    m_server.route("/dir/empty.gif", ok(""));

    const RecordingObserver observer = run({"x/a.gif", "y/a.gif", "missing.gif", "empty.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"a.gif", "second"}, {"empty.gif", ""}}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{2}));
    // A failed entry whose answer arrived still moves the bar on.
}

TEST_F(DownloadAllTest, FtpEntriesAreSkippedAndCountAsDone)
{
    m_server.route("/dir/b.gif?from=ftp://x", ok("both"));
    m_server.route("/dir/c.gif", ok("c"));

    const RecordingObserver observer =
        run({"ftp://127.0.0.1/a.gif", m_server.url("/dir/b.gif?from=ftp://x"), "c.gif"});

    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"x", "both"}, {"c.gif", "c"}}));
    EXPECT_TRUE(observer.failed.empty());
    EXPECT_EQ(sortedTargets(), (std::vector<std::string>{"/dir/b.gif?from=ftp://x", "/dir/c.gif"}));
}

TEST_F(DownloadAllTest, UnopenableUrlsFailAndLeaveNoFile)
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
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(schemeless.failed, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(fileBase.failed, (std::vector<std::size_t>{0}));
    EXPECT_TRUE(observer.messages.empty());
}

TEST_F(DownloadAllTest, AnswersThatCannotBeStoredFailAndLeaveNoFile)
{
    Route broken;
    broken.head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    broken.body = "p";
    broken.stallAfter = true;
    m_server.route("/dir/part.bin", broken);
    m_server.route("/dir/sub/", ok("index"));
    m_server.route("/dir/", ok("index"));

    for (const char* entry : {"sub/", "sub/.", "sub/..", "part.bin"}) {
        fs::remove_all(dateDir());
        fs::create_directories(dateDir());
        // Files of the folder are left alone, whatever their names.
        writeBytes(dateDir() / "temp.bin", "scratch");
        writeBytes(dateDir() / "keep.txt", "kept");

        const RecordingObserver observer = run({entry}, quickStall());

        EXPECT_EQ(
            filesIn(dateDir()),
            (std::map<std::string, std::string>{{"keep.txt", "kept"}, {"temp.bin", "scratch"}}))
            << entry;
        EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0})) << entry;
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
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0, 1}));
}

TEST_F(DownloadAllTest, ReadOnlyFileAtTheNameKeepsItsContent)
{
    fs::create_directories(dateDir());
    writeBytes(dateDir() / "a.gif", "kept");
    fs::permissions(dateDir() / "a.gif", fs::perms::owner_read | fs::perms::group_read);
    m_server.route("/dir/a.gif", ok("a body"));

    const RecordingObserver observer = run({"a.gif"});

    EXPECT_EQ(readBytes(dateDir() / "a.gif"), "kept");
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0}));
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

    // "sub/" has no file name and fails. run() compares the current directory
    // before and after.
    run({"a.gif", "sub/"});

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"a.gif", "alpha"}}));
    EXPECT_TRUE(fs::is_empty(elsewhere() / "down"));
    EXPECT_EQ(readBytes(elsewhere() / "temp.bin"), "not the batch's");
}

TEST_F(DownloadAllTest, FilesGoIntoTheFolderOpenedEvenWhenItsPathChanges)
{
    // After the first file the working folder moves and a new one takes its
    // path: the batch stays with the folder it was given.
    // The move happens while the first file's body is on its way, so it is
    // over before that file can be complete.
    const fs::path moved = m_root.file("moved");
    Route first = test::generated(5);
    first.afterBody = [&] {
        fs::rename(work(), moved);
        fs::create_directories(dateDir());
    };
    m_server.route("/dir/a.gif", first);
    m_server.route("/dir/b.gif", ok("bravo"));

    run({"a.gif", "b.gif"});

    std::string firstBody;
    for (std::uint64_t offset = 0; offset < 5; ++offset)
        firstBody += test::generatedByte(offset);
    EXPECT_EQ(filesIn(moved / "down" / "20240506"),
              (std::map<std::string, std::string>{{"a.gif", firstBody}, {"b.gif", "bravo"}}));
    EXPECT_TRUE(fs::is_empty(dateDir()));
}

TEST_F(DownloadAllTest, WithoutATargetFolderEveryFetchedEntryFails)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/b.gif", ok("bravo"));
    // A batch handed no folder (the window never starts one without it).
    const DirectoryHandle none;

    const RecordingObserver observer =
        runInto(none.get(), {"a.gif", "b.gif"}, m_server.url("/dir/"));

    EXPECT_EQ(sortedTargets(), (std::vector<std::string>{"/dir/a.gif", "/dir/b.gif"}));
    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_TRUE(fs::is_empty(elsewhere()));
    EXPECT_TRUE(fs::is_empty(work() / "down"));
}

TEST_F(DownloadAllTest, EmptyListStillMakesTheDateFolder)
{
    const RecordingObserver observer = run({});

    EXPECT_TRUE(fs::is_directory(dateDir()));
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
    // Stands in for the Shift-JIS decoder: only the one character used here.
    m_fileNames = [](std::string_view name) {
        std::string converted(name);
        if (const std::size_t at = converted.find("\x82\xa0"); at != std::string::npos)
            converted.replace(at, 2, "\xe3\x81\x82");
        return converted;
    };

    run({"a b.gif", "c\r\nX-Injected: 1.gif", "\x82\xa0.gif"});

    EXPECT_EQ(sortedTargets(),
              (std::vector<std::string>{"/dir/%82%A0.gif", "/dir/a%20b.gif",
                                        "/dir/c%0D%0AX-Injected:%201.gif"}));
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
}

TEST_F(DownloadAllTest, ProxyFromTheEnvironmentCarriesTheRequest)
{
    ::setenv("http_proxy", m_server.origin().c_str(), 1);
    m_server.route("http://vel-download.invalid/p.gif", ok("via proxy"));

    run({"http://vel-download.invalid/p.gif"});

    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"p.gif", "via proxy"}}));
}

}  // namespace
}  // namespace vel
