#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// The history's file, in the folder the settings files are written to.
inline constexpr std::string_view kHistoryFileName = "history.db";

// One file a batch stored.
struct HistoryRecord {
    std::string url;  // the URL fetched: resolved, without fragment (the key)
    std::string localPath;  // relative to the download folder: "20261208/a.jpg" or
                            // "20261208/<site>/a.jpg" (file-system bytes)
    std::int64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
    std::int64_t storedAt = 0;  // seconds since the epoch, UTC
    int siteNumber = 0;  // the site row's number ("No." cell as a number), 0 if none
    std::string siteName;  // bytes as in the grid (code page)
    std::string siteUrl;
    std::string pageUrl;  // the page the entry was found on

    friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

// The history's key for a URL fetched: the URL without its fragment, which
// never reaches the server.
std::string historyKey(std::string_view url);

enum class HistoryOpenState { Opened, Created, SetAside, Unavailable };

// What VEL has downloaded, kept in an SQLite file: one row per URL fetched.
// The connection may be used from several threads (calls are serialized), and
// other processes may open the same file at the same time.
class DownloadHistory {
public:
    struct Opening {
        std::unique_ptr<DownloadHistory> history;  // null when Unavailable
        HistoryOpenState state = HistoryOpenState::Unavailable;
        std::filesystem::path setAsideAs;  // the damaged file's new name (SetAside)
    };

    // Opens or creates `file` (WAL journal, a busy timeout, the schema's
    // version in PRAGMA user_version, a quick_check). A file that is damaged,
    // cannot be opened or is no history of ours is renamed aside
    // ("<file>.damaged", ".damaged.1", ...; never deleted or replaced; its
    // journal files go with it) and a new one created (SetAside). A folder or
    // file that cannot be written, a file busy beyond the timeout or one
    // written by a newer VEL: Unavailable. Raises nothing.
    static Opening open(const std::filesystem::path& file);

    ~DownloadHistory();
    DownloadHistory(const DownloadHistory&) = delete;
    DownloadHistory& operator=(const DownloadHistory&) = delete;

    // One answer per URL, same order; one read transaction.
    std::vector<std::optional<HistoryRecord>> lookup(const std::vector<std::string>& urls) const;
    std::optional<HistoryRecord> find(std::string_view url) const;
    // Records whose file had this size and hash, oldest first (content dedupe).
    std::vector<HistoryRecord> findByContent(std::int64_t size, std::string_view sha256) const;
    // Insert or replace by URL. False on failure (disk full, read-only): never throws.
    bool record(const HistoryRecord& record);
    bool recordAll(const std::vector<HistoryRecord>& records);  // one transaction

private:
    struct Connection;

    explicit DownloadHistory(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> m_connection;
};

}  // namespace vel
