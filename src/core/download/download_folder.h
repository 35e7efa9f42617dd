#pragma once

#include <filesystem>
#include <string_view>

#include "core/io/directory_handle.h"

namespace vel {

// The folder a batch download writes into, opened before the batch starts and
// kept open until it ends. From `workingFolder`: into `down` when that is a
// directory there (it is never created), then into the date folder
// (dateFolderName(shortDate)), made when missing. Each step that fails stays,
// silently, in the folder reached so far, down to `workingFolder` itself.
// The handle is invalid only when `workingFolder` cannot be opened. A
// relative `workingFolder` is looked up in the current directory once, here;
// nothing after that depends on the current directory.
DirectoryHandle openDownloadFolder(const std::filesystem::path& workingFolder,
                                   std::string_view shortDate);

}  // namespace vel
