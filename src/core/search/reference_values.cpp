#include "core/search/reference_values.h"

#include <cstddef>
#include <string>

#include "core/html/html_text.h"
#include "core/http/header_text.h"

namespace vel {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isHtmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isHtmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads the arguments of the url(...)s of one CSS text. A read that fails
// ends where every later read of the same kind starting inside it would end
// (their characters and escapes line up), so those fail at once: a text of
// "url(" repeated is read in linear time.
class CssUrlReader {
public:
    explicit CssUrlReader(std::string_view css)
        : m_css(css)
    {}

    // The position after the ")" of the url(...) whose "url(" ends just before
    // `i`, its argument in `out`; npos when there is none.
    std::size_t read(std::size_t i, std::string& out)
    {
        const std::size_t n = m_css.size();
        while (i < n && isHtmlSpace(m_css[i]))
            ++i;
        const char quote = i < n && (m_css[i] == '"' || m_css[i] == '\'') ? m_css[i] : 0;
        const std::size_t start = quote ? i + 1 : i;
        Read& last = m_last[quote == '"' ? 1 : quote == '\'' ? 2 : 0];
        if (!last.found && last.start != npos && start > last.start && start < last.end)
            return npos;
        i = start;
        bool closed = !quote;
        while (i < n) {
            const char c = m_css[i];
            if (quote && c == quote) {
                closed = true;
                ++i;
                break;
            }
            if (!quote && (c == ')' || c == '\'' || c == '"' || isHtmlSpace(c)))
                break;
            // A backslash takes the next character as it is.
            if (c == '\\' && i + 1 < n) {
                out += m_css[i + 1];
                i += 2;
                continue;
            }
            if (c == '\\' && quote)
                break;
            out += c;
            ++i;
        }
        const std::size_t end = i;
        while (i < n && isHtmlSpace(m_css[i]))
            ++i;
        const bool found = closed && i < n && m_css[i] == ')';
        last = Read{start, end, found};
        return found ? i + 1 : npos;
    }

private:
    static constexpr std::size_t npos = std::string_view::npos;
    struct Read {
        std::size_t start = npos;
        std::size_t end = 0;
        bool found = false;
    };
    std::string_view m_css;
    Read m_last[3];  // unquoted, "...", '...'
};

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
        while (i < n && (srcset[i] == ',' || isHtmlSpace(srcset[i])))
            ++i;
        const std::size_t start = i;
        while (i < n && !isHtmlSpace(srcset[i]))
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
    CssUrlReader reader(css);
    std::string value;
    std::size_t at = css.find("url(");
    while (at != std::string_view::npos) {
        value.clear();
        const std::size_t next = reader.read(at + 4, value);
        if (next != std::string_view::npos)
            sink(value);
        at = css.find("url(", next != std::string_view::npos ? next : at + 1);
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
        if (isHtmlSpace(c)) {
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
            if (isHtmlSpace(c) || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\'
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
