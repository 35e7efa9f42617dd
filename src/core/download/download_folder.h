#pragma once

#include <filesystem>
#include <string_view>

#include "core/io/directory_handle.h"

namespace vel {

// Shown when the batch cannot start because its folder cannot be made (UTF-8).
inline constexpr std::string_view kDownloadFolderFailedText =
    "保存先フォルダを作成できませんでした";

// Why no download folder could be opened.
enum class DownloadFolderFailure {
    None,
    WorkingFolder,  // the working folder cannot be opened
    DownFolder,  // `down` is a folder there but cannot be entered
    DateFolder,  // the date folder cannot be named, made or entered, or is
                 // the working folder or `down` itself (through a link)
};

// The folder a batch writes into: a valid handle exactly when failure is None.
struct DownloadFolder {
    DirectoryHandle handle;
    DownloadFolderFailure failure = DownloadFolderFailure::None;

    bool valid() const { return failure == DownloadFolderFailure::None; }
};

// Opens the folder a batch download writes into, before the batch starts; it
// stays open until the batch ends. That is always the date folder `dateFolder`
// (a single name, see dateFolderName), made when missing:
// - inside `down` when `down` in `workingFolder` is a folder (or a link to
//   one); `down` is never created;
// - inside `workingFolder` itself when there is no `down` folder (a portable
//   VEL without one), as the program always did.
// Files are never written into `workingFolder` or `down` themselves: those hold
// the program and its settings files, which a listed file of the same name
// would replace. So every step that fails is a failure, never a fall-back to
// the folder reached so far. A relative `workingFolder` is looked up in the
// current directory once, here; nothing after that depends on it.
DownloadFolder openDownloadFolder(const std::filesystem::path& workingFolder,
                                  std::string_view dateFolder);

}  // namespace vel
