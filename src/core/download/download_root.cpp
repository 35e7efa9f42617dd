#include "core/download/download_root.h"

#include <system_error>

namespace vel {

namespace {

bool isFolder(const std::filesystem::path& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

DownloadRoot chooseDownloadRoot(const DownloadPlaces& places, bool dataFolderHasDown)
{
    if (places.userDownloads.empty())
        return places.workingFolder;
    if (dataFolderHasDown || !places.userDownloads.is_absolute())
        return places.dataFolder;
    return DownloadRoot::ownFolder(places.userDownloads / kOwnDownloadFolderName);
}

DownloadRoot downloadRoot(const DownloadPlaces& places)
{
    return chooseDownloadRoot(places, isFolder(places.dataFolder / "down"));
}

std::filesystem::path dateFoldersParent(const DownloadRoot& root)
{
    if (root.holdsSettings && isFolder(root.folder / "down"))
        return root.folder / "down";
    return root.folder;
}

std::filesystem::path folderToShow(const DownloadRoot& root,
                                   const std::filesystem::path& lastBatchFolder,
                                   std::string_view todayFolder)
{
    if (isFolder(lastBatchFolder))
        return lastBatchFolder;
    const std::filesystem::path parent = dateFoldersParent(root);
    if (!todayFolder.empty() && isFolder(parent / todayFolder))
        return parent / todayFolder;
    if (!root.holdsSettings) {
        std::error_code error;
        std::filesystem::create_directories(parent, error);
    }
    return parent;
}

}  // namespace vel
