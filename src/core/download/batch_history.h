#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_all.h"
#include "core/history/file_digest.h"
#include "core/io/directory_handle.h"

namespace vel {

// What one batch asks of the download history and tells it (see
// DownloadBatch::history); does nothing for a batch without a history.
class BatchHistory {
public:
    explicit BatchHistory(const DownloadBatch& batch);

    // Per item, in batch order: whether it is not to be requested because the
    // history holds its URL (skipFetched); all false otherwise. One lookup.
    std::vector<bool> fetchedItems() const;

    // Whether completed files are compared with the files recorded.
    bool dedupes() const { return m_root.valid(); }

    // The record of a file in the download folder that still has this size
    // and SHA-256 (read again from the disk), or nothing.
    std::optional<HistoryRecord> storedCopy(const FileDigest& digest) const;

    // The file of `item` was just put in place under `fileName` in the
    // batch's folder. An item sent as the browser sends it came from its
    // referrer, the page it was shown on.
    void recordStored(const DownloadItem& item, const std::string& fileName,
                      const FileDigest& digest);
    // `item`'s body has the bytes of the recorded file `copy`.
    void recordCopy(const DownloadItem& item, const HistoryRecord& copy);

private:
    void recordFile(const DownloadItem& item, std::string localPath, const FileDigest& digest);

    const DownloadBatch& m_batch;
    DirectoryHandle m_root;  // the download folder, with content dedupe
};

}  // namespace vel
