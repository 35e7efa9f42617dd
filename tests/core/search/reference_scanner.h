#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/code_page.h"

// The link scan loop written out step by step, with no shortcuts: the
// character-boundary test walks back over the lead bytes each time, every
// candidate is copied, and each excluded character is searched for in the copy.
// Slow (quadratic on pages with many rejected links), and therefore the oracle
// the fast scanners are compared with.
namespace vel::reference {

inline bool beginsCharacter(std::string_view text, std::size_t index)
{
    std::size_t run = 0;
    while (run < index && isLeadByte(static_cast<unsigned char>(text[index - run - 1])))
        ++run;
    return run % 2 == 0;
}

// 1-based position of the first counted occurrence of pattern at or after the
// 1-based position `begin`, looking no further than the first NUL from there.
inline long long findFrom(std::string_view pattern, std::string_view text, long long begin)
{
    if (pattern.empty() || begin < 1 || begin > static_cast<long long>(text.size()))
        return 0;
    std::size_t end = static_cast<std::size_t>(begin - 1);
    while (end < text.size() && text[end] != '\0')
        ++end;
    for (std::size_t p = static_cast<std::size_t>(begin - 1); p + pattern.size() <= end; ++p) {
        if (text.compare(p, pattern.size(), pattern) == 0 && beginsCharacter(text, p))
            return static_cast<long long>(p) + 1;
    }
    return 0;
}

inline long long posAfter(std::string_view pattern, std::string_view text, long long after)
{
    if (after <= 0)
        return findFrom(pattern, text, 1);
    if (after >= static_cast<long long>(text.size()))
        return 0;
    const std::size_t at = static_cast<std::size_t>(after - 1);
    const bool firstOfDoubleByte =
        beginsCharacter(text, at) && isLeadByte(static_cast<unsigned char>(text[at]));
    return findFrom(pattern, text, firstOfDoubleByte ? after + 2 : after + 1);
}

inline std::vector<std::string> scan(std::string_view source, std::string_view marker,
                                     std::string_view suffix, std::string_view excluded)
{
    std::vector<std::string> result;
    long long resume = 0;
    while (true) {
        const long long f = posAfter(marker, source, resume);
        if (f == 0)
            break;
        const long long a = posAfter(suffix, source, f);
        if (a == 0)
            break;
        const std::string candidate = std::string(source.substr(static_cast<std::size_t>(f - 1),
                                                                static_cast<std::size_t>(a - f)))
            + std::string(suffix);
        bool rejected = false;
        for (const char c : excluded) {
            if (findFrom(std::string_view(&c, 1), candidate, 1) != 0)
                rejected = true;
        }
        if (rejected) {
            resume = f + 5;
            continue;
        }
        result.push_back(candidate);
        resume = a;
    }
    return result;
}

inline std::vector<std::string> scanAbsolute(std::string_view source, std::string_view marker,
                                             std::string_view suffix)
{
    return scan(source, marker, suffix, "\"><");
}

inline std::vector<std::string> scanRelative(std::string_view source, std::string_view marker,
                                             std::string_view suffix)
{
    return scan(source, marker, suffix, " ><");
}

}  // namespace vel::reference
