#include "core/http/response_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <sys/mman.h>
#include <unistd.h>

#include "core/http/header_text.h"

namespace vel {

namespace {

// The second space-separated field of the status line as a decimal number.
int parseStatus(std::string_view line)
{
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return -1;
    std::string_view field = line.substr(space + 1);
    field = field.substr(0, field.find(' '));
    if (field.empty() || field.size() > 9)
        return -1;
    int value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

struct ContentLength {
    bool usable = false;  // a number that is not negative
    bool tooLarge = false;
    std::uint64_t value = 0;
};

ContentLength parseContentLength(std::string_view text, std::uint64_t cap)
{
    ContentLength result;
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return result;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return result;
        if (!result.tooLarge) {
            result.value = result.value * 10 + static_cast<std::uint64_t>(c - '0');
            result.tooLarge = result.value > cap;
        }
    }
    if (negative)
        return {};
    result.usable = true;
    return result;
}

// An interim answer (100 Continue, 103 Early Hints, ...) precedes the real
// one. 101 switches protocols, which is never asked for: it is final.
bool isInterim(int status)
{
    return status >= 100 && status <= 199 && status != 101;
}

// The Content-Length of a head: every field of that name, each possibly a
// comma-separated list. Copies of one value are that value; values that
// disagree leave the body's end unknown.
struct BodyLength {
    ContentLength length;
    bool conflicting = false;
};

BodyLength bodyLength(const std::vector<std::pair<std::string, std::string>>& headers,
                      std::uint64_t cap)
{
    BodyLength result;
    bool seen = false;
    for (const auto& [name, value] : headers) {
        if (!equalsIgnoringCase(name, "Content-Length"))
            continue;
        std::string_view rest = value;
        for (bool more = true; more;) {
            const std::size_t comma = rest.find(',');
            const ContentLength element = parseContentLength(rest.substr(0, comma), cap);
            if (!seen)
                result.length = element;
            else if (element.usable != result.length.usable || element.value != result.length.value)
                result.conflicting = true;
            seen = true;
            more = comma != std::string_view::npos;
            rest.remove_prefix(more ? comma + 1 : rest.size());
        }
    }
    return result;
}

struct ChunkSize {
    bool overflow = false;
    std::uint64_t value = 0;
};

// The chunk size: hexadecimal up to the first ';' (an extension follows), space
// or tab, so "1a;name=value" and "1a ; x" are both 26. A size field that is
// not all hex digits reads as 0.
ChunkSize parseChunkSize(std::string_view line)
{
    const std::string_view field = line.substr(0, line.find_first_of("; \t"));
    ChunkSize size;
    if (field.empty())
        return size;
    for (const char c : field) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return {};
        if (size.value > (std::numeric_limits<std::uint64_t>::max() >> 4))
            size.overflow = true;
        size.value = (size.value << 4) | digit;
    }
    if (size.overflow)
        size.value = 0;
    return size;
}

// Big bodies are written into fresh memory; faulting its pages in one call per
// window is much cheaper than one fault per page. Only a window ahead of the
// data is touched, so an announced length that never arrives costs nothing.
constexpr std::size_t kPrefaultWindow = std::size_t{8} << 20;

void prefaultForWrite([[maybe_unused]] char* begin, [[maybe_unused]] std::size_t length)
{
#ifdef MADV_POPULATE_WRITE
    static const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(begin) & ~(pageSize - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + length) & ~(pageSize - 1);
    if (end > first) {
        // Older kernels refuse the advice; the pages then fault one by one.
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
    }
#endif
}

}  // namespace

ResponseKind sortResponse(int status, bool hasLocation)
{
    const bool followed =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (followed && hasLocation)
        return ResponseKind::Redirect;
    if ((status >= 300 && status <= 399 && status != 304) || hasLocation)
        return ResponseKind::ProtocolError;
    if (status >= 200 && status <= 299)
        return ResponseKind::Success;
    return ResponseKind::ProtocolError;
}

ResponseReader::ResponseReader(ResponseLimits limits)
    : m_limits(limits)
{}

bool ResponseReader::keepAlive() const
{
    return m_state == State::Done && !m_closed && !m_closeRequested;
}

std::optional<std::string_view> ResponseReader::header(std::string_view name) const
{
    for (const auto& [key, value] : m_headers) {
        if (equalsIgnoringCase(key, name))
            return value;
    }
    return std::nullopt;
}

ResponseReader::Step ResponseReader::feed(std::string_view input)
{
    if (m_state != State::NeedMore)
        return {m_state, 0};
    if (!input.empty())
        m_receivedAnything = true;

    std::size_t pos = 0;
    while (pos < input.size() && m_state == State::NeedMore) {
        switch (m_phase) {
        case Phase::FixedBody:
        case Phase::ChunkData: {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, input.size() - pos));
            appendBody(input.substr(pos, n));
            pos += n;
            m_remaining -= n;
            if (m_remaining == 0) {
                if (m_phase == Phase::FixedBody)
                    complete();
                else
                    m_phase = Phase::ChunkDataEnd;
            }
            break;
        }
        case Phase::BodyToClose: {
            const std::string_view rest = input.substr(pos);
            if (rest.size() > m_limits.maxBodyBytes - m_body.size()) {
                fail(FetchError::BodyTooLarge);
                break;
            }
            appendBody(rest);
            pos = input.size();
            break;
        }
        case Phase::Finished:
            return {m_state, pos};
        case Phase::StatusLine:
        case Phase::Headers:
        case Phase::ChunkSize:
        case Phase::ChunkDataEnd:
        case Phase::ChunkTrailer: {
            std::string_view line;
            if (takeLine(input, pos, line))
                handleLine(line);
            break;
        }
        }
    }
    return {m_state, pos};
}

ResponseReader::State ResponseReader::finish()
{
    if (m_state != State::NeedMore)
        return m_state;
    m_closed = true;
    switch (m_phase) {
    case Phase::StatusLine:
        fail(FetchError::ClosedBeforeStatus);
        break;
    case Phase::Headers:
        // A cut head of an answer that is refused anyway is still that
        // refusal; a cut 2xx or interim head is a broken connection.
        if (isInterim(m_status) || (m_status >= 200 && m_status <= 299)) {
            fail(FetchError::ClosedInHead);
        } else {
            m_headComplete = true;
            m_kind = ResponseKind::ProtocolError;
            complete();
        }
        break;
    case Phase::FixedBody:
        // A page shorter than announced is broken; a refused answer stays refused.
        if (m_kind == ResponseKind::Success)
            fail(FetchError::ClosedInBody);
        else
            complete();
        break;
    case Phase::BodyToClose:
        complete();
        break;
    case Phase::ChunkSize:
    case Phase::ChunkData:
    case Phase::ChunkDataEnd:
    case Phase::ChunkTrailer:
    case Phase::Finished:
        fail(FetchError::ClosedInChunkedBody);
        break;
    }
    return m_state;
}

bool ResponseReader::takeLine(std::string_view input, std::size_t& pos, std::string_view& line)
{
    const std::string_view rest = input.substr(pos);
    const void* lf = std::memchr(rest.data(), '\n', rest.size());
    const std::size_t segment =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()) : rest.size();
    const std::size_t lineBytes = m_line.size() + segment;

    if (lineBytes > m_limits.maxLineBytes) {
        fail(FetchError::LineTooLong);
        return false;
    }
    const bool head = inHead();
    if (head
        && (m_headBytes + lineBytes + (lf ? 1 : 0) > m_limits.maxHeadBytes
            || (lf && m_headLines + 1 > m_limits.maxHeadLines))) {
        fail(FetchError::HeadTooLarge);
        return false;
    }
    if (!lf) {
        m_line.append(rest);
        pos = input.size();
        return false;
    }

    pos += segment + 1;
    if (head) {
        m_headBytes += lineBytes + 1;
        ++m_headLines;
    } else {
        m_framingBytes += lineBytes + 1;
        if (m_framingBytes + m_body.size() > m_limits.maxBodyBytes) {
            fail(FetchError::BodyTooLarge);
            return false;
        }
    }
    if (m_line.empty()) {
        line = rest.substr(0, segment);
    } else {
        m_line.append(rest.substr(0, segment));
        line = m_line;
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

void ResponseReader::handleLine(std::string_view line)
{
    switch (m_phase) {
    case Phase::StatusLine:
        m_status = parseStatus(line);
        m_headers.clear();
        m_blockCookies.clear();
        m_phase = Phase::Headers;
        break;
    case Phase::Headers:
        if (line.empty())
            endHeaderBlock();
        else
            handleHeaderLine(line);
        break;
    case Phase::ChunkSize:
        startChunk(line);
        break;
    case Phase::ChunkDataEnd:
        m_phase = Phase::ChunkSize;
        break;
    case Phase::ChunkTrailer:
        // Trailer fields are skipped; the body ends at the empty line.
        if (line.empty())
            complete();
        break;
    case Phase::FixedBody:
    case Phase::ChunkData:
    case Phase::BodyToClose:
    case Phase::Finished:
        break;
    }
    m_line.clear();
}

void ResponseReader::handleHeaderLine(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = trimBlanks(line.substr(0, colon));
    const std::string_view value = trimBlanks(line.substr(colon + 1));
    if (equalsIgnoringCase(name, "Set-Cookie") || equalsIgnoringCase(name, "Set-Cookie2"))
        m_blockCookies.emplace_back(value);
    m_headers.emplace_back(name, value);
}

void ResponseReader::endHeaderBlock()
{
    for (std::string& cookie : m_blockCookies)
        m_setCookies.push_back(std::move(cookie));
    m_blockCookies.clear();
    if (isInterim(m_status)) {
        m_phase = Phase::StatusLine;
        return;
    }
    startBody();
}

void ResponseReader::startBody()
{
    m_headComplete = true;
    bool hasLocation = false;
    for (const auto& [name, value] : m_headers) {
        if (equalsIgnoringCase(name, "Location"))
            hasLocation = true;
        if ((equalsIgnoringCase(name, "Connection") || equalsIgnoringCase(name, "Proxy-Connection"))
            && equalsIgnoringCase(value, "close"))
            m_closeRequested = true;
    }
    m_kind = sortResponse(m_status, hasLocation);
    if (m_kind == ResponseKind::Success && m_status == 204) {
        complete();
        return;
    }

    // Chunked framing wins over a Content-Length; an answer with both may be
    // an attempt to split it, so its connection is not reused.
    const bool chunked = std::any_of(m_headers.begin(), m_headers.end(), [](const auto& field) {
        return equalsIgnoringCase(field.first, "Transfer-Encoding")
            && field.second.find("chunked") != std::string::npos;
    });
    if (chunked) {
        if (header("Content-Length"))
            m_closeRequested = true;
        m_phase = Phase::ChunkSize;
        return;
    }
    const BodyLength declared = bodyLength(m_headers, m_limits.maxBodyBytes);
    if (declared.conflicting) {
        fail(FetchError::ConflictingLengths);
        return;
    }
    const ContentLength& length = declared.length;
    if (length.usable && length.value > 0) {
        if (length.tooLarge) {
            fail(FetchError::BodyTooLarge);
            return;
        }
        m_remaining = length.value;
        m_body.reserve(static_cast<std::size_t>(length.value));
        m_prefaulted = 0;
        m_phase = Phase::FixedBody;
        return;
    }
    if (!length.usable)
        m_phase = Phase::BodyToClose;
    else
        complete();
}

void ResponseReader::startChunk(std::string_view line)
{
    const ChunkSize size = parseChunkSize(line);
    if (size.overflow) {
        fail(FetchError::ChunkSizeTooLarge);
        return;
    }
    if (size.value == 0) {
        m_phase = Phase::ChunkTrailer;
        return;
    }
    if (size.value > m_limits.maxBodyBytes - m_body.size() - m_framingBytes) {
        fail(FetchError::BodyTooLarge);
        return;
    }
    m_remaining = size.value;
    m_phase = Phase::ChunkData;
}

void ResponseReader::appendBody(std::string_view bytes)
{
    // Grow by doubling, but never past the cap.
    const std::size_t needed = m_body.size() + bytes.size();
    if (needed > m_body.capacity()) {
        const std::size_t grown = std::max({needed, m_body.capacity() * 2, std::size_t{64} << 10});
        m_body.reserve(std::min(grown, std::max(needed, m_limits.maxBodyBytes)));
        m_prefaulted = m_body.size();
    }
    if (needed > m_prefaulted && m_body.capacity() >= kPrefaultWindow) {
        const std::size_t end =
            std::min(m_body.capacity(), std::max(needed, m_prefaulted + kPrefaultWindow));
        prefaultForWrite(m_body.data() + m_prefaulted, end - m_prefaulted);
        m_prefaulted = end;
    }
    m_body.append(bytes);
}

void ResponseReader::complete()
{
    m_phase = Phase::Finished;
    m_state = State::Done;
    // A body cut short by the peer should not keep its announced size in memory.
    if (m_body.capacity() - m_body.size() > (std::size_t{1} << 20)
        && m_body.capacity() > 2 * m_body.size())
        m_body.shrink_to_fit();
}

void ResponseReader::fail(FetchError error)
{
    m_phase = Phase::Finished;
    m_state = State::Failed;
    m_error = error;
    m_line.clear();
    m_line.shrink_to_fit();
    m_body.clear();
    m_body.shrink_to_fit();
}

}  // namespace vel
