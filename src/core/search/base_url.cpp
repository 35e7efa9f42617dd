#include "core/search/base_url.h"

#include "core/search/link_scanner.h"
#include "core/text/code_page.h"

namespace vel {

std::string deriveBaseUrl(std::string_view rowUrl)
{
    // The last "/" that begins a character (0x2F is never a second byte in
    // Shift-JIS, but the rule is kept for every code page).
    const CharBoundaries boundaries(rowUrl);
    std::size_t lastSlash = 0;  // 1-based; 0 when there is none
    for (std::size_t i = rowUrl.size(); i > 0; --i) {
        if (rowUrl[i - 1] == '/' && boundaries.beginsCharacter(i - 1)) {
            lastSlash = i;
            break;
        }
    }
    if (lastSlash == rowUrl.size())
        return std::string(rowUrl);
    const int after = static_cast<int>(lastSlash);
    if (posAfter(".html", rowUrl, after) > 0 || posAfter(".htm", rowUrl, after) > 0
        || posAfter(".cgi", rowUrl, after) > 0) {
        return std::string(rowUrl.substr(0, lastSlash));
    }
    std::string base(rowUrl);
    base += '/';
    return base;
}

}  // namespace vel
