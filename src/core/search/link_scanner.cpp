#include "core/search/link_scanner.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <exception>
#include <utility>

#include "core/text/code_page.h"

namespace vel {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Answers "first position >= from where the predicate holds" for a stream of
// queries. The last answer stays valid for every `from` between the query that
// found it and the answer itself, so with the scan loop's non-decreasing
// queries each byte is looked at once in all, however many markers share one
// far suffix.
template <typename Finder>
class NextPosition {
public:
    explicit NextPosition(Finder finder)
        : m_finder(std::move(finder))
    {}

    std::size_t at(std::size_t from)
    {
        if (!m_valid || from < m_from || (m_found != npos && from > m_found)) {
            m_found = m_finder(from);
            m_from = from;
            m_valid = true;
        }
        return m_found;
    }

private:
    Finder m_finder;
    bool m_valid = false;
    std::size_t m_from = 0;
    std::size_t m_found = npos;
};

// First occurrence of pattern in text[from, end) whose first byte begins a
// character.
std::size_t findCounted(std::string_view pattern, std::string_view text, std::size_t from,
                        std::size_t end, const CharBoundaries& boundaries)
{
    while (from < end && end - from >= pattern.size()) {
        const std::size_t hit = text.substr(from, end - from).find(pattern);
        if (hit == npos)
            return npos;
        if (boundaries.beginsCharacter(from + hit))
            return from + hit;
        from += hit + 1;
    }
    return npos;
}

// 0-based index where a search "after the 1-based position `after`" begins; at
// or past the text's end when it finds nothing. A double-byte character at
// `after` is stepped over whole.
std::size_t searchStart(std::string_view text, const CharBoundaries& boundaries, std::size_t after,
                        CodePage codePage)
{
    if (after == 0)
        return 0;
    if (after >= text.size())
        return text.size();
    const std::size_t at = after - 1;
    if (boundaries.beginsCharacter(at)
        && isLeadByte(static_cast<unsigned char>(text[at]), codePage))
        return after + 1;
    return after;
}

using ByteSet = std::array<bool, 256>;

ByteSet byteSet(std::string_view bytes)
{
    ByteSet set{};
    for (const char c : bytes)
        set[static_cast<unsigned char>(c)] = true;
    return set;
}

std::vector<LinkSpan> scanLinks(std::string_view source, std::string_view marker,
                                std::string_view suffix, const ByteSet& excluded, CodePage codePage)
{
    std::vector<LinkSpan> links;
    // A pattern holding a NUL can never lie before the NUL that ends a search.
    if (marker.empty() || suffix.empty() || marker.find('\0') != npos || suffix.find('\0') != npos)
        return links;

    try {
        const CharBoundaries boundaries(source, codePage);
        NextPosition nextNul([source](std::size_t from) {
            const void* nul = std::memchr(source.data() + from, '\0', source.size() - from);
            return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - source.data())
                       : source.size();
        });
        NextPosition nextSuffix([&](std::size_t from) {
            return findCounted(suffix, source, from, source.size(), boundaries);
        });
        NextPosition nextExcluded([&](std::size_t from) {
            for (std::size_t i = from; i < source.size(); ++i) {
                if (excluded[static_cast<unsigned char>(source[i])]
                    && boundaries.beginsCharacter(i))
                    return i;
            }
            return npos;
        });

        // The queries below come in non-decreasing order of position (marker
        // start <= marker < suffix start <= next marker start), which keeps
        // every NextPosition's answer reusable.
        std::size_t resume = 0;  // 1-based position the next marker is sought after
        while (true) {
            const std::size_t markerFrom = searchStart(source, boundaries, resume, codePage);
            if (markerFrom >= source.size())
                break;
            const std::size_t marker0 =
                findCounted(marker, source, markerFrom, nextNul.at(markerFrom), boundaries);
            if (marker0 == npos)
                break;
            // The link's own view of itself ends at a NUL inside it; that can only
            // be the second byte of a one-byte lead-byte marker.
            const std::size_t visibleEnd = nextNul.at(marker0);

            const std::size_t suffixFrom = searchStart(source, boundaries, marker0 + 1, codePage);
            if (suffixFrom >= source.size())
                break;
            const std::size_t suffix0 = nextSuffix.at(suffixFrom);
            if (suffix0 == npos || suffix0 + suffix.size() > nextNul.at(suffixFrom))
                break;

            const std::size_t end = suffix0 + suffix.size();
            // Character boundaries inside the link equal those of the page from
            // the marker on, since the marker begins a character.
            if (nextExcluded.at(marker0) < std::min(end, visibleEnd)) {
                resume = marker0 + 1 + 5;
                continue;
            }
            links.push_back({marker0, end - marker0});
            resume = suffix0 + 1;
        }
    } catch (const std::exception&) {
        // Out of memory while growing the list: keep what was gathered.
    }
    return links;
}

}  // namespace

int posAfter(std::string_view pattern, std::string_view text, int after)
{
    if (pattern.empty() || text.empty())
        return 0;
    if (after > 0 && static_cast<std::size_t>(after) >= text.size())
        return 0;
    const CharBoundaries boundaries(text);
    const std::size_t from = searchStart(
        text, boundaries, after > 0 ? static_cast<std::size_t>(after) : 0, currentCodePage());
    const std::size_t found = findCharAligned(pattern, text, from, boundaries);
    return found == npos ? 0 : static_cast<int>(found + 1);
}

std::vector<LinkSpan> scanAbsoluteLinkSpans(std::string_view source, std::string_view marker,
                                            std::string_view suffix, CodePage codePage)
{
    static const ByteSet excluded = byteSet("\"><");
    return scanLinks(source, marker, suffix, excluded, codePage);
}

std::vector<LinkSpan> scanRelativeLinkSpans(std::string_view source, std::string_view marker,
                                            std::string_view suffix, CodePage codePage)
{
    static const ByteSet excluded = byteSet(" ><");
    return scanLinks(source, marker, suffix, excluded, codePage);
}

}  // namespace vel
