#include "core/search/frame_page.h"

#include <string>

#include "core/text/code_page.h"

namespace vel {

bool isFramePage(std::string_view pageSource)
{
    const std::string lower = toLowerAscii(pageSource);
    return findCharAligned("frameset", lower) != std::string_view::npos;
}

}  // namespace vel
