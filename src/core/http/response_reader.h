#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/http/fetch_error.h"

namespace vel {

// Hard caps on what one response may make the reader hold.
struct ResponseLimits {
    // Bytes in front of a line's LF, a CR counted: head lines and chunk framing.
    std::size_t maxLineBytes = 16384;
    // All status and header lines of one response, interim answers included.
    std::size_t maxHeadBytes = std::size_t{1} << 20;
    std::size_t maxHeadLines = 1000;
    // The body; a chunked body counts its framing too, so an endless stream of
    // tiny chunks ends as well.
    std::size_t maxBodyBytes = std::size_t{256} << 20;
};

enum class ResponseKind { Success, Redirect, ProtocolError };

// 301, 302, 303, 307 and 308 with a Location header are redirects to follow.
// Every other status outside 2xx is a protocol error, and so is any other
// answer with a Location header (a 2xx or a 304 included) and any other 3xx
// but 304.
ResponseKind sortResponse(int status, bool hasLocation);

// Reads one HTTP/1.1 response from the bytes a connection delivers, in pieces
// of any size. It never looks past the input it is given, stops consuming at
// the response's end (the rest belongs to whatever follows), and holds at most
// the caps of its limits. Interim 1xx answers (all but 101) are skipped; the
// cookies of every complete header block are kept. Chunked framing wins over
// a Content-Length; Content-Length values that disagree fail the answer.
class ResponseReader {
public:
    enum class State { NeedMore, Done, Failed };

    struct Step {
        State state = State::NeedMore;
        // Bytes of the input taken; less than its size only when the response
        // ended or failed inside it.
        std::size_t consumed = 0;
    };

    explicit ResponseReader(ResponseLimits limits = {});

    Step feed(std::string_view input);
    // The peer closed the connection: ends the body that runs to the close
    // and a refused answer's shorter than its Content-Length; fails anywhere
    // else, a 2xx body shorter than its Content-Length included.
    State finish();

    State state() const { return m_state; }
    FetchError error() const { return m_error; }
    bool receivedAnything() const { return m_receivedAnything; }

    // True once the final (not interim) header block has been read.
    bool headComplete() const { return m_headComplete; }
    // The status of the last status line read; -1 when it held no number.
    int status() const { return m_status; }
    // Valid once the head is complete.
    ResponseKind kind() const { return m_kind; }
    // The connection may carry another request: the response ended by its own
    // framing and asked for no close.
    bool keepAlive() const;

    const std::string& body() const { return m_body; }
    std::string takeBody() { return std::move(m_body); }

    // Set-Cookie and Set-Cookie2 values of every complete header block, in order.
    const std::vector<std::string>& setCookies() const { return m_setCookies; }
    // The first header of that name (any case) in the current header block.
    std::optional<std::string_view> header(std::string_view name) const;

private:
    enum class Phase {
        StatusLine,
        Headers,
        FixedBody,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        ChunkTrailer,
        BodyToClose,
        Finished,
    };

    // Lines held to the head's caps; the trailer after the last chunk counts too.
    bool inHead() const
    {
        return m_phase == Phase::StatusLine || m_phase == Phase::Headers
            || m_phase == Phase::ChunkTrailer;
    }
    bool takeLine(std::string_view input, std::size_t& pos, std::string_view& line);
    void handleLine(std::string_view line);
    void handleHeaderLine(std::string_view line);
    void endHeaderBlock();
    void startBody();
    void startChunk(std::string_view line);
    void appendBody(std::string_view bytes);
    void complete();
    void fail(FetchError error);

    ResponseLimits m_limits;
    State m_state = State::NeedMore;
    FetchError m_error = FetchError::None;
    Phase m_phase = Phase::StatusLine;

    std::string m_line;  // a line whose LF has not arrived yet
    std::size_t m_headBytes = 0;
    std::size_t m_headLines = 0;
    std::size_t m_framingBytes = 0;
    std::uint64_t m_remaining = 0;  // of a Content-Length body or a chunk

    bool m_receivedAnything = false;
    bool m_headComplete = false;
    bool m_closed = false;
    bool m_closeRequested = false;
    int m_status = -1;
    ResponseKind m_kind = ResponseKind::ProtocolError;

    std::vector<std::pair<std::string, std::string>> m_headers;
    std::vector<std::string> m_blockCookies;
    std::vector<std::string> m_setCookies;
    std::string m_body;
    std::size_t m_prefaulted = 0;  // body bytes whose pages are known to be mapped
};

}  // namespace vel
