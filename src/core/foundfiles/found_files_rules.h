#pragma once

#include <string_view>

namespace vel {

// Which items of the found-files list's context menu are enabled.
struct FoundFilesMenuState {
    bool preview = false;  // "プレビュー"
    bool remove = false;  // "選択ファイルの削除"
    bool open = false;  // "ダウンロード": open the entry in the browser
    friend bool operator==(const FoundFilesMenuState&, const FoundFilesMenuState&) = default;
};

// A picture entry (gif, jpg, jpeg, png, webp, bmp, svg) can be previewed;
// case-sensitive, like the rest of the list.
bool isPreviewableEntry(std::string_view entry);

// The menu for `selected` selected entries out of `count`, `current` being the
// text of the list's current entry.
FoundFilesMenuState foundFilesMenuState(int selected, int count, std::string_view current);

// Space previews only a single selected image entry.
bool spaceOpensEntry(int selected, std::string_view current);

}  // namespace vel
