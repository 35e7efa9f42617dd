#include "core/foundfiles/found_files_rules.h"

namespace vel {

bool isPreviewableEntry(std::string_view entry)
{
    // The picture formats the browser shows on their own.
    constexpr std::string_view kPictures[] = {".gif", ".jpg", ".jpeg", ".png",
                                              ".webp", ".bmp", ".svg"};
    for (const std::string_view extension : kPictures) {
        if (entry.find(extension) != std::string_view::npos)
            return true;
    }
    return false;
}

FoundFilesMenuState foundFilesMenuState(int selected, int count, std::string_view current)
{
    FoundFilesMenuState state;
    if (selected == 1) {
        const bool image = isPreviewableEntry(current);
        state.preview = image;
        state.open = !image && count > 0;
    }
    state.remove = count > 0;
    return state;
}

bool spaceOpensEntry(int selected, std::string_view current)
{
    return selected == 1 && isPreviewableEntry(current);
}

}  // namespace vel
