#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/search/fetch_page.h"

namespace vel {

// The patrol's small decisions: what a site's row and the status bar say, and
// which folder a site's files go into. Texts are UTF-8.

inline constexpr std::string_view kPatrolStoppedText = "巡回を中止しました";

// How one site's patrol ended.
struct SiteOutcome {
    PageFetchVerdict verdict = PageFetchVerdict::Page;
    // New entries were found but the site's folder could not be made or entered.
    bool noFolder = false;
    // The stop came while the site was patrolled.
    bool stopped = false;
    std::size_t stored = 0;  // new files written
    std::size_t failed = 0;  // new entries not stored
    // Of the failed ones, those a busy server turned away (429 or 503, a wait
    // it asked for that was too long or a second refusal): worth another
    // patrol later rather than a look at the site.
    std::size_t busy = 0;
};

// The site row's 状態 text: the files saved, or that nothing was new, with
// "（N個失敗）" when entries failed (and how many of them a busy server
// turned away, to be fetched by a later patrol); the fetch's own row text when the page
// could not be had. Nothing (the row keeps its text) for a site the stop cut
// short before anything was stored or failed.
std::optional<std::string> patrolRowText(const SiteOutcome& outcome);

// Whether the site counts against the patrol: its page or its folder could
// not be had, or an entry was not stored.
bool siteFailed(const SiteOutcome& outcome);

// "巡回中（k/N）<site>": `position` counts from 1.
std::string patrolProgressText(std::size_t position, std::size_t total, std::string_view siteName);

// "巡回が終了しました", with "（新しいファイルN個、失敗M個）" where the parts
// that are zero are left out.
std::string patrolFinishedText(std::size_t newFiles, std::size_t failures);

// A site's folder name inside the date folder, from its name as shown: "/",
// NUL and control characters become "_", "." and ".." and the empty name
// become underscores, and a long name is cut on a character boundary.
std::string siteFolderName(std::string_view utf8Name);

// The folder of each site, in list order: siteFolderName, and a later site
// whose folder another site already has gets " (2)", " (3)", ... (the first
// number that no site of the list uses), so two sites never share a folder.
std::vector<std::string> siteFolderNames(const std::vector<std::string>& utf8Names);

}  // namespace vel
