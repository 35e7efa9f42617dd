#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/download/download_folder.h"
#include "core/download/download_rules.h"
#include "core/download/entry_request.h"
#include "core/download/stale_temporaries.h"
#include "core/io/directory_handle.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

TEST(DownloadRulesTest, ProgressTextCountsEntriesDoneOfAll)
{
    EXPECT_EQ(downloadProgressText(0, 120), "ファイルをダウンロードしています（0/120）");
    EXPECT_EQ(downloadProgressText(12, 120), "ファイルをダウンロードしています（12/120）");
    EXPECT_EQ(downloadProgressText(1, 1), "ファイルをダウンロードしています（1/1）");
}

TEST(DownloadRulesTest, FinishedTextCountsTheFailures)
{
    struct Case {
        std::size_t failures;
        std::string_view text;
    };
    const Case cases[] = {
        {0, "ファイルのダウンロードが終了しました"},
        {1, "ファイルのダウンロードが終了しました（1個失敗）"},
        {2, "ファイルのダウンロードが終了しました（2個失敗）"},
        {10, "ファイルのダウンロードが終了しました（10個失敗）"},
        {2000, "ファイルのダウンロードが終了しました（2000個失敗）"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadFinishedText(c.failures), c.text) << c.failures << " failures";
}

TEST(DownloadRulesTest, OnlyEntriesRequestedAndNotStoredAreFailures)
{
    EXPECT_TRUE(isFailedEntry(EntryOutcome::NoHandle));
    EXPECT_TRUE(isFailedEntry(EntryOutcome::NotOpened));
    EXPECT_TRUE(isFailedEntry(EntryOutcome::Failed));
    EXPECT_FALSE(isFailedEntry(EntryOutcome::Stored));
    EXPECT_FALSE(isFailedEntry(EntryOutcome::Skipped));
    EXPECT_FALSE(isFailedEntry(EntryOutcome::AlreadyFetched));
    EXPECT_FALSE(isFailedEntry(EntryOutcome::SameContent));
}

TEST(DownloadRulesTest, RetryAfterIsSecondsOrAnHttpDate)
{
    // Wed, 09 Dec 2026 10:00:00 GMT
    const std::chrono::sys_seconds now{std::chrono::seconds(1'796'810'400)};
    const struct {
        const char* value;
        std::optional<long long> seconds;
    } cases[] = {
        {"1", 1},
        {" 120\t", 120},
        {"0", 0},
        {"99999999999999999999", 999'999'999'999},  // far too long, never negative
        {"Wed, 09 Dec 2026 10:00:30 GMT", 30},
        {"Wednesday, 09-Dec-26 10:02:00 GMT", 120},
        {"Wed Dec  9 10:00:05 2026", 5},
        {"Tue, 08 Dec 2026 10:00:00 GMT", 0},  // already past
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::chrono::seconds> delay = retryAfterDelay(c.value, now);
        EXPECT_EQ(delay ? std::optional<long long>(delay->count()) : std::nullopt, c.seconds)
            << c.value;
    }
}

TEST(DownloadRulesTest, DateFolderIsYearMonthDayInFixedWidths)
{
    struct Case {
        int year, month, day;
        std::string_view name;
    };
    const Case cases[] = {
        // Days a short date without "/" could not tell apart.
        {2026, 12, 8, "20261208"},
        {2026, 1, 28, "20260128"},
        {2026, 11, 2, "20261102"},
        {2026, 1, 12, "20260112"},
        {1, 1, 1, "00010101"},
        {999, 9, 9, "09990909"},
        {9999, 12, 31, "99991231"},
        // No date: no name.
        {0, 1, 1, ""},
        {10000, 1, 1, ""},
        {-2026, 1, 1, ""},
        {2026, 0, 1, ""},
        {2026, 13, 1, ""},
        {2026, 1, 0, ""},
        {2026, 1, 32, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dateFolderName(c.year, c.month, c.day), c.name)
            << c.year << "-" << c.month << "-" << c.day;
}

TEST(DownloadRulesTest, EntryUrlAndFtpSkip)
{
    const std::string base = "http://h/d/";
    struct Case {
        std::string_view entry;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {"a.gif", "http://h/d/a.gif"},
        {"http://x/a.gif", "http://x/a.gif"},
        {"ftp://x/a.gif", std::nullopt},
        {"p/ftp://x/a.gif", std::nullopt},
        {"ftp://x/http://y.gif", "ftp://x/http://y.gif"},
        {"HTTP://X/a.gif", "http://h/d/HTTP://X/a.gif"},
        {"https://x/a.gif", "http://h/d/https://x/a.gif"},
    };
    for (const Case& c : cases) {
        const FoundEntry entry{std::string(c.entry), std::string(c.entry)};
        EXPECT_EQ(batchSkipsEntry(entry), !c.url) << c.entry;
        EXPECT_EQ(c.url ? fullUrlOfEntry(c.entry, base) : "", c.url.value_or("")) << c.entry;
    }
}

TEST(DownloadRulesTest, LocalNameIsTheLastSegmentUnchanged)
{
    struct Case {
        std::string_view url;
        std::string_view name;
        bool safe;
    };
    const Case cases[] = {
        {"http://h/dir/a.gif", "a.gif", true},
        {"http://h/dir/", "", false},
        {"http://h/img.cgi?f=a.gif", "img.cgi?f=a.gif", true},
        {"http://h/x?u=p/q.gif", "q.gif", true},
        {"http://h/%41%20b.gif", "%41%20b.gif", true},
        {"http://h/d/.", ".", false},
        {"http://h/d/..", "..", false},
        {"http://h/d/...", "...", true},
        {"http://h", "h", true},
        {"a b.gif", "a b.gif", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(localFileName(c.url), c.name) << c.url;
        EXPECT_EQ(isSafeLocalName(c.name), c.safe) << c.url;
    }
    EXPECT_FALSE(isSafeLocalName(std::string_view("a\0b", 3)));
    EXPECT_FALSE(isSafeLocalName("a/b"));
}

TEST(DownloadRulesTest, BytesAUrlCannotCarryArePercentEncoded)
{
    EXPECT_EQ(encodeUrlForRequest("http://h/a b.gif"), "http://h/a%20b.gif");
    EXPECT_EQ(encodeUrlForRequest("http://h/a\r\nX: 1"), "http://h/a%0D%0AX:%201");
    EXPECT_EQ(encodeUrlForRequest("http://h/\x82\xa0\t\x7f"), "http://h/%82%A0%09%7F");
    EXPECT_EQ(encodeUrlForRequest("http://h/%41?q=a&b=~#f"), "http://h/%41?q=a&b=~#f");
}

namespace fs = std::filesystem;

// Whether the descriptor names the directory at `path`.
bool namesFolder(int fd, const fs::path& path)
{
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Everything below `folder`, links not followed, as sorted relative paths.
std::vector<std::string> treeOf(const fs::path& folder)
{
    std::vector<std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        tree.push_back(entry.path().lexically_relative(folder).string());
    std::sort(tree.begin(), tree.end());
    return tree;
}

// The date folder is opened in `down`, or in the working folder when there is
// no `down` folder; a listed file must never reach the working folder or
// `down` themselves, where the program and its settings live.
TEST(DownloadFolderTest, OnlyTheDateFolderIsEverOpened)
{
    using F = DownloadFolderFailure;
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> prepare;
        std::string_view dateFolder;
        F failure;
        std::string folder;  // relative to the working folder, when opened
        std::vector<std::string> tree;  // the working folder's content afterwards
    };
    const auto makeDown = [](const fs::path& w) { fs::create_directory(w / "down"); };
    const Case cases[] = {
        {"date folder made under down",
         makeDown,
         "20240506",
         F::None,
         "down/20240506",
         {"down", "down/20240506"}},
        {"date folder kept",
         [](const fs::path& w) {
             fs::create_directories(w / "down" / "20240506");
             test::writeBytes(w / "down" / "20240506" / "a.gif", "old");
         },
         "20240506",
         F::None,
         "down/20240506",
         {"down", "down/20240506", "down/20240506/a.gif"}},
        {"no down", {}, "20240506", F::None, "20240506", {"20240506"}},
        {"down is a file",
         [](const fs::path& w) { test::writeBytes(w / "down", ""); },
         "20240506",
         F::None,
         "20240506",
         {"20240506", "down"}},
        {"down links to a folder",
         [](const fs::path& w) {
             fs::create_directory(w / "real");
             fs::create_directory_symlink("real", w / "down");
         },
         "20240506",
         F::None,
         "real/20240506",
         {"down", "real", "real/20240506"}},
        {"date folder links elsewhere",
         [](const fs::path& w) {
             fs::create_directories(w / "down" / "real");
             fs::create_directory_symlink("real", w / "down" / "20240506");
         },
         "20240506",
         F::None,
         "down/real",
         {"down", "down/20240506", "down/real"}},
        {"date name taken by a file in down",
         [](const fs::path& w) {
             fs::create_directory(w / "down");
             test::writeBytes(w / "down" / "20240506", "");
         },
         "20240506",
         F::DateFolder,
         "",
         {"down", "down/20240506"}},
        {"date name taken by a file, no down",
         [](const fs::path& w) { test::writeBytes(w / "20240506", ""); },
         "20240506",
         F::DateFolder,
         "",
         {"20240506"}},
        {"date name is a dangling link",
         [](const fs::path& w) { fs::create_symlink("gone", w / "20240506"); },
         "20240506",
         F::DateFolder,
         "",
         {"20240506"}},
        {"date folder links to the working folder",
         [](const fs::path& w) { fs::create_directory_symlink(".", w / "20240506"); },
         "20240506",
         F::DateFolder,
         "",
         {"20240506"}},
        {"date folder links to down",
         [](const fs::path& w) {
             fs::create_directory(w / "down");
             fs::create_directory_symlink(".", w / "down" / "20240506");
         },
         "20240506",
         F::DateFolder,
         "",
         {"down", "down/20240506"}},
        {"no date", makeDown, "", F::DateFolder, "", {"down"}},
        {"date with a slash", makeDown, "2024/0506", F::DateFolder, "", {"down"}},
        {"date that names down itself", makeDown, ".", F::DateFolder, "", {"down"}},
        {"date that names the working folder", makeDown, "..", F::DateFolder, "", {"down"}},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const fs::path working = dir.path() / "work";
        fs::create_directory(working);
        if (c.prepare)
            c.prepare(working);

        const DownloadFolder folder = openDownloadFolder(working, c.dateFolder);

        EXPECT_EQ(folder.failure, c.failure) << c.what;
        EXPECT_EQ(folder.valid(), folder.handle.valid()) << c.what;
        if (c.failure == F::None)
            EXPECT_TRUE(namesFolder(folder.handle.get(), working / c.folder)) << c.what;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << c.what;
        EXPECT_EQ(treeOf(working), c.tree) << c.what;
    }
}

// Permissions bind only a user other than root.
TEST(DownloadFolderTest, AFolderThatCannotBeEnteredOrWrittenStopsThere)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root passes every permission check";
    test::TempDir dir;
    const fs::path noDown = dir.path() / "no-down";
    fs::create_directory(noDown);
    test::makeReadOnly(noDown);
    EXPECT_EQ(openDownloadFolder(noDown, "20240506").failure, DownloadFolderFailure::DateFolder);
    EXPECT_TRUE(fs::is_empty(noDown));

    const fs::path lockedDown = dir.path() / "locked-down";
    fs::create_directories(lockedDown / "down");
    fs::permissions(lockedDown / "down", fs::perms::none);
    EXPECT_EQ(openDownloadFolder(lockedDown, "20240506").failure,
              DownloadFolderFailure::DownFolder);
    fs::permissions(lockedDown / "down", fs::perms::owner_all);
    EXPECT_EQ(treeOf(lockedDown), std::vector<std::string>{"down"});
}

TEST(DownloadFolderTest, AWorkingFolderThatCannotBeOpenedGivesNoFolder)
{
    test::TempDir dir;
    test::writeBytes(dir.path() / "file", "");
    for (const fs::path& working : {dir.path() / "missing", dir.path() / "file", fs::path()})
        EXPECT_EQ(openDownloadFolder(working, "20240506").failure,
                  DownloadFolderFailure::WorkingFolder)
            << working;
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));

    // A relative working folder is taken from the current directory once, when opened.
    const fs::path saved = fs::current_path();
    fs::current_path(dir.path());
    const DownloadFolder relative = openDownloadFolder(fs::path("."), "56");
    fs::current_path(saved);
    ASSERT_TRUE(relative.valid());
    EXPECT_TRUE(namesFolder(relative.handle.get(), dir.path() / "56"));
}

// A killed batch's temporaries go when a batch opens the folder again, but
// only those no running batch can still be writing.
TEST(DownloadFolderTest, OpeningRemovesOnlyStaleTemporaries)
{
    test::TempDir dir;
    const fs::path date = dir.path() / "work" / "20240506";
    fs::create_directories(date / ".vel-dir123.part");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(25);
    for (const char* name : {".vel-Ab12Cd.part", ".vel-old.part", ".vel-new.part", "a.part",
                             ".vel-x.jpg", "photo.jpg"}) {
        test::writeBytes(date / name, "x");
        if (std::string_view(name) != ".vel-new.part")
            fs::last_write_time(date / name, old);
    }
    fs::last_write_time(date / ".vel-dir123.part", old);

    ASSERT_TRUE(openDownloadFolder(dir.path() / "work", "20240506").valid());
    EXPECT_EQ(
        treeOf(dir.path() / "work"),
        (std::vector<std::string>{"20240506", "20240506/.vel-dir123.part", "20240506/.vel-new.part",
                                  "20240506/.vel-x.jpg", "20240506/a.part", "20240506/photo.jpg"}));
}

}  // namespace
}  // namespace vel
