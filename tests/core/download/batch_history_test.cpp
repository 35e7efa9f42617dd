#include <algorithm>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/history/download_history.h"
#include "core/history/file_digest.h"
#include "core/pictures/picture_fetch_queue.h"
#include "download_batch_fixture.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::ok;
using test::reply;
using test::writeBytes;

using Files = std::map<std::string, std::string>;

// Batches that record into a real history file beside the working folder.
class BatchHistoryTest : public test::DownloadBatchTest {
protected:
    void SetUp() override
    {
        DownloadBatchTest::SetUp();
        reopenHistory();
        m_recordTemplate.siteNumber = 12;
        m_recordTemplate.siteName = "\x83T\x83"
                                    "C\x83g";  // code-page bytes
        m_recordTemplate.siteUrl = "https://site.example/";
        m_recordTemplate.pageUrl = m_server.url("/dir/");
    }

    // As a new run of VEL opens it.
    void reopenHistory()
    {
        m_opened.reset();
        m_opened = DownloadHistory::open(m_root.file("history.db")).history;
        ASSERT_TRUE(m_opened);
        m_history = m_opened.get();
    }

    // What a record of a file stored now from `url` holds, storedAt aside.
    HistoryRecord expectedRecord(const std::string& url, const std::string& localPath,
                                 const std::string& bytes) const
    {
        HistoryRecord record = m_recordTemplate;
        record.url = url;
        record.localPath = localPath;
        record.size = static_cast<std::int64_t>(bytes.size());
        record.sha256 = sha256Hex(bytes);
        return record;
    }

    std::optional<HistoryRecord> recorded(const std::string& url) const
    {
        std::optional<HistoryRecord> record = m_history->find(url);
        if (record)
            record->storedAt = 0;
        return record;
    }

    std::unique_ptr<DownloadHistory> m_opened;
};

TEST_F(BatchHistoryTest, StoredFilesAreRecordedAndNothingElseIs)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/b.gif", ok("bravo"));
    m_server.route("/dir/missing.gif", reply("404 Not Found", "gone"));
    const std::int64_t before = std::time(nullptr);

    const auto observer = run({"a.gif", "b.gif#part2", "missing.gif", "ftp://127.0.0.1/c.gif"});

    EXPECT_EQ(observer.failed, std::vector<std::size_t>{2});
    const std::string base = m_server.url("/dir/");
    EXPECT_EQ(recorded(base + "a.gif"), expectedRecord(base + "a.gif", "20240506/a.gif", "alpha"));
    // Recorded without the fragment, which never reaches the server.
    EXPECT_EQ(recorded(base + "b.gif"),
              expectedRecord(base + "b.gif", "20240506/b.gif#part2", "bravo"));
    EXPECT_GE(m_history->find(base + "a.gif")->storedAt, before);
    EXPECT_LE(m_history->find(base + "a.gif")->storedAt, std::time(nullptr));
    for (const std::string& url : {base + "missing.gif", std::string("ftp://127.0.0.1/c.gif")})
        EXPECT_FALSE(m_history->find(url)) << url;
}

TEST_F(BatchHistoryTest, AFileWhoseRecordWasLostIsFetchedAgainAndRecorded)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    const std::string url = m_server.url("/dir/a.gif");
    m_skipFetched = true;
    {
        // The history's journal may not grow: the record fails after the
        // rename, as when VEL is killed between the two.
        test::FileSizeLimit limit(1024);
        run({"a.gif"});
    }
    EXPECT_EQ(filesIn(dateDir()), (Files{{"a.gif", "alpha"}}));
    EXPECT_FALSE(m_history->find(url));

    reopenHistory();
    const auto again = run({"a.gif"});
    EXPECT_EQ(m_server.targets(), (std::vector<std::string>{"/dir/a.gif", "/dir/a.gif"}));
    EXPECT_EQ(again.ended, (std::multimap<std::size_t, EntryOutcome>{{0, EntryOutcome::Stored}}));
    EXPECT_EQ(recorded(url), expectedRecord(url, "20240506/a.gif", "alpha"));
}

TEST_F(BatchHistoryTest, EntriesTheHistoryHoldsAreNotRequestedWhenSkipping)
{
    m_server.route("/dir/old.gif", ok("old"));
    m_server.route("/dir/new.gif", ok("new"));
    ASSERT_TRUE(
        m_history->record(expectedRecord(m_server.url("/dir/old.gif"), "20240501/old.gif", "old")));

    for (const bool skip : {true, false}) {
        SCOPED_TRACE(skip);
        m_skipFetched = skip;
        const std::size_t earlier = m_server.targets().size();
        const auto observer = run({"old.gif#top", "new.gif"});
        EXPECT_EQ(observer.ended.find(0)->second,
                  skip ? EntryOutcome::AlreadyFetched : EntryOutcome::Stored);
        std::vector<std::string> targets = m_server.targets();
        targets.erase(targets.begin(), targets.begin() + static_cast<std::ptrdiff_t>(earlier));
        std::sort(targets.begin(), targets.end());
        const std::vector<std::string> expected = skip
            ? std::vector<std::string>{"/dir/new.gif"}
            : std::vector<std::string>{"/dir/new.gif", "/dir/old.gif"};
        EXPECT_EQ(targets, expected);
        EXPECT_TRUE(observer.failed.empty());
    }
}

TEST_F(BatchHistoryTest, SameBytesAsAFileStillThereAreNotStoredAgain)
{
    const fs::path down = work() / "down";
    fs::create_directories(down / "20240501");
    const struct {
        const char* entry;
        std::string body;
        std::string onDisk;  // the recorded file's bytes now; empty: gone
        bool stored;
    } cases[] = {
        {"same.gif", "same bytes", "same bytes", false},
        {"changed.gif", "kept bytes", "other bytes", true},  // rewritten since
        {"gone.gif", "lost bytes", "", true},
    };
    std::vector<std::string> entries;
    for (const auto& c : cases) {
        const std::string earlier = std::string("20240501/earlier-") + c.entry;
        ASSERT_TRUE(m_history->record(
            expectedRecord("https://elsewhere.example/" + earlier, earlier, c.body)));
        if (!c.onDisk.empty())
            writeBytes(down / earlier, c.onDisk);
        m_server.route(std::string("/dir/") + c.entry, ok(c.body));
        entries.push_back(c.entry);
    }
    m_dedupeContent = true;

    const auto observer = run(entries);

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.entry);
        const std::string url = m_server.url(std::string("/dir/") + c.entry);
        const std::string localPath =
            std::string(c.stored ? "20240506/" : "20240501/earlier-") + c.entry;
        EXPECT_EQ(fs::exists(dateDir() / c.entry), c.stored);
        EXPECT_EQ(observer.ended.find(i)->second,
                  c.stored ? EntryOutcome::Stored : EntryOutcome::SameContent);
        EXPECT_EQ(recorded(url), expectedRecord(url, localPath, c.body));
    }
}

TEST_F(BatchHistoryTest, BodiesFetchedForThumbnailsAreStoredAsTheyCame)
{
    m_server.route("/dir/a.gif", ok("alpha"));
    m_server.route("/dir/b.gif", ok("bravo"));
    const std::string a = m_server.url("/dir/a.gif");
    PictureCache cache(m_root.file("cache"));
    {
        std::promise<PictureFetched> fetched;
        PictureFetchQueue queue(cache,
                                [&fetched](const PictureFetched& f) { fetched.set_value(f); });
        queue.want({{a}});
        ASSERT_EQ(fetched.get_future().get().end, PictureFetchEnd::Stored);
    }
    // The server has changed its mind since: the batch stores what it sent.
    m_server.route("/dir/a.gif", ok("changed"));
    const DownloadFolder folder = openDownloadFolder(work(), "20240506");
    DownloadBatch batch;
    batch.items = test::planListedDownload({"a.gif", "b.gif"}, m_server.url("/dir/"), {});
    batch.targetFolder = folder.handle.get();
    batch.pictureCache = &cache;
    EXPECT_TRUE(runBatch(std::move(batch)).failed.empty());

    EXPECT_EQ(filesIn(dateDir()), (Files{{"a.gif", "alpha"}, {"b.gif", "bravo"}}));
    const auto targets = m_server.targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/dir/a.gif"), 1);
    EXPECT_EQ(recorded(a), expectedRecord(a, "20240506/a.gif", "alpha"));
}

}  // namespace
}  // namespace vel
