#include "core/download/download_folder.h"

#include <string>
#include <utility>

#include <sys/stat.h>

#include "core/download/download_rules.h"

namespace vel {

DirectoryHandle openDownloadFolder(const std::filesystem::path& workingFolder,
                                   std::string_view shortDate)
{
    DirectoryHandle folder = DirectoryHandle::open(workingFolder);
    if (!folder.valid())
        return folder;
    if (DirectoryHandle down = DirectoryHandle::openAt(folder.get(), "down"); down.valid())
        folder = std::move(down);

    const std::string dateFolder = dateFolderName(shortDate);
    if (!isSafeLocalName(dateFolder))
        return folder;
    DirectoryHandle date = DirectoryHandle::openAt(folder.get(), dateFolder);
    if (!date.valid() && ::mkdirat(folder.get(), dateFolder.c_str(), 0777) == 0)
        date = DirectoryHandle::openAt(folder.get(), dateFolder);
    if (date.valid())
        folder = std::move(date);
    return folder;
}

}  // namespace vel
