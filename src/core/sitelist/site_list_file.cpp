#include "core/sitelist/site_list_file.h"

#include <charconv>
#include <string>

#include "core/sitelist/site_list_commands.h"

namespace vel {

namespace fs = std::filesystem;

namespace {

std::optional<std::int32_t> parseNumber(const std::string& text)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

void putSiteRecords(SiteGrid& grid, const std::vector<SiteRecord>& records)
{
    int row = 0;
    for (const SiteRecord& record : records) {
        ++row;
        grid.setCell(SiteGrid::kNumberColumn, row, std::to_string(record.number));
        grid.setCell(SiteGrid::kNameColumn, row, record.name);
        grid.setCell(SiteGrid::kUrlColumn, row, record.url);
        if (grid.rowCount() <= row + 1)
            grid.setRowCount(grid.rowCount() + 1);
    }
}

SiteListLoad loadSiteList(SiteGrid& grid, const fs::path& directory)
{
    const fs::path file = directory / kSiteListFileName;
    const FileRead read = readFileBounded(file, kMaxSiteRecords * kSiteRecordSize);
    SiteListLoad load;
    if (read.status == ReadStatus::Missing)
        return load;

    if (read.status == ReadStatus::Ok && isWritable(file)) {
        load.status = SiteListLoadStatus::Loaded;
    } else {
        load.status = SiteListLoadStatus::Unreadable;
        load.unreadableFile = fileId(file);
    }
    // A read-only file is not opened at all; a read error keeps what came before it.
    if (read.status == ReadStatus::Failed || load.status == SiteListLoadStatus::Loaded) {
        const std::vector<SiteRecord> records = decodeSiteRecords(read.bytes);
        putSiteRecords(grid, records);
        load.sitesLoaded = static_cast<int>(records.size());
        // What the save at exit would lose of this file must survive it.
        if (load.status == SiteListLoadStatus::Loaded
            && (read.truncated || encodeSiteRecords(records) != read.bytes))
            load.fileToBackUp = fileId(file);
    }
    return load;
}

std::optional<std::vector<SiteRecord>> siteRecordsFromGrid(const SiteGrid& grid)
{
    const int siteCount = countSites(grid);
    std::vector<SiteRecord> records;
    records.reserve(static_cast<std::size_t>(siteCount));
    for (int row = 1; row <= siteCount; ++row) {
        const std::optional<std::int32_t> number =
            parseNumber(grid.cell(SiteGrid::kNumberColumn, row));
        if (!number)
            return std::nullopt;
        records.push_back(
            {*number, grid.cell(SiteGrid::kNameColumn, row), grid.cell(SiteGrid::kUrlColumn, row)});
    }
    return records;
}

SiteListSaveResult saveSiteList(const SiteGrid& grid, const fs::path& directory,
                                const SiteListLoad& load)
{
    const fs::path file = directory / kSiteListFileName;
    if (load.status == SiteListLoadStatus::Unreadable || load.unreadableFile) {
        // Compared by identity: started elsewhere, the file here is another one.
        // Without a recorded identity any existing file is kept.
        const std::optional<FileId> present = fileId(file);
        if (present && (!load.unreadableFile || *present == *load.unreadableFile))
            return SiteListSaveResult::KeptUnreadable;
    }
    const std::optional<std::vector<SiteRecord>> records = siteRecordsFromGrid(grid);
    if (!records)
        return SiteListSaveResult::BadNumber;
    // Compared by identity, like the unreadable file: once replaced, the file
    // here is VEL's own and later saves copy nothing.
    if (load.fileToBackUp && fileId(file) == load.fileToBackUp) {
        const FileRead current = readFileBounded(file, kMaxSiteListBackupBytes);
        if (current.status != ReadStatus::Ok || current.truncated
            || !keepBackupCopy(file, current.bytes))
            return SiteListSaveResult::NotBackedUp;
    }
    return writeFileAtomically(file, encodeSiteRecords(*records)) ? SiteListSaveResult::Saved
                                                                  : SiteListSaveResult::NotWritten;
}

}  // namespace vel
