#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_root.h"
#include "core/patrol/patrol_texts.h"
#include "core/sitelist/site_grid.h"

namespace vel {

class DownloadHistory;
class Downloader;
class HttpClient;

// One site row the patrol visits.
struct PatrolSite {
    int row = 0;  // the grid row
    int number = 0;  // the "No." cell as a number; 0 when it is none
    std::string name;  // bytes as in the grid (code page)
    std::string url;
};

// The site rows in list order (rows 1 to countSites) that hold a URL.
std::vector<PatrolSite> patrolSites(const SiteGrid& grid);

// What one patrol is asked to do.
struct PatrolRequest {
    std::vector<PatrolSite> sites;
    std::string extension;  // bytes, as the chooser holds them
    // Where the date folder goes (see openDownloadFolder) and its name.
    DownloadRoot downloadRoot;
    std::string dateFolder;
    // Code-page bytes to UTF-8, for the names shown and the folders and files
    // made (the file system's names are UTF-8).
    std::function<std::string(std::string_view)> codePageToUtf8;
    // The URLs already fetched, which are not fetched again, and where the
    // new files are recorded; without one every entry is new.
    DownloadHistory* history = nullptr;
};

// One site, once it is done.
struct SiteReport {
    const PatrolSite* site = nullptr;
    std::string name;  // UTF-8
    SiteOutcome outcome;
    std::optional<std::string> rowText;  // see patrolRowText
};

struct PatrolSummary {
    std::size_t sitesDone = 0;
    std::size_t failedSites = 0;  // see siteFailed
    std::size_t newFiles = 0;
    // Entries not stored, and sites whose page or folder could not be had.
    std::size_t failures = 0;
    bool stopped = false;
};

// What the patrol tells whoever shows it; called on the patrol's thread.
class PatrolObserver {
public:
    virtual ~PatrolObserver() = default;
    // Before a site's page is fetched; `position` counts from 0, the name
    // is UTF-8 and the status text "巡回中（k/N）<site>".
    virtual void siteStarted(std::size_t position, std::size_t total, std::string_view siteName,
                             std::string_view statusText) = 0;
    virtual void siteFinished(std::size_t position, const SiteReport& report) = 0;
    // The closing status text: the totals, or kPatrolStoppedText.
    virtual void patrolFinished(const PatrolSummary& summary, std::string_view statusText) = 0;
    // Asked between the steps and by the batches; true stops the patrol.
    // Cheap and safe from the patrol's thread. A stop should also abort the
    // client, so a page fetch ends at once.
    virtual bool cancelled() = 0;
};

// Patrols the sites one after another: fetches each site's page and searches
// it as the file search does, leaves out the entries the history holds (and
// repeats of a URL), and downloads the rest into `down/<date>/<site folder>/`
// (see siteFolderNames) in one batch, content deduplicated against the
// history; the batch records what it stores. The folders are made only for a
// site with something new. A stop ends the fetch or batch at once, keeping
// and recording the files already complete. Raises nothing.
PatrolSummary runPatrol(const PatrolRequest& request, HttpClient& client, Downloader& downloader,
                        PatrolObserver& observer);

}  // namespace vel
