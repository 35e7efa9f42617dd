#include "core/download/batch_history.h"

#include <chrono>
#include <cstddef>
#include <utility>

namespace vel {

namespace {

// The folder `depth` levels above `folder`.
DirectoryHandle folderAbove(int folder, std::size_t depth)
{
    DirectoryHandle current = DirectoryHandle::openAt(folder, ".");
    for (std::size_t i = 0; i < depth && current.valid(); ++i)
        current = DirectoryHandle::openAt(current.get(), "..");
    return current;
}

std::size_t componentCount(std::string_view path)
{
    std::size_t count = 0;
    bool inName = false;
    for (const char c : path) {
        if (c != '/' && !inName)
            ++count;
        inName = c != '/';
    }
    return count;
}

}  // namespace

BatchHistory::BatchHistory(const DownloadBatch& batch)
    : m_batch(batch)
{
    if (batch.history && batch.dedupeContent)
        m_root = folderAbove(batch.targetFolder, componentCount(batch.folderPath));
}

std::vector<bool> BatchHistory::fetchedItems() const
{
    std::vector<bool> fetched(m_batch.items.size(), false);
    if (!m_batch.history || !m_batch.skipFetched)
        return fetched;
    std::vector<std::string> urls;
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < m_batch.items.size(); ++i) {
        if (m_batch.items[i].url) {
            urls.push_back(historyKey(*m_batch.items[i].url));
            indexes.push_back(i);
        }
    }
    const std::vector<std::optional<HistoryRecord>> known = m_batch.history->lookup(urls);
    for (std::size_t i = 0; i < known.size() && i < indexes.size(); ++i)
        fetched[indexes[i]] = known[i].has_value();
    return fetched;
}

std::optional<HistoryRecord> BatchHistory::storedCopy(const FileDigest& digest) const
{
    if (!dedupes())
        return std::nullopt;
    for (HistoryRecord& record : m_batch.history->findByContent(digest.size, digest.sha256)) {
        const std::optional<FileDigest> onDisk = digestFileAt(m_root.get(), record.localPath);
        if (onDisk && onDisk->size == digest.size && onDisk->sha256 == digest.sha256)
            return std::move(record);
    }
    return std::nullopt;
}

void BatchHistory::recordStored(const DownloadItem& item, const std::string& fileName,
                                const FileDigest& digest)
{
    std::string localPath = m_batch.folderPath;
    if (!localPath.empty() && localPath.back() != '/')
        localPath += '/';
    recordFile(item, localPath + fileName, digest);
}

void BatchHistory::recordCopy(const DownloadItem& item, const HistoryRecord& copy)
{
    recordFile(item, copy.localPath, {copy.size, copy.sha256});
}

void BatchHistory::recordFile(const DownloadItem& item, std::string localPath,
                              const FileDigest& digest)
{
    if (!m_batch.history || !item.url)
        return;
    HistoryRecord record = m_batch.recordTemplate;
    record.url = historyKey(*item.url);
    if (item.asBrowser())
        record.pageUrl = item.referer;
    record.localPath = std::move(localPath);
    record.size = digest.size;
    record.sha256 = digest.sha256;
    record.storedAt = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    // A record that cannot be written leaves a file the history does not
    // know: it is fetched again next time.
    m_batch.history->record(record);
}

}  // namespace vel
