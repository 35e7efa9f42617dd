#pragma once

#include <filesystem>
#include <string_view>

#include "core/download/download_root.h"
#include "core/io/directory_handle.h"

namespace vel {

// Shown when the batch cannot start because its folder cannot be made (UTF-8).
inline constexpr std::string_view kDownloadFolderFailedText =
    "保存先フォルダを作成できませんでした";

// Why no download folder could be opened.
enum class DownloadFolderFailure {
    None,
    WorkingFolder,  // the root's folder cannot be opened (or, VEL's own, made)
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
// (a single name, see dateFolderName), made when missing, inside the root:
// - beside the settings (`root.holdsSettings`): inside `down` when `down` in
//   the root's folder is a folder (or a link to one), `down` never created;
//   else inside the root's folder itself (a portable VEL without `down`);
// - otherwise inside VEL's own folder, made when missing.
// Files are never written into the root's folder or `down` themselves: those
// may hold the program and its settings files, which a listed file of the
// same name would replace. So every step that fails is a failure, never a
// fall-back to the folder reached so far. A relative folder is looked up in
// the current directory once, here; nothing after that depends on it.
DownloadFolder openDownloadFolder(const DownloadRoot& root, std::string_view dateFolder);

}  // namespace vel
