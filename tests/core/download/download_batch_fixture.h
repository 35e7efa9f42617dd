#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_plan.h"
#include "core/download/download_rules.h"
#include "core/io/directory_handle.h"
#include "support/http_test_server.h"
#include "support/listed_entries.h"
#include "support/recording_observer.h"
#include "support/temp_dir.h"

namespace vel::test {

namespace fs = std::filesystem;

// The bar's positions over a batch of which `done` entries ended: the reset,
// one more for each entry done, the final reset.
inline std::vector<int> barPositions(std::size_t done)
{
    std::vector<int> positions{0};
    for (std::size_t i = 1; i <= done; ++i)
        positions.push_back(static_cast<int>(i));
    positions.push_back(0);
    return positions;
}

// The status texts of a batch of `total` entries of which `done` ended, then `last`.
inline std::vector<std::string> statusTexts(std::size_t done, std::size_t total, std::string last)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i <= done; ++i)
        texts.push_back(downloadProgressText(i, total));
    texts.push_back(std::move(last));
    return texts;
}

// Name to content of the regular files in a folder, hidden ones included (a
// temporary file left behind shows up here).
inline std::map<std::string, std::string> filesIn(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_symlink() && entry.is_regular_file())
            files[entry.path().filename().string()] = readBytes(entry.path());
    }
    return files;
}

// The names in the directory `dirFd` that start with `prefix`.
inline std::vector<std::string> namesStartingWith(int dirFd, std::string_view prefix)
{
    std::vector<std::string> names;
    const int copy = dirFd >= 0 ? ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.substr(0, prefix.size()) == prefix)
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// While it lives, no file of this process may grow beyond `bytes`: a write
// past it fails with EFBIG, as one on a full disk fails, instead of raising
// SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_savedAction);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::sigaction(SIGXFSZ, &m_savedAction, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    struct sigaction m_savedAction {};
};

inline constexpr const char* kProxyVariables[] = {
    "http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

inline std::string currentDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

// Each test's working folder holds `down` and is never the current directory,
// which no batch may change. The caller's directory and proxy settings come
// back afterwards. Every batch is checked for what holds whatever its entries
// do: the status texts and the bar counting the entries done (the closing
// text counting the failures reported, or saying the batch was stopped), the
// failures reported in list order, the current directory, and no temporary
// file left behind.
class DownloadBatchTest : public ::testing::Test {
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
        const DownloadFolder folder = openDownloadFolder(work(), "20240506");
        EXPECT_TRUE(folder.valid());
        return runInto(folder.handle.get(), std::move(entries), std::move(baseUrl),
                       std::move(options), std::move(cancelWhen));
    }

    RecordingObserver runInto(int folder, std::vector<std::string> entries, std::string baseUrl,
                              DownloadOptions options = {}, std::function<bool()> cancelWhen = {})
    {
        DownloadBatch batch;
        batch.items = planListedDownload(entries, baseUrl, m_fileNames);
        batch.targetFolder = folder;
        return runBatch(std::move(batch), std::move(options), std::move(cancelWhen));
    }

    // Runs the batch with the fixture's settings and checks it as every batch is checked.
    RecordingObserver runBatch(DownloadBatch batch, DownloadOptions options = {},
                               std::function<bool()> cancelWhen = {})
    {
        const std::string before = currentDirectory();
        RecordingObserver observer;
        observer.cancelWhen = std::move(cancelWhen);
        observer.onProgress = m_onProgress;
        CurlDownloader downloader(std::move(options));
        batch.skipExisting = m_skipExisting;
        batch.history = m_history;
        batch.folderPath = "20240506";
        batch.recordTemplate = m_recordTemplate;
        batch.skipFetched = m_skipFetched;
        batch.dedupeContent = m_dedupeContent;
        downloader.downloadAll(batch, observer);
        EXPECT_EQ(currentDirectory(), before);
        const std::size_t total = batch.items.size();
        const bool stopped = !observer.statuses.empty()
            && observer.statuses.back() == kDownloadStoppedText && observer.cancelWhen;
        const std::size_t done = stopped ? observer.positions.size() - 2 : total;
        EXPECT_EQ(observer.statuses,
                  statusTexts(done, total,
                              stopped ? std::string(kDownloadStoppedText)
                                      : downloadFinishedText(observer.failed.size())));
        EXPECT_EQ(observer.positions, barPositions(done));
        EXPECT_EQ(
            observer.ranges,
            (std::vector<std::pair<int, int>>{{0, std::max<int>(1, static_cast<int>(total))}}));
        EXPECT_TRUE(std::is_sorted(observer.failed.begin(), observer.failed.end()));
        // Each entry done ended once, and the failed ones are those reported.
        std::vector<std::size_t> failedOutcomes;
        for (const auto& [index, outcome] : observer.ended) {
            EXPECT_EQ(observer.ended.count(index), 1U) << index;
            if (isFailedEntry(outcome))
                failedOutcomes.push_back(index);
        }
        EXPECT_EQ(observer.ended.size(), done);
        EXPECT_EQ(failedOutcomes, observer.failed);
        EXPECT_EQ(namesStartingWith(batch.targetFolder, ".vel-"), std::vector<std::string>{});
        return observer;
    }

    // A short low-speed limit for the tests whose server goes silent; an
    // entry that timed out is asked again at once.
    static DownloadOptions quickStall()
    {
        DownloadOptions options;
        options.limits.lowSpeedTime = std::chrono::seconds(2);
        options.retry.resetRetryDelay = std::chrono::milliseconds(0);
        return options;
    }

    // The targets requested, sorted: entries are fetched several at once.
    std::vector<std::string> sortedTargets() const
    {
        std::vector<std::string> targets = m_server.targets();
        std::sort(targets.begin(), targets.end());
        return targets;
    }

    HttpTestServer m_server;
    TempDir m_root;
    // Handed to every batch's observer (see RecordingObserver::onProgress).
    std::function<void(int)> m_onProgress;
    bool m_skipExisting = false;
    // What the batches tell the download history and ask of it (none: nothing).
    DownloadHistory* m_history = nullptr;
    HistoryRecord m_recordTemplate;
    bool m_skipFetched = false;
    bool m_dedupeContent = false;
    // How the batches' local names leave the code page (none: unchanged).
    std::function<std::string(std::string_view)> m_fileNames;

private:
    fs::path m_savedDir;
    std::vector<std::pair<std::string, std::string>> m_savedEnv;
};

}  // namespace vel::test
