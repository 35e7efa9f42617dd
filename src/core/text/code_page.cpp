#include "core/text/code_page.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>

namespace vel {

namespace {

std::atomic<CodePage> g_codePage{CodePage::Cp932};

}  // namespace

CodePage currentCodePage()
{
    return g_codePage.load(std::memory_order_relaxed);
}

void setCurrentCodePage(CodePage codePage)
{
    g_codePage.store(codePage, std::memory_order_relaxed);
}

bool isLeadByte(unsigned char byte)
{
    return isLeadByte(byte, currentCodePage());
}

bool isLeadByte(unsigned char byte, CodePage codePage)
{
    if (codePage == CodePage::SingleByte)
        return false;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

CharBoundaries::CharBoundaries(std::string_view text)
    : CharBoundaries(text, currentCodePage())
{}

CharBoundaries::CharBoundaries(std::string_view text, CodePage codePage)
    : m_starts(text.size(), true)
{
    // Walk the run of lead bytes before each byte by parity: a byte after an odd
    // run is a second byte.
    if (codePage == CodePage::SingleByte)
        return;
    bool oddRun = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        m_starts[i] = !oddRun;
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        oddRun = lead && !oddRun;
    }
}

std::size_t findCharAligned(std::string_view pattern, std::string_view text, std::size_t from,
                            const CharBoundaries& boundaries)
{
    if (pattern.empty() || from >= text.size())
        return std::string_view::npos;
    std::string_view stretch = text.substr(from);
    if (const void* nul = std::memchr(stretch.data(), '\0', stretch.size()))
        stretch = stretch.substr(0, static_cast<const char*>(nul) - stretch.data());
    if (stretch.size() < pattern.size())
        return std::string_view::npos;

    const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
    auto it = stretch.begin();
    while (true) {
        it = std::search(it, stretch.end(), searcher);
        if (it == stretch.end())
            return std::string_view::npos;
        const std::size_t index = from + static_cast<std::size_t>(it - stretch.begin());
        if (boundaries.beginsCharacter(index))
            return index;
        ++it;
    }
}

std::size_t findCharAligned(std::string_view pattern, std::string_view text, std::size_t from)
{
    if (pattern.empty() || from >= text.size())
        return std::string_view::npos;
    return findCharAligned(pattern, text, from, CharBoundaries(text));
}

std::string toLowerAscii(std::string_view text)
{
    std::string lower(text);
    const CharBoundaries boundaries(text);
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char c = lower[i];
        if (c >= 'A' && c <= 'Z' && boundaries.beginsCharacter(i))
            lower[i] = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string backslashesToSlashes(std::string_view text)
{
    std::string result(text);
    const CharBoundaries boundaries(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (result[i] == '\\' && boundaries.beginsCharacter(i))
            result[i] = '/';
    }
    return result;
}

}  // namespace vel
