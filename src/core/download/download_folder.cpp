#include "core/download/download_folder.h"

#include <chrono>
#include <string>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "core/download/download_rules.h"
#include "core/download/stale_temporaries.h"

namespace vel {

namespace {

bool sameFolder(int a, int b)
{
    struct stat first {};
    struct stat second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

// Whether `name` in the folder is a folder (links followed), whether or not
// it can be entered.
bool isFolderAt(int dirFd, const std::string& name)
{
    struct stat entry {};
    return ::fstatat(dirFd, name.c_str(), &entry, 0) == 0 && S_ISDIR(entry.st_mode);
}

DownloadFolder failed(DownloadFolderFailure failure)
{
    DownloadFolder folder;
    folder.failure = failure;
    return folder;
}

}  // namespace

DownloadFolder openDownloadFolder(const DownloadRoot& root, std::string_view dateFolder)
{
    if (!root.holdsSettings && !root.folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(root.folder, error);
    }
    const DirectoryHandle working = DirectoryHandle::open(root.folder);
    if (!working.valid())
        return failed(DownloadFolderFailure::WorkingFolder);

    // Anything at `down` other than a folder counts as no `down`; a folder the
    // user cannot enter does not, or the files would land beside the program.
    const std::string downName = "down";
    DirectoryHandle down;
    if (root.holdsSettings) {
        down = DirectoryHandle::openAt(working.get(), downName);
        if (!down.valid() && isFolderAt(working.get(), downName))
            return failed(DownloadFolderFailure::DownFolder);
    }
    const int parent = down.valid() ? down.get() : working.get();

    const std::string name(dateFolder);
    if (!isSafeLocalName(name))
        return failed(DownloadFolderFailure::DateFolder);
    DirectoryHandle date = DirectoryHandle::openAt(parent, name);
    if (!date.valid() && ::mkdirat(parent, name.c_str(), 0777) == 0)
        date = DirectoryHandle::openAt(parent, name);
    // A link at the date name may lead anywhere but back to the folders that
    // hold the settings.
    if (!date.valid() || sameFolder(date.get(), working.get())
        || (down.valid() && sameFolder(date.get(), down.get())))
        return failed(DownloadFolderFailure::DateFolder);

    // What a killed batch left behind would stay there for ever otherwise.
    removeStaleTemporaries(date.get(), std::chrono::system_clock::now());
    DownloadFolder folder;
    folder.handle = std::move(date);
    return folder;
}

}  // namespace vel
