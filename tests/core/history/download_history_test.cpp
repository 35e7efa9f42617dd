#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "core/history/download_history.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

HistoryRecord sample(int n, std::int64_t size = 100, std::string sha256 = std::string(64, 'a'))
{
    const std::string number = std::to_string(n);
    return {"https://example.com/img/" + number + ".jpg",
            "20261208/" + number + ".jpg",
            size,
            std::move(sha256),
            1'800'000'000 + n,
            n % 7,
            std::string("\x83T\x83\x43\x83g\0", 7) + number,  // code-page bytes, a NUL too
            "https://example.com/",
            "https://example.com/page" + number + ".html"};
}

// A history file with `count` records, closed again.
void writeHistory(const fs::path& file, int count)
{
    DownloadHistory::Opening opening = DownloadHistory::open(file);
    ASSERT_EQ(opening.state, HistoryOpenState::Created);
    std::vector<HistoryRecord> records;
    for (int n = 0; n < count; ++n)
        records.push_back(sample(n));
    ASSERT_TRUE(opening.history->recordAll(records));
}

// A file's bytes, or a mark for a folder.
std::string contentOf(const fs::path& path)
{
    return fs::is_directory(path) ? "(folder)" : readBytes(path);
}

void setUserVersion(const fs::path& file, int version)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const std::string sql = "PRAGMA user_version = " + std::to_string(version);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(DownloadHistory, RecordsAreFoundAgainByUrlAndByContent)
{
    test::TempDir dir;
    const fs::path file = dir.file("history.db");
    HistoryRecord sameContent = sample(2);
    sameContent.url = "https://mirror.example/2.jpg";
    sameContent.storedAt += 10;
    {
        DownloadHistory::Opening first = DownloadHistory::open(file);
        ASSERT_EQ(first.state, HistoryOpenState::Created);
        ASSERT_TRUE(first.history->recordAll({sample(1), sample(2, 5, std::string(64, 'b'))}));
        // A second process on the same file sees and adds records at once.
        DownloadHistory::Opening second = DownloadHistory::open(file);
        ASSERT_EQ(second.state, HistoryOpenState::Opened);
        EXPECT_EQ(second.history->find(sample(1).url), sample(1));
        ASSERT_TRUE(second.history->record(sameContent));
        // Recorded again by URL: the newer file replaces the older one.
        ASSERT_TRUE(first.history->record(sample(2)));
    }
    DownloadHistory::Opening reopened = DownloadHistory::open(file);
    ASSERT_EQ(reopened.state, HistoryOpenState::Opened);
    const DownloadHistory& history = *reopened.history;
    EXPECT_EQ(history.lookup({sample(2).url, "https://example.com/img/3.jpg", sample(1).url,
                              sample(1).url + "#f", ""}),
              (std::vector<std::optional<HistoryRecord>>{sample(2), std::nullopt, sample(1),
                                                         std::nullopt, std::nullopt}));
    EXPECT_EQ(history.findByContent(100, std::string(64, 'a')),
              (std::vector<HistoryRecord>{sample(1), sample(2), sameContent}));
    EXPECT_EQ(history.findByContent(101, std::string(64, 'a')), std::vector<HistoryRecord>{});
    EXPECT_EQ(history.findByContent(100, std::string(64, 'b')), std::vector<HistoryRecord>{});
}

TEST(DownloadHistory, DamagedFileIsSetAsideUnderAFreeNameAndANewOneStarted)
{
    const struct {
        const char* what;
        std::function<void(const fs::path&)> damage;
        std::vector<std::string> takenSuffixes;  // names beside it before the start
        std::string expectedSuffix;
    } cases[] = {
        {"garbage",
         [](const fs::path& f) { writeBytes(f, std::string(5000, 'g')); },
         {},
         ".damaged"},
        {"damaged header",
         [](const fs::path& f) {
             writeHistory(f, 10);
             std::string bytes = readBytes(f);
             bytes.replace(0, 16, "Not a database!!");
             writeBytes(f, bytes);
         },
         {".damaged"},
         ".damaged.1"},
        {"truncated",
         [](const fs::path& f) {
             writeHistory(f, 3000);
             fs::resize_file(f, fs::file_size(f) / 2);
         },
         {".damaged", ".damaged.1-wal"},
         ".damaged.2"},
        {"another program's database",
         [](const fs::path& f) {
             sqlite3* db = nullptr;
             sqlite3_open(f.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE notes(text)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         {},
         ".damaged"},
        {"a folder in its place",
         [](const fs::path& f) { fs::create_directory(f); },
         {},
         ".damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const fs::path file = dir.file("history.db");
        c.damage(file);
        for (const std::string& suffix : c.takenSuffixes)
            writeBytes(dir.file("history.db" + suffix), "kept " + suffix);
        const std::string damaged = contentOf(file);

        DownloadHistory::Opening opening = DownloadHistory::open(file);
        ASSERT_EQ(opening.state, HistoryOpenState::SetAside);
        ASSERT_TRUE(opening.history);
        EXPECT_EQ(opening.setAsideAs, dir.file("history.db" + c.expectedSuffix));
        EXPECT_TRUE(contentOf(opening.setAsideAs) == damaged);  // (no dump of the bytes)
        for (const std::string& suffix : c.takenSuffixes)
            EXPECT_EQ(readBytes(dir.file("history.db" + suffix)), "kept " + suffix);
        // The new history is empty and works.
        EXPECT_FALSE(opening.history->find(sample(1).url));
        EXPECT_TRUE(opening.history->record(sample(1)));
        EXPECT_EQ(opening.history->find(sample(1).url), sample(1));
    }
}

TEST(DownloadHistory, HistoryOutOfReachIsLeftAsItIs)
{
    const struct {
        const char* what;
        std::function<void(const fs::path&)> prepare;
    } cases[] = {
        {"read-only folder, no file",
         [](const fs::path& f) { test::makeReadOnly(f.parent_path()); }},
        {"read-only folder with a history",
         [](const fs::path& f) {
             writeHistory(f, 3);
             test::makeReadOnly(f.parent_path());
         }},
        {"read-only file",
         [](const fs::path& f) {
             writeHistory(f, 3);
             test::makeReadOnly(f);
         }},
        {"written by a newer VEL",
         [](const fs::path& f) {
             writeHistory(f, 3);
             setUserVersion(f, 99);
         }},
        {"no such folder", [](const fs::path&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const bool noFolder = std::string(c.what) == "no such folder";
        const fs::path file = noFolder ? dir.file("gone") / "history.db" : dir.file("history.db");
        c.prepare(file);
        const std::string before = readBytes(file);
        const auto names = [&dir] {
            return std::vector<fs::directory_entry>(fs::directory_iterator(dir.path()), {});
        };
        const auto namesBefore = names();

        const DownloadHistory::Opening opening = DownloadHistory::open(file);
        EXPECT_EQ(opening.state, HistoryOpenState::Unavailable);
        EXPECT_FALSE(opening.history);
        EXPECT_TRUE(readBytes(file) == before);
        EXPECT_EQ(names(), namesBefore);
    }
}

}  // namespace
}  // namespace vel
