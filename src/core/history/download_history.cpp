#include "core/history/download_history.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "core/io/file_io.h"

namespace vel {

namespace fs = std::filesystem;

namespace {

// The schema's version in PRAGMA user_version; 0 is a file without our table.
constexpr int kSchemaVersion = 1;
// A second VEL (a patrol beside the window) holds the write lock only for one
// short transaction at a time.
constexpr int kBusyTimeoutMs = 10'000;
constexpr int kMaxAsideNames = 1000;

// One row per URL fetched. Bytes, not text: URLs and names keep whatever bytes
// they have. Content lookups go by size, then compare the digest: an index of
// sizes stays small, so recording a file touches few pages.
constexpr const char* kCreateSchema = "CREATE TABLE history("
                                      " url BLOB NOT NULL UNIQUE,"
                                      " local_path BLOB NOT NULL,"
                                      " size INTEGER NOT NULL,"
                                      " sha256 BLOB NOT NULL,"
                                      " stored_at INTEGER NOT NULL,"
                                      " site_number INTEGER NOT NULL,"
                                      " site_name BLOB NOT NULL,"
                                      " site_url BLOB NOT NULL,"
                                      " page_url BLOB NOT NULL);"
                                      "CREATE INDEX history_content ON history(size);"
                                      "PRAGMA user_version = 1;";

constexpr const char* kColumns =
    "url, local_path, size, sha256, stored_at, site_number, site_name, site_url, page_url";

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

enum class Verdict { Usable, Damaged, Unavailable };

// What a failed call says about the file: damaged (to be set aside) or out of
// reach for now (busy, no space, an I/O error, read-only), which must never
// cost the user the file.
Verdict verdictOf(int code)
{
    const int primary = code & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT
        || primary == SQLITE_CANTOPEN || primary == SQLITE_ERROR || primary == SQLITE_SCHEMA
        || primary == SQLITE_MISMATCH)
        return Verdict::Damaged;
    return Verdict::Unavailable;
}

Statement prepare(sqlite3* db, const std::string& sql, int* code)
{
    sqlite3_stmt* raw = nullptr;
    *code = sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    return Statement(raw);
}

// The first column of a one-row PRAGMA or query; the code on failure.
struct Answer {
    int code = SQLITE_OK;
    std::string text;
};

Answer ask(sqlite3* db, const std::string& sql)
{
    Answer answer;
    Statement statement = prepare(db, sql, &answer.code);
    if (answer.code != SQLITE_OK)
        return answer;
    const int step = sqlite3_step(statement.get());
    if (step == SQLITE_ROW) {
        if (const unsigned char* text = sqlite3_column_text(statement.get(), 0))
            answer.text = reinterpret_cast<const char*>(text);
    } else if (step != SQLITE_DONE) {
        answer.code = step;
    }
    return answer;
}

int execute(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

void bindBytes(sqlite3_stmt* statement, int column, std::string_view bytes)
{
    // A null pointer would bind NULL, which no NOT NULL column takes.
    sqlite3_bind_blob64(statement, column, bytes.data() ? bytes.data() : "", bytes.size(),
                        SQLITE_TRANSIENT);
}

std::string bytesOf(sqlite3_stmt* statement, int column)
{
    const void* data = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A digest is kept as its 32 bytes, half the size of its hex digits (in the
// table and again in the content index); anything else as it is.
void bindDigest(sqlite3_stmt* statement, int column, std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; hex.size() == 64 && i + 1 < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    bindBytes(statement, column, bytes.size() == 32 ? std::string_view(bytes) : hex);
}

std::string digestOf(sqlite3_stmt* statement, int column)
{
    std::string bytes = bytesOf(statement, column);
    if (bytes.size() != 32)
        return bytes;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(byte) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(byte) & 0x0f]);
    }
    return hex;
}

HistoryRecord recordOf(sqlite3_stmt* statement)
{
    HistoryRecord record;
    record.url = bytesOf(statement, 0);
    record.localPath = bytesOf(statement, 1);
    record.size = sqlite3_column_int64(statement, 2);
    record.sha256 = digestOf(statement, 3);
    record.storedAt = sqlite3_column_int64(statement, 4);
    record.siteNumber = sqlite3_column_int(statement, 5);
    record.siteName = bytesOf(statement, 6);
    record.siteUrl = bytesOf(statement, 7);
    record.pageUrl = bytesOf(statement, 8);
    return record;
}

bool isThere(const fs::path& path)
{
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

fs::path withSuffix(const fs::path& path, std::string_view suffix)
{
    fs::path named = path;
    named += suffix;
    return named;
}

// Renames `from` to `to` only when nothing is there.
bool renameNoReplace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the name was free a moment ago.
    return !isThere(to) && std::rename(from.c_str(), to.c_str()) == 0;
}

// Moves the file and its journal files aside under the first free name of
// "<file>.damaged", "<file>.damaged.1", ...; its new name, or empty when it
// could not be moved. A journal left behind would be replayed into the new file.
fs::path setAside(const fs::path& file)
{
    for (int n = 0; n < kMaxAsideNames; ++n) {
        const fs::path aside =
            withSuffix(file, n == 0 ? std::string(".damaged") : ".damaged." + std::to_string(n));
        if (isThere(aside) || isThere(withSuffix(aside, "-wal"))
            || isThere(withSuffix(aside, "-shm")))
            continue;
        if (!renameNoReplace(file, aside)) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        for (const char* journal : {"-wal", "-shm", "-journal"}) {
            const fs::path from = withSuffix(file, journal);
            if (isThere(from) && !renameNoReplace(from, withSuffix(aside, journal)))
                return {};
        }
        return aside;
    }
    return {};
}

}  // namespace

struct DownloadHistory::Connection {
    Db db;
    Statement find;
    Statement findByContent;
    Statement upsert;
    Statement begin;
    Statement beginImmediate;
    Statement commit;
    Statement rollback;
    mutable std::mutex mutex;

    // Runs a statement without a result row; false when it failed.
    static bool run(const Statement& statement)
    {
        const int step = sqlite3_step(statement.get());
        sqlite3_reset(statement.get());
        return step == SQLITE_DONE;
    }

    bool insert(const HistoryRecord& record)
    {
        sqlite3_stmt* statement = upsert.get();
        bindBytes(statement, 1, record.url);
        bindBytes(statement, 2, record.localPath);
        sqlite3_bind_int64(statement, 3, record.size);
        bindDigest(statement, 4, record.sha256);
        sqlite3_bind_int64(statement, 5, record.storedAt);
        sqlite3_bind_int(statement, 6, record.siteNumber);
        bindBytes(statement, 7, record.siteName);
        bindBytes(statement, 8, record.siteUrl);
        bindBytes(statement, 9, record.pageUrl);
        const bool done = run(upsert);
        sqlite3_clear_bindings(statement);
        return done;
    }

    std::optional<HistoryRecord> findLocked(std::string_view url) const
    {
        sqlite3_stmt* statement = find.get();
        bindBytes(statement, 1, url);
        std::optional<HistoryRecord> found;
        if (sqlite3_step(statement) == SQLITE_ROW)
            found = recordOf(statement);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return found;
    }
};

namespace {

struct Attempt {
    Verdict verdict = Verdict::Unavailable;
    Db db;
    bool created = false;
};

// Whether the file's schema is ours (or none yet), from its user_version and
// its number of schema objects, without changing it.
Verdict schemaVerdict(sqlite3* db, bool* empty)
{
    const Answer version = ask(db, "PRAGMA user_version");
    const Answer objects = ask(db, "SELECT count(*) FROM sqlite_schema");
    if (version.code != SQLITE_OK || objects.code != SQLITE_OK)
        return verdictOf(version.code != SQLITE_OK ? version.code : objects.code);
    *empty = version.text == "0" && objects.text == "0";
    if (*empty || version.text == std::to_string(kSchemaVersion))
        return Verdict::Usable;
    // A newer VEL's history is not ours to change; tables of another program
    // or an unknown version are no history of ours.
    return std::atoi(version.text.c_str()) > kSchemaVersion ? Verdict::Unavailable
                                                            : Verdict::Damaged;
}

// Makes the schema in a file that has none, inside one write transaction, so
// two VELs starting at once do not both make it. Verdict of the file.
Verdict ensureSchema(sqlite3* db, bool* created)
{
    int code = execute(db, "BEGIN IMMEDIATE");
    if (code != SQLITE_OK)
        return verdictOf(code);
    bool empty = false;
    Verdict verdict = schemaVerdict(db, &empty);
    if (verdict == Verdict::Usable && empty) {
        if ((code = execute(db, kCreateSchema)) != SQLITE_OK)
            verdict = verdictOf(code);
        else
            *created = true;
    }
    if (verdict == Verdict::Usable && (code = execute(db, "COMMIT")) != SQLITE_OK)
        verdict = verdictOf(code);
    if (verdict != Verdict::Usable)
        execute(db, "ROLLBACK");
    return verdict;
}

Attempt attemptOpen(const fs::path& file)
{
    Attempt attempt;
    const bool existed = isThere(file);
    sqlite3* raw = nullptr;
    int code = sqlite3_open_v2(file.c_str(), &raw,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                               nullptr);
    attempt.db.reset(raw);
    if (code != SQLITE_OK) {
        attempt.verdict = existed ? verdictOf(code) : Verdict::Unavailable;
        return attempt;
    }
    sqlite3* db = attempt.db.get();
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (sqlite3_db_readonly(db, "main") != 0)
        return attempt;
    const Answer check = ask(db, "PRAGMA quick_check");
    if (check.code != SQLITE_OK || check.text != "ok") {
        attempt.verdict = check.code != SQLITE_OK ? verdictOf(check.code) : Verdict::Damaged;
        return attempt;
    }
    // Asked before the switch to WAL, which would write to a file not ours.
    bool empty = false;
    if ((attempt.verdict = schemaVerdict(db, &empty)) != Verdict::Usable)
        return attempt;
    const Answer journal = ask(db, "PRAGMA journal_mode = WAL");
    if (journal.code != SQLITE_OK || journal.text != "wal") {
        attempt.verdict =
            journal.code != SQLITE_OK ? verdictOf(journal.code) : Verdict::Unavailable;
        return attempt;
    }
    // In WAL a crash may lose the last records, never the file's consistency.
    execute(db, "PRAGMA synchronous = NORMAL");
    // Fewer, larger checkpoints: a batch records each file in its own
    // transaction. The journal is cut back to 64 MiB after each.
    execute(db, "PRAGMA wal_autocheckpoint = 10000");
    execute(db, "PRAGMA journal_size_limit = 67108864");
    attempt.verdict = ensureSchema(db, &attempt.created);
    return attempt;
}

}  // namespace

std::string historyKey(std::string_view url)
{
    return std::string(url.substr(0, url.find('#')));
}

DownloadHistory::DownloadHistory(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection))
{}

DownloadHistory::~DownloadHistory() = default;

DownloadHistory::Opening DownloadHistory::open(const fs::path& file)
{
    Opening opening;
    try {
        const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
        if (!isWritable(folder)
            || (isThere(file) && fs::is_regular_file(file) && !isWritable(file)))
            return opening;
        Attempt attempt = attemptOpen(file);
        if (attempt.verdict == Verdict::Damaged) {
            attempt.db.reset();
            opening.setAsideAs = setAside(file);
            if (opening.setAsideAs.empty())
                return opening;
            attempt = attemptOpen(file);
        }
        if (attempt.verdict != Verdict::Usable)
            return opening;

        auto connection = std::make_unique<Connection>();
        connection->db = std::move(attempt.db);
        sqlite3* db = connection->db.get();
        const std::string select = std::string("SELECT ") + kColumns + " FROM history ";
        int code = SQLITE_OK;
        const auto prepared = [&](Statement& statement, const std::string& sql) {
            statement = prepare(db, sql, &code);
            return code == SQLITE_OK;
        };
        if (!prepared(connection->find, select + "WHERE url = ?1")
            || !prepared(connection->findByContent,
                         select + "WHERE size = ?1 AND sha256 = ?2 ORDER BY stored_at, url")
            || !prepared(connection->upsert,
                         std::string("INSERT INTO history(") + kColumns
                             + ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"
                               " ON CONFLICT(url) DO UPDATE SET local_path = ?2, size = ?3,"
                               " sha256 = ?4, stored_at = ?5, site_number = ?6, site_name = ?7,"
                               " site_url = ?8, page_url = ?9")
            || !prepared(connection->begin, "BEGIN")
            || !prepared(connection->beginImmediate, "BEGIN IMMEDIATE")
            || !prepared(connection->commit, "COMMIT")
            || !prepared(connection->rollback, "ROLLBACK"))
            return opening;
        opening.history.reset(new DownloadHistory(std::move(connection)));
        opening.state = !opening.setAsideAs.empty() ? HistoryOpenState::SetAside
            : attempt.created                       ? HistoryOpenState::Created
                                                    : HistoryOpenState::Opened;
    } catch (...) {
        opening.history.reset();
        opening.state = HistoryOpenState::Unavailable;
    }
    return opening;
}

std::vector<std::optional<HistoryRecord>>
DownloadHistory::lookup(const std::vector<std::string>& urls) const
{
    std::vector<std::optional<HistoryRecord>> answers;
    answers.reserve(urls.size());
    const std::lock_guard lock(m_connection->mutex);
    const bool inTransaction = Connection::run(m_connection->begin);
    for (const std::string& url : urls)
        answers.push_back(m_connection->findLocked(url));
    if (inTransaction)
        Connection::run(m_connection->commit);
    return answers;
}

std::optional<HistoryRecord> DownloadHistory::find(std::string_view url) const
{
    const std::lock_guard lock(m_connection->mutex);
    return m_connection->findLocked(url);
}

std::vector<HistoryRecord> DownloadHistory::findByContent(std::int64_t size,
                                                          std::string_view sha256) const
{
    std::vector<HistoryRecord> found;
    const std::lock_guard lock(m_connection->mutex);
    sqlite3_stmt* statement = m_connection->findByContent.get();
    sqlite3_bind_int64(statement, 1, size);
    bindDigest(statement, 2, sha256);
    while (sqlite3_step(statement) == SQLITE_ROW)
        found.push_back(recordOf(statement));
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return found;
}

bool DownloadHistory::record(const HistoryRecord& record)
{
    try {
        const std::lock_guard lock(m_connection->mutex);
        return m_connection->insert(record);
    } catch (...) {
        return false;
    }
}

bool DownloadHistory::recordAll(const std::vector<HistoryRecord>& records)
{
    try {
        const std::lock_guard lock(m_connection->mutex);
        if (!Connection::run(m_connection->beginImmediate))
            return false;
        for (const HistoryRecord& record : records) {
            if (!m_connection->insert(record)) {
                Connection::run(m_connection->rollback);
                return false;
            }
        }
        if (Connection::run(m_connection->commit))
            return true;
        Connection::run(m_connection->rollback);
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace vel
