#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "core/io/file_io.h"
#include "core/sitelist/site_grid.h"
#include "core/sitelist/site_record.h"

namespace vel {

inline constexpr std::string_view kSiteListFileName = "config.bin";

// Shown when the site list cannot be turned into records at exit (UTF-8).
inline constexpr std::string_view kSiteListSaveErrorMessage =
    "リストに何も追加されていません\nサイト名/URLを記入してサイトを登録して下さい";

enum class SiteListLoadStatus {
    Missing,  // no config.bin: no sites, and the extension list is not read
    Loaded,  // the whole records were loaded (none for a 0-byte file)
    Unreadable,  // config.bin exists but could not be opened for reading and writing
                 // (e.g. marked read-only) or failed while read
};

// What start-up found, kept by the window until the save at exit.
struct SiteListLoad {
    SiteListLoadStatus status = SiteListLoadStatus::Missing;
    int sitesLoaded = 0;
    // The unreadable file, so the save leaves that very file alone.
    std::optional<FileId> unreadableFile;
    // A loaded file whose bytes are not what VEL writes for the sites loaded
    // from it: a partial record at its end, more records than are loaded, or
    // bytes a record does not keep (after a field's NUL). The save keeps a
    // copy of that very file before it replaces it.
    std::optional<FileId> fileToBackUp;
};

// The largest config.bin the save copies aside; a bigger one is never replaced.
inline constexpr std::size_t kMaxSiteListBackupBytes = 64 * 1024 * 1024;

// Puts records into rows 1, 2, ...: the stored number as decimal text, the site
// name and the URL; the status column stays as it is. Grows the grid while
// loading so that, from 18 sites on, one empty row stays below the last site.
void putSiteRecords(SiteGrid& grid, const std::vector<SiteRecord>& records);

// The site list half of LoadExecute: reads config.bin from the directory
// (start-up passes the folder VEL was started in) into the grid: every whole
// record, up to kMaxSiteRecords. Never fails loudly. A file that can only be
// read, not written, loads no site, as a file that cannot be opened for
// reading and writing does.
SiteListLoad loadSiteList(SiteGrid& grid, const std::filesystem::path& directory);

// Start-up reads the extension list only when config.bin exists.
inline bool readsExtensionList(const SiteListLoad& load)
{
    return load.status != SiteListLoadStatus::Missing;
}

// SiteRecords: one record per site row (rows 1 to countSites). Nothing when a
// row's number is not a decimal 32-bit integer.
std::optional<std::vector<SiteRecord>> siteRecordsFromGrid(const SiteGrid& grid);

enum class SiteListSaveResult {
    Saved,
    NotWritten,  // the file could not be replaced (read-only, no directory, ...): silent
    KeptUnreadable,  // the file start-up could not open stays as it is: silent
    BadNumber,  // show kSiteListSaveErrorMessage; the old file stays
    NotBackedUp,  // the file to back up could not be copied aside: it stays, silently
};

// saveExecute's logic: writes the grid's site rows as config.bin into the
// directory (the caller passes the program's own directory), replacing the old
// file in one step. Never overwrites the file start-up found unreadable, so a
// permission problem cannot cost the user the sites. The file start-up found
// not as VEL writes it is first copied aside (keepBackupCopy: config.bin.bak,
// or .bak.1, ...), so the bytes the records did not keep survive; it is only
// replaced once that copy is on disk.
SiteListSaveResult saveSiteList(const SiteGrid& grid, const std::filesystem::path& directory,
                                const SiteListLoad& load);

}  // namespace vel
