#pragma once

#include <filesystem>
#include <string_view>
#include <utility>

namespace vel {

// The folder VEL makes its date folders in, or the one that decides it.
struct DownloadRoot {
    DownloadRoot() = default;
    // A folder that holds the settings: the date folders go into its `down`
    // when that is a folder, else into the folder itself. Not explicit: that
    // is what a plain folder means wherever a root is asked for.
    DownloadRoot(std::filesystem::path settingsFolder)
        : folder(std::move(settingsFolder))
    {}
    // VEL's own folder in the user's download folder: the date folders go
    // into it, and it is made when missing.
    static DownloadRoot ownFolder(std::filesystem::path folder)
    {
        DownloadRoot root(std::move(folder));
        root.holdsSettings = false;
        return root;
    }

    std::filesystem::path folder;
    bool holdsSettings = true;

    bool operator==(const DownloadRoot&) const = default;
};

// What the download root is chosen from.
struct DownloadPlaces {
    // Where a portable VEL names its files (see WorkingFolder).
    std::filesystem::path workingFolder;
    // An installed VEL's per-user data folder.
    std::filesystem::path dataFolder;
    // An installed VEL's: the user's download folder; empty for a portable
    // VEL (whose files stay beside it).
    std::filesystem::path userDownloads;
};

// The name of VEL's own folder in the user's download folder.
inline constexpr std::string_view kOwnDownloadFolderName = "VEL";

// Where batches go. A portable VEL: beside its settings in the working
// folder. An installed one: <user downloads>/VEL, where a file manager shows
// them, unless its data folder already has a `down` folder, which it keeps
// using (the history names files relative to it), or the user's download
// folder is unknown (not an absolute path), when the data folder stays.
DownloadRoot chooseDownloadRoot(const DownloadPlaces& places, bool dataFolderHasDown);
// The same, looking at the data folder for `down`.
DownloadRoot downloadRoot(const DownloadPlaces& places);

// The folder the date folders of `root` are in, as openDownloadFolder finds
// it now: `down` or the folder itself beside the settings, else the folder.
std::filesystem::path dateFoldersParent(const DownloadRoot& root);

// The folder 保存フォルダを開く shows: the last batch's folder while it exists,
// else today's date folder when there is one, else the parent of the date
// folders (VEL's own folder is made for it when missing).
std::filesystem::path folderToShow(const DownloadRoot& root,
                                   const std::filesystem::path& lastBatchFolder,
                                   std::string_view todayFolder);

}  // namespace vel
