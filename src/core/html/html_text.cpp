#include "core/html/html_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/text/code_page.h"

namespace vel {

namespace {

bool isAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Appends the character, or reports false when this page cannot hold it.
bool appendCharacter(std::string& out, std::uint32_t cp, PageCharset charset)
{
    // The parser's replacements for what may not appear.
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return true;
    }
    if (charset != PageCharset::Utf8)
        return false;
    appendUtf8(out, cp);
    return true;
}

struct NamedReference {
    std::string_view name;
    std::uint32_t codePoint;
};

constexpr std::array<NamedReference, 6> kNamed{{
    {"amp", '&'},
    {"lt", '<'},
    {"gt", '>'},
    {"quot", '"'},
    {"apos", '\''},
    {"nbsp", 0xA0},
}};

// Decodes the reference at value[at] == '&'; returns the bytes consumed, or 0
// when it stays as written.
std::size_t decodeOne(std::string_view value, std::size_t at, PageCharset charset, std::string& out)
{
    std::size_t i = at + 1;
    if (i < value.size() && value[i] == '#') {
        ++i;
        const bool hex = i < value.size() && (value[i] == 'x' || value[i] == 'X');
        if (hex)
            ++i;
        const std::size_t digits = i;
        std::uint32_t cp = 0;
        for (; i < value.size(); ++i) {
            const char c = lower(value[i]);
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            if (digit < 0)
                break;
            cp = cp > 0x10FFFF ? cp : cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        }
        if (i == digits)
            return 0;
        if (i < value.size() && value[i] == ';')
            ++i;
        return appendCharacter(out, cp, charset) ? i - at : 0;
    }
    for (const NamedReference& ref : kNamed) {
        if (value.substr(i, ref.name.size()) != ref.name)
            continue;
        std::size_t end = i + ref.name.size();
        if (end < value.size() && value[end] == ';') {
            ++end;
        } else if (end < value.size() && (isAsciiAlnum(value[end]) || value[end] == '=')) {
            // In an attribute value an unterminated reference before these stays text.
            return 0;
        }
        return appendCharacter(out, ref.codePoint, charset) ? end - at : 0;
    }
    return 0;
}

}  // namespace

std::string decodeCharacterReferences(std::string_view value, PageCharset charset)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        if (value[i] == '&') {
            if (const std::size_t used = decodeOne(value, i, charset, out)) {
                i += used;
                continue;
            }
        }
        out.push_back(value[i]);
        ++i;
    }
    return out;
}

std::optional<std::string> findBaseHref(std::string_view pageSource)
{
    const std::string lowered = toLowerAscii(pageSource);
    std::size_t next = 0;
    for (std::size_t at = lowered.find("<base"); at != std::string::npos;
         at = lowered.find("<base", next)) {
        next = at + 5;
        std::size_t i = at + 5;
        if (i < lowered.size() && !isHtmlSpace(lowered[i]) && lowered[i] != '/'
            && lowered[i] != '>')
            continue;  // <basefont> and the like
        const std::size_t end = lowered.find('>', i);
        const std::size_t stop = end == std::string::npos ? lowered.size() : end;
        // Whether an "href" counts does not depend on the <base it follows, so
        // a later <base before the same ">" cannot find one this one missed:
        // going on after the ">" keeps the search linear on pages of <base
        // without an end.
        next = std::max(next, stop);
        for (std::size_t h = lowered.find("href", i); h != std::string::npos && h < stop;
             h = lowered.find("href", h + 4)) {
            if (!isHtmlSpace(lowered[h - 1]))
                continue;
            std::size_t j = h + 4;
            while (j < stop && isHtmlSpace(lowered[j]))
                ++j;
            if (j >= stop || lowered[j] != '=')
                continue;
            ++j;
            while (j < stop && isHtmlSpace(lowered[j]))
                ++j;
            const char quote =
                j < stop && (lowered[j] == '"' || lowered[j] == '\'') ? lowered[j] : '\0';
            if (quote)
                ++j;
            std::size_t k = j;
            while (k < lowered.size()
                   && (quote ? lowered[k] != quote : !isHtmlSpace(lowered[k]) && lowered[k] != '>'))
                ++k;
            return std::string(pageSource.substr(j, k - j));
        }
    }
    return std::nullopt;
}

}  // namespace vel
