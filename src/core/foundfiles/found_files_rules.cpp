#include "core/foundfiles/found_files_rules.h"

namespace vel {

bool isPreviewableEntry(std::string_view entry)
{
    return entry.find(".gif") != std::string_view::npos
        || entry.find(".jpg") != std::string_view::npos;
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
