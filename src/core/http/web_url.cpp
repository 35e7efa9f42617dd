#include "core/http/web_url.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/http/header_text.h"
#include "core/http/url_host.h"
#include "core/http/url_resolution.h"

namespace vel {

namespace {

// An http or https URL in parts, each as it is written out.
struct WebUrl {
    std::string scheme;
    std::string username;
    std::string password;
    std::string host;
    std::string port;  // empty for the scheme's own
    std::vector<std::string> path;
    std::optional<std::string> query;

    std::string serialized() const
    {
        std::string out = scheme + "://";
        if (!username.empty() || !password.empty()) {
            out += username;
            if (!password.empty())
                out += ":" + password;
            out += "@";
        }
        out += host;
        if (!port.empty())
            out += ":" + port;
        for (const std::string& segment : path)
            out += "/" + segment;
        if (query)
            out += "?" + *query;
        return out;
    }
};

enum class EscapeSet { Path, Query, UserInfo };

bool isControlOrSpace(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

// An ASCII character (where a character begins) that the set escapes.
bool needsEscape(char c, EscapeSet set)
{
    if (static_cast<unsigned char>(c) >= 0x80)
        return false;
    if (isControlOrSpace(c))
        return true;
    switch (set) {
    case EscapeSet::Path:
        return std::string_view("\"#<>?`{}").find(c) != std::string_view::npos;
    case EscapeSet::Query:
        return std::string_view("\"#<>'").find(c) != std::string_view::npos;
    case EscapeSet::UserInfo:
        return std::string_view("\"#<>?`{}/:;=@[\\]^|").find(c) != std::string_view::npos;
    }
    return false;
}

// The value's bytes, an ASCII character being one only where a character
// begins.
class Reader {
public:
    Reader(std::string text, PageCharset charset)
        : m_text(withoutDanglingLeadByte(std::move(text), codePageOf(charset)))
        , m_starts(m_text, codePageOf(charset))
    {}

    std::size_t size() const { return m_text.size(); }
    std::string_view text(std::size_t from, std::size_t to) const
    {
        return std::string_view(m_text).substr(from, to - from);
    }
    bool is(std::size_t i, char c) const
    {
        return i < m_text.size() && m_text[i] == c && m_starts.beginsCharacter(i);
    }
    bool isSlash(std::size_t i) const { return is(i, '/') || is(i, '\\'); }
    // The first of `stops` in [from, to), `to` when there is none.
    std::size_t find(std::string_view stops, std::size_t from, std::size_t to) const
    {
        for (std::size_t i = from; i < to; ++i) {
            if (stops.find(m_text[i]) != std::string_view::npos && m_starts.beginsCharacter(i))
                return i;
        }
        return to;
    }
    void appendEscaped(std::string& out, std::size_t from, std::size_t to, EscapeSet set) const
    {
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = from; i < to; ++i) {
            const char c = m_text[i];
            // A control byte is never part of a character: it is escaped
            // even after a lead byte, so no URL ends in one.
            if (isControlOrSpace(c) || (m_starts.beginsCharacter(i) && needsEscape(c, set))) {
                const auto byte = static_cast<unsigned char>(c);
                out += {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
            } else {
                out.push_back(c);
            }
        }
    }

private:
    static CodePage codePageOf(PageCharset charset)
    {
        return charset == PageCharset::Utf8 ? CodePage::SingleByte : currentCodePage();
    }

    // A lead byte that ends the text begins no character: it is kept escaped,
    // so that nothing written after it can become its second byte.
    static std::string withoutDanglingLeadByte(std::string text, CodePage codePage)
    {
        if (text.empty())
            return text;
        const CharBoundaries starts(text, codePage);
        const auto last = static_cast<unsigned char>(text.back());
        if (starts.beginsCharacter(text.size() - 1) && isLeadByte(last, codePage)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text.back() = '%';
            text += {kHex[last >> 4], kHex[last & 0x0F]};
        }
        return text;
    }

    std::string m_text;
    CharBoundaries m_starts;
};

bool isSingleDot(std::string_view segment)
{
    return segment == "." || equalsIgnoringCase(segment, "%2e");
}

bool isDoubleDot(std::string_view segment)
{
    return segment == ".." || equalsIgnoringCase(segment, ".%2e")
        || equalsIgnoringCase(segment, "%2e.") || equalsIgnoringCase(segment, "%2e%2e");
}

enum class Outcome { Url, Rejected, NoBase, OtherScheme };

// The URL Standard's parser for the http and https schemes.
class WebUrlParser {
public:
    WebUrlParser(const Reader& in, const WebUrl* base, bool utf8)
        : m_in(in)
        , m_base(base)
        , m_utf8(utf8)
    {}

    Outcome parse()
    {
        std::size_t pos = 0;
        while (pos < m_in.size() && isSchemeChar(m_in.text(pos, pos + 1)[0], pos == 0))
            ++pos;
        if (pos > 0 && m_in.is(pos, ':')) {
            m_url.scheme = toLowerAscii(m_in.text(0, pos));
            if (m_url.scheme != "http" && m_url.scheme != "https")
                return Outcome::OtherScheme;
            ++pos;
            if (m_base && m_base->scheme == m_url.scheme
                && !(m_in.is(pos, '/') && m_in.is(pos + 1, '/')))
                return verdict(relative(pos));
            return verdict(authority(skipSlashes(pos)));
        }
        if (!m_base)
            return Outcome::NoBase;
        m_url.scheme = m_base->scheme;
        return verdict(relative(0));
    }

    const WebUrl& url() const { return m_url; }

private:
    static bool isSchemeChar(char c, bool first)
    {
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return alpha || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    }

    static Outcome verdict(bool ok) { return ok ? Outcome::Url : Outcome::Rejected; }

    std::size_t skipSlashes(std::size_t pos) const
    {
        while (m_in.isSlash(pos))
            ++pos;
        return pos;
    }

    void takeBaseAuthority()
    {
        m_url.username = m_base->username;
        m_url.password = m_base->password;
        m_url.host = m_base->host;
        m_url.port = m_base->port;
    }

    bool relative(std::size_t pos)
    {
        if (m_in.isSlash(pos)) {
            if (m_in.isSlash(pos + 1))
                return authority(skipSlashes(pos));
            takeBaseAuthority();
            return path(pos + 1);
        }
        takeBaseAuthority();
        m_url.path = m_base->path;
        m_url.query = m_base->query;
        if (pos >= m_in.size() || m_in.is(pos, '#'))
            return true;
        if (m_in.is(pos, '?'))
            return query(pos + 1);
        m_url.query.reset();
        if (!m_url.path.empty())
            m_url.path.pop_back();
        return path(pos);
    }

    bool authority(std::size_t pos)
    {
        const std::size_t stop = m_in.find("/\\?#", pos, m_in.size());
        std::size_t hostStart = pos;
        // The last "@" ends the user name and password; any before it is theirs.
        for (std::size_t at = m_in.find("@", pos, stop); at < stop;
             at = m_in.find("@", at + 1, stop))
            hostStart = at + 1;
        if (hostStart > pos) {
            const std::size_t at = hostStart - 1;
            const std::size_t colon = m_in.find(":", pos, at);
            m_in.appendEscaped(m_url.username, pos, colon, EscapeSet::UserInfo);
            if (colon < at)
                m_in.appendEscaped(m_url.password, colon + 1, at, EscapeSet::UserInfo);
        }
        std::size_t hostEnd = hostStart;
        for (bool inBrackets = false; hostEnd < stop; ++hostEnd) {
            if (m_in.is(hostEnd, ':') && !inBrackets)
                break;
            inBrackets = m_in.is(hostEnd, '[') || (inBrackets && !m_in.is(hostEnd, ']'));
        }
        if (hostEnd == hostStart)
            return false;
        const std::optional<std::string> host = parseUrlHost(m_in.text(hostStart, hostEnd), m_utf8);
        if (!host || (hostEnd < stop && !port(m_in.text(hostEnd + 1, stop))))
            return false;
        m_url.host = *host;
        return path(m_in.isSlash(stop) ? stop + 1 : stop);
    }

    // Digits only, at most 65535; the scheme's own port and an empty one are dropped.
    bool port(std::string_view digits)
    {
        std::uint32_t value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
            if (value > 65535)
                return false;
        }
        const std::uint32_t own = m_url.scheme == "https" ? 443 : 80;
        if (!digits.empty() && value != own)
            m_url.port = std::to_string(value);
        return true;
    }

    bool path(std::size_t pos)
    {
        std::string segment;
        for (std::size_t i = pos;; ++i) {
            const bool last = i >= m_in.size() || m_in.is(i, '?') || m_in.is(i, '#');
            if (!last && !m_in.isSlash(i)) {
                m_in.appendEscaped(segment, i, i + 1, EscapeSet::Path);
                continue;
            }
            if (isDoubleDot(segment)) {
                if (!m_url.path.empty())
                    m_url.path.pop_back();
                if (last)
                    m_url.path.emplace_back();
            } else if (!isSingleDot(segment)) {
                m_url.path.push_back(segment);
            } else if (last) {
                m_url.path.emplace_back();
            }
            segment.clear();
            if (last)
                return m_in.is(i, '?') ? query(i + 1) : true;
        }
    }

    bool query(std::size_t pos)
    {
        std::string text;
        m_in.appendEscaped(text, pos, m_in.find("#", pos, m_in.size()), EscapeSet::Query);
        m_url.query = std::move(text);
        return true;
    }

    const Reader& m_in;
    const WebUrl* m_base;
    const bool m_utf8;
    WebUrl m_url;
};

}  // namespace

std::optional<std::string> resolveWebUrl(std::string_view base, std::string_view value,
                                         PageCharset charset)
{
    const bool utf8 = charset == PageCharset::Utf8;
    const Reader baseText(cleanedReference(base), charset);
    WebUrlParser baseParser(baseText, nullptr, utf8);
    const Outcome baseOutcome = baseParser.parse();

    const Reader valueText(cleanedReference(value), charset);
    WebUrlParser parser(valueText, baseOutcome == Outcome::Url ? &baseParser.url() : nullptr, utf8);
    switch (parser.parse()) {
    case Outcome::Url:
        return parser.url().serialized();
    case Outcome::Rejected:
        return std::nullopt;
    case Outcome::NoBase:
        // An http or https base that a browser rejects resolves nothing.
        if (baseOutcome == Outcome::Rejected)
            return std::nullopt;
        break;
    case Outcome::OtherScheme:
        break;
    }
    const std::optional<std::string> resolved = resolveUrlReference(base, value);
    if (!resolved)
        return std::nullopt;
    return withoutFragment(*resolved);
}

}  // namespace vel
