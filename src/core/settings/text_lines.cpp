#include "core/settings/text_lines.h"

namespace vel {

namespace {

// The line starting at `from`, and where the next one starts (npos at the end).
std::string_view lineAt(std::string_view bytes, std::size_t from, std::size_t& next)
{
    const std::size_t lf = bytes.find('\n', from);
    if (lf == std::string_view::npos) {
        next = std::string_view::npos;
        return bytes.substr(from);
    }
    next = lf + 1;
    std::size_t end = lf;
    if (end > from && bytes[end - 1] == '\r')
        --end;
    return bytes.substr(from, end - from);
}

}  // namespace

std::vector<std::string> splitTextLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < bytes.size()) {
        std::size_t next = 0;
        lines.emplace_back(lineAt(bytes, from, next));
        from = next;
    }
    return lines;
}

std::string firstTextLine(std::string_view bytes)
{
    std::size_t next = 0;
    return std::string(lineAt(bytes, 0, next));
}

}  // namespace vel
