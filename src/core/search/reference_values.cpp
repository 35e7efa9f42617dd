#include "core/search/reference_values.h"

#include <cstddef>
#include <string>

namespace vel {

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// A quoted url("...") argument from just after its opening quote: the text up
// to the closing quote with escapes removed, and the position after the quote.
bool readQuoted(std::string_view css, std::size_t& i, char quote, std::string& out)
{
    while (i < css.size()) {
        const char c = css[i];
        if (c == quote) {
            ++i;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= css.size())
                return false;
            out += css[i + 1];
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return false;
}

// The url(...) whose "url(" ends just before `i`; false when none is there.
bool readCssUrl(std::string_view css, std::size_t i, std::string& out)
{
    while (i < css.size() && isAsciiSpace(css[i]))
        ++i;
    if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
        const char quote = css[i++];
        if (!readQuoted(css, i, quote, out))
            return false;
    } else {
        const std::size_t start = i;
        while (i < css.size() && css[i] != ')' && css[i] != '\'' && css[i] != '"'
               && !isAsciiSpace(css[i]))
            ++i;
        // An unquoted value drops its escapes' backslashes as well.
        for (std::size_t k = start; k < i; ++k) {
            if (css[k] == '\\' && k + 1 < i)
                ++k;
            out += css[k];
        }
    }
    while (i < css.size() && isAsciiSpace(css[i]))
        ++i;
    return i < css.size() && css[i] == ')';
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

void forEachSrcsetCandidate(std::string_view srcset, const ReferenceSink& sink)
{
    const std::size_t n = srcset.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && (srcset[i] == ',' || isAsciiSpace(srcset[i])))
            ++i;
        const std::size_t start = i;
        while (i < n && !isAsciiSpace(srcset[i]))
            ++i;
        std::string_view candidate = srcset.substr(start, i - start);
        if (candidate.empty())
            break;
        if (candidate.back() == ',') {
            while (!candidate.empty() && candidate.back() == ',')
                candidate.remove_suffix(1);
        } else {
            // The descriptors run to the next comma outside parentheses.
            int depth = 0;
            for (; i < n; ++i) {
                const char c = srcset[i];
                if (c == '(')
                    ++depth;
                else if (c == ')')
                    --depth;
                else if (c == ',' && depth <= 0)
                    break;
            }
        }
        if (!candidate.empty())
            sink(candidate);
    }
}

void forEachCssUrl(std::string_view css, const ReferenceSink& sink)
{
    std::string value;
    for (std::size_t at = css.find("url("); at != std::string_view::npos;
         at = css.find("url(", at + 1)) {
        value.clear();
        if (readCssUrl(css, at + 4, value))
            sink(value);
    }
}

void forEachDataAttributeUrl(std::string_view name, std::string_view value,
                             const ReferenceSink& sink)
{
    if (endsWith(name, "srcset")) {
        forEachSrcsetCandidate(value, sink);
        return;
    }
    const std::string_view word = trimmed(value);
    bool oneWord = !word.empty() && word.front() != '[' && word.front() != '{';
    for (const char c : word) {
        if (isAsciiSpace(c)) {
            oneWord = false;
            break;
        }
    }
    if (oneWord) {
        sink(word);
        return;
    }
    // Absolute URLs inside other text end at a space, a quote, a bracket or a
    // backslash (JSON's escaped slash).
    for (std::size_t at = value.find("http"); at != std::string_view::npos;
         at = value.find("http", at + 1)) {
        std::size_t i = at + 4;
        if (i < value.size() && value[i] == 's')
            ++i;
        if (value.substr(i, 3) != "://")
            continue;
        std::size_t end = i + 3;
        while (end < value.size()) {
            const char c = value[end];
            if (isAsciiSpace(c) || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\'
                || c == ')' || c == ']')
                break;
            ++end;
        }
        if (end > i + 3)
            sink(value.substr(at, end - at));
        at = end - 1;
    }
}

bool isMediaMetaKind(std::string_view kind)
{
    if (kind == "image")
        return true;
    std::string_view rest;
    if (kind.size() > 3 && equalsIgnoringCase(kind.substr(0, 3), "og:"))
        rest = kind.substr(3);
    else if (kind.size() > 8 && equalsIgnoringCase(kind.substr(0, 8), "twitter:"))
        rest = kind.substr(8);
    else
        return false;
    for (const std::string_view media : {"image", "video", "audio"}) {
        if (rest.size() < media.size() || !equalsIgnoringCase(rest.substr(0, media.size()), media))
            continue;
        const std::string_view tail = rest.substr(media.size());
        return tail.empty() || equalsIgnoringCase(tail, ":url")
            || equalsIgnoringCase(tail, ":secure_url");
    }
    return false;
}

}  // namespace vel
