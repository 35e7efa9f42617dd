#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/cli/command_line.h"

namespace vel {

class Downloader;
class HttpClient;

// What a command without a window runs with; main() hands in the real
// ones, tests their own.
struct CommandContext {
    // The folder VEL was started in: the settings folder unless --settings names one.
    std::filesystem::path startFolder;
    // Code-page bytes to UTF-8 (site names shown, folders and files made).
    std::function<std::string(std::string_view)> codePageToUtf8;
    // The patrol's page fetch and batch download.
    HttpClient* client = nullptr;
    Downloader* downloader = nullptr;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // A terminal gets a progress bar that is redrawn in place.
    bool outIsTerminal = false;
    // An installed VEL's: the user's download folder (see chooseDownloadRoot);
    // empty for a portable VEL.
    std::filesystem::path userDownloads;
    // The date folder's name (yyyymmdd of today).
    std::string dateFolder;
    // Raised from outside (a signal) to stop the patrol; may be null.
    const std::atomic<bool>* stop = nullptr;
};

// Runs what the command line asks for when that is no window, and returns
// the exit status. --help and --version print to `out` (0); bad usage says
// why on `err` (2). --patrol reads the site list and the extension list from
// the settings folder, opens its history.db and patrols every site, printing
// one line per site (UTF-8): 0 when every site was searched and every entry
// stored or skipped, 1 when anything failed (settings that cannot be read
// included).
int runCommand(const CommandLine& line, const CommandContext& context);

// What a terminal shows while the site at `position` (from 0) runs:
// "[#####...............] 3/20 <site>".
std::string patrolProgressBar(std::size_t position, std::size_t total, std::string_view siteName);

}  // namespace vel
