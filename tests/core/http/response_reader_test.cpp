#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/http/response_reader.h"

namespace vel {
namespace {

using State = ResponseReader::State;

// Everything a caller can see of a read.
struct Reading {
    State state = State::NeedMore;
    FetchError error = FetchError::None;
    int status = 0;
    ResponseKind kind = ResponseKind::ProtocolError;
    std::string body;
    std::size_t consumed = 0;
    std::vector<std::string> cookies;
    bool keepAlive = false;

    friend bool operator==(const Reading&, const Reading&) = default;
    friend void PrintTo(const Reading& r, std::ostream* os)
    {
        *os << "state " << static_cast<int>(r.state) << ", " << describe(r.error) << ", status "
            << r.status << ", body " << r.body.size() << " bytes, consumed " << r.consumed
            << ", keepAlive " << r.keepAlive;
    }
};

// Feeds the input in pieces cut at `cuts`, then reports a close if asked.
Reading read(const std::string& input, const std::vector<std::size_t>& cuts, bool close,
             ResponseLimits limits = {})
{
    ResponseReader reader(limits);
    Reading reading;
    std::size_t start = 0;
    auto feedUpTo = [&](std::size_t end) {
        if (reader.state() != State::NeedMore || end <= start)
            return;
        const auto step = reader.feed(std::string_view(input).substr(start, end - start));
        EXPECT_LE(step.consumed, end - start);
        if (step.state == State::NeedMore) {
            EXPECT_EQ(step.consumed, end - start);
        }
        reading.consumed += step.consumed;
        start = end;
    };
    for (const std::size_t cut : cuts)
        feedUpTo(cut);
    feedUpTo(input.size());
    if (close)
        reader.finish();
    // What a failed read took in is of no further use.
    if (reader.state() == State::Failed)
        reading.consumed = 0;
    reading.state = reader.state();
    reading.error = reader.error();
    reading.status = reader.status();
    reading.kind = reader.kind();
    reading.body = reader.body();
    reading.cookies = reader.setCookies();
    reading.keepAlive = reader.keepAlive();
    return reading;
}

// Reads whole, byte by byte and (for short inputs) split at every position;
// every way must give the same reading.
Reading readEveryWay(const std::string& input, bool close, ResponseLimits limits = {})
{
    const Reading whole = read(input, {}, close, limits);
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < input.size(); ++i)
        everyByte.push_back(i);
    EXPECT_EQ(read(input, everyByte, close, limits), whole) << "byte by byte";
    if (input.size() <= 4096) {
        for (std::size_t i = 1; i < input.size(); ++i)
            EXPECT_EQ(read(input, {i}, close, limits), whole) << "split at " << i;
    }
    return whole;
}

struct Row {
    const char* name;
    std::string input;
    bool close;
    State state;
    int status;
    std::string body;
    std::size_t leftover = 0;  // input bytes after the response's end
    bool keepAlive = false;
    FetchError error = FetchError::None;
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

TEST(ResponseReader, BodyRulesAndSorting)
{
    const Row rows[] = {
        {"length", kOk + "Content-Length: 5\r\n\r\nhelloNEXT", false, State::Done, 200, "hello", 4,
         true},
        {"length trimmed, LF only", "HTTP/1.1 200 OK\nContent-length:  3 \n\nabc", false,
         State::Done, 200, "abc", 0, true},
        {"length short, closed", kOk + "Content-Length: 100\r\n\r\nshort", true, State::Failed, 200,
         "", 0, false, FetchError::ClosedInBody},
        {"refused answer short, closed", "HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\nno",
         true, State::Done, 404, "no"},
        {"length short, open", kOk + "Content-Length: 100\r\n\r\nshort", false, State::NeedMore,
         200, "short"},
        {"length zero", kOk + "Content-Length: 0\r\n\r\nNEXT", false, State::Done, 200, "", 4,
         true},
        {"no length: until close", kOk + "\r\nall of\r\nit", true, State::Done, 200,
         "all of\r\nit"},
        {"bad length: until close", kOk + "Content-Length: 5x\r\n\r\nabcdefg", true, State::Done,
         200, "abcdefg"},
        {"negative length: until close", kOk + "Content-Length: -1\r\n\r\nab", true, State::Done,
         200, "ab"},
        {"chunked wins over length",
         kOk + "Transfer-Encoding: chunked\r\nContent-Length: 2\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
         false, State::Done, 200, "abc"},
        {"length zero gives way to chunked",
         kOk + "Content-Length: 0\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n", false,
         State::Done, 200, "ab"},
        {"one length repeated", kOk + "Content-Length: 3\r\ncontent-length: 3 , 3\r\n\r\nabc",
         false, State::Done, 200, "abc", 0, true},
        {"lengths that disagree", kOk + "Content-Length: 3\r\nContent-Length: 3, 4\r\n\r\nabcd",
         false, State::Failed, 200, "", 0, false, FetchError::ConflictingLengths},
        {"chunked", kChunked + "5 ext=1\r\nhello\r\nA\r\n0123456789\r\n0\r\n\r\nNEXT", false,
         State::Done, 200, "hello0123456789", 4, true},
        {"chunked: line after data skipped", kChunked + "3\r\nabcJUNK\r\n0\r\n\r\n", false,
         State::Done, 200, "abc", 0, true},
        {"chunked: extensions after the size",
         kChunked + "1a;name=value\r\n" + std::string(26, 'x') + "\r\n5 ; a=\"b;c\"\r\nhello\r\n"
             + "3\t;x\r\nabc\r\nA;\r\n0123456789\r\n0;last=1\r\n\r\nNEXT",
         false, State::Done, 200, std::string(26, 'x') + "helloabc0123456789", 4, true},
        {"chunked: non-hex size ends", kChunked + "3\r\nabc\r\n3x;ext\r\n\r\n", false, State::Done,
         200, "abc", 0, true},
        {"chunked: empty size ends", kChunked + "3\r\nabc\r\n;ext\r\n\r\n", false, State::Done, 200,
         "abc", 0, true},
        {"chunked: trailers skipped to the empty line",
         kChunked + "1\r\na\r\n0\r\nX-Trailer: 1\r\nSet-Cookie: t=1\r\n\r\nNEXT", false,
         State::Done, 200, "a", 4, true},
        {"chunked: trailer cut short", kChunked + "1\r\na\r\n0\r\nX-Trailer: 1\r\n", false,
         State::NeedMore, 200, "a"},
        {"chunked: closed in the trailer", kChunked + "1\r\na\r\n0\r\nX-Trailer: 1\r\n", true,
         State::Failed, 200, "", 0, false, FetchError::ClosedInChunkedBody},
        {"chunked: leading zeros fit", kChunked + "00000000000000001\r\na\r\n0\r\n\r\n", false,
         State::Done, 200, "a", 0, true},
        {"chunked: closed inside", kChunked + "5\r\nhel", true, State::Failed, 200, "", 0, false,
         FetchError::ClosedInChunkedBody},
        {"chunked: closed before trailer", kChunked + "0\r\n", true, State::Failed, 200, "", 0,
         false, FetchError::ClosedInChunkedBody},
        {"chunked: 17 hex digits", kChunked + "10000000000000000\r\n", false, State::Failed, 200,
         "", 0, false, FetchError::ChunkSizeTooLarge},
        {"chunked: above the body cap", kChunked + "10000001\r\n", false, State::Failed, 200, "", 0,
         false, FetchError::BodyTooLarge},
        {"length above the body cap", kOk + "Content-Length: 268435457\r\n\r\n", false,
         State::Failed, 200, "", 0, false, FetchError::BodyTooLarge},
        {"length beyond 64 bits", kOk + "Content-Length: 99999999999999999999999\r\n\r\n", false,
         State::Failed, 200, "", 0, false, FetchError::BodyTooLarge},
        {"204 reads no body", "HTTP/1.1 204 No Content\r\n\r\nNEXT", false, State::Done, 204, "", 4,
         true},
        {"interim answers skipped",
         std::string("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n")
             + "HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n" + kOk
             + "Content-Length: 2\r\n\r\nok",
         false, State::Done, 200, "ok", 0, true},
        {"connection close", kOk + "Content-Length: 1\r\nConnection:  CLOSE \r\n\r\nx", false,
         State::Done, 200, "x"},
        {"proxy connection close", kOk + "Content-Length: 1\r\nproxy-connection: close\r\n\r\nx",
         false, State::Done, 200, "x"},
        {"error body read by the same rules",
         "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", false, State::Done, 404, "gone",
         0, true},
        {"304 is refused", "HTTP/1.1 304 Not Modified\r\n\r\n", true, State::Done, 304, ""},
        {"no status number", "HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n", false, State::Done, -1, "",
         0, true},
        {"double space: no status", "HTTP/1.1  200 OK\r\nContent-Length: 0\r\n\r\n", false,
         State::Done, -1, "", 0, true},
        {"garbage status line", "\x01garbage\x02\r\n\r\n", true, State::Done, -1, ""},
        {"NUL bytes in the head",
         std::string("HTTP/1.1 200 OK\r\nX-\0: \0\0\r\nContent-Length: 2\r\n\r\nok", 49), false,
         State::Done, 200, "ok", 0, true},
        {"closed before the status", "HTTP/1.1 200", true, State::Failed, -1, "", 0, false,
         FetchError::ClosedBeforeStatus},
        {"closed after an interim answer", "HTTP/1.1 100 Continue\r\n\r\n", true, State::Failed,
         100, "", 0, false, FetchError::ClosedBeforeStatus},
        {"closed in a 2xx head", kOk + "Content-Length: 2\r\n", true, State::Failed, 200, "", 0,
         false, FetchError::ClosedInHead},
        {"closed in an error head", "HTTP/1.1 500 Oops\r\nX: 1\r\n", true, State::Done, 500, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Reading reading = readEveryWay(row.input, row.close);
        EXPECT_EQ(reading.state, row.state);
        EXPECT_EQ(reading.error, row.error);
        EXPECT_EQ(reading.status, row.status);
        EXPECT_EQ(reading.body, row.body);
        EXPECT_EQ(reading.keepAlive, row.keepAlive);
        if (row.state == State::Done) {
            EXPECT_EQ(reading.consumed, row.input.size() - row.leftover);
        }
    }
}

TEST(ResponseReader, SortsAnswers)
{
    const std::pair<std::string, ResponseKind> rows[] = {
        {"HTTP/1.1 200 OK\r\n", ResponseKind::Success},
        {"HTTP/1.1 299 X\r\n", ResponseKind::Success},
        {"HTTP/1.1 200 OK\r\nlocation: /elsewhere\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 301 Moved\r\nLocation: /x\r\n", ResponseKind::Redirect},
        {"HTTP/1.1 302 Found\r\nlocation: x\r\n", ResponseKind::Redirect},
        {"HTTP/1.1 303 See Other\r\nLocation: /x\r\n", ResponseKind::Redirect},
        {"HTTP/1.1 307 Temporary\r\nLocation: /x\r\n", ResponseKind::Redirect},
        {"HTTP/1.1 308 Permanent\r\nLocation: /x\r\n", ResponseKind::Redirect},
        {"HTTP/1.1 302 Found\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 300 Choices\r\nLocation: /x\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 305 Use Proxy\r\nLocation: /x\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 201 Created\r\nLocation: /x\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 304 Not Modified\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 304 Not Modified\r\nLocation: /x\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=x\r\n",
         ResponseKind::ProtocolError},
        {"HTTP/1.1 407 Proxy\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 500 Oops\r\n", ResponseKind::ProtocolError},
        {"HTTP/1.1 101 Switching Protocols\r\n", ResponseKind::ProtocolError},  // not interim
    };
    for (const auto& [head, kind] : rows) {
        ResponseReader reader;
        reader.feed(head + "Content-Length: 0\r\n\r\n");
        EXPECT_TRUE(reader.headComplete()) << head;
        EXPECT_EQ(reader.kind(), kind) << head;
    }
}

TEST(ResponseReader, CookiesFromEveryCompleteHeaderBlock)
{
    const std::string input =
        "HTTP/1.1 100 Continue\r\nSet-Cookie: a=1\r\n\r\n"
        "HTTP/1.1 404 Not Found\r\nset-cookie: b=2; path=/\r\nSET-COOKIE2: c=3\r\n"
        "Set-Cookies: no\r\nContent-Length: 0\r\n\r\n";
    EXPECT_EQ(readEveryWay(input, false).cookies,
              (std::vector<std::string>{"a=1", "b=2; path=/", "c=3"}));
    // A trailer's cookies are not taken, nor a cut block's.
    EXPECT_EQ(readEveryWay(kChunked + "0\r\nSet-Cookie: t=1\r\n\r\n", false).cookies,
              std::vector<std::string>{});
    EXPECT_TRUE(
        readEveryWay("HTTP/1.1 404 Not Found\r\nSet-Cookie: a=1\r\n", true).cookies.empty());
}

TEST(ResponseReader, LineLimitCountsTheCarriageReturn)
{
    const auto withHeaderLine = [](std::size_t bytes) {
        return "HTTP/1.1 200 OK\r\nX: " + std::string(bytes - 3, 'a')
            + "\r\nContent-Length: 0\r\n\r\n";
    };
    EXPECT_EQ(readEveryWay(withHeaderLine(16383), false).state, State::Done);
    EXPECT_EQ(readEveryWay(withHeaderLine(16384), false).error, FetchError::LineTooLong);
    EXPECT_EQ(readEveryWay(withHeaderLine(16385), false).error, FetchError::LineTooLong);
    // Known as too long before the LF arrives.
    EXPECT_EQ(readEveryWay("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a'), false).error,
              FetchError::LineTooLong);
    EXPECT_EQ(readEveryWay(kChunked + std::string(16385, '0') + "\r\n", false).error,
              FetchError::LineTooLong);
    EXPECT_EQ(readEveryWay(kChunked + "1\r\na" + std::string(16385, ' ') + "\r\n", false).error,
              FetchError::LineTooLong);
    EXPECT_EQ(readEveryWay(kChunked + "0\r\nX: " + std::string(16385, 't') + "\r\n", false).error,
              FetchError::LineTooLong);
}

TEST(ResponseReader, HostileStreamsStayWithinTheCaps)
{
    std::string manyLines = kOk;
    for (int i = 0; i < 1000; ++i)
        manyLines += "X: y\r\n";
    EXPECT_EQ(readEveryWay(manyLines, false).error, FetchError::HeadTooLarge);

    std::string bigHead = kOk;
    while (bigHead.size() <= (std::size_t{1} << 20))
        bigHead += "X: " + std::string(16000, 'h') + "\r\n";
    EXPECT_EQ(readEveryWay(bigHead, false).error, FetchError::HeadTooLarge);

    // The trailer counts to the head's caps: three head lines, 996 trailer
    // lines and the empty line are the 1000 lines allowed.
    std::string manyTrailers = kChunked + "0\r\n";
    for (int i = 0; i < 996; ++i)
        manyTrailers += "X: y\r\n";
    EXPECT_EQ(readEveryWay(manyTrailers + "\r\n", false).state, State::Done);
    EXPECT_EQ(readEveryWay(manyTrailers + "X: y\r\n\r\n", false).error, FetchError::HeadTooLarge);

    std::string interims;
    for (int i = 0; i < 600; ++i)
        interims += "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(readEveryWay(interims, false).error, FetchError::HeadTooLarge);

    ResponseLimits small;
    small.maxBodyBytes = 1000;
    EXPECT_EQ(readEveryWay(kOk + "\r\n" + std::string(1000, 'b'), true, small).state, State::Done);
    EXPECT_EQ(readEveryWay(kOk + "\r\n" + std::string(1001, 'b'), true, small).error,
              FetchError::BodyTooLarge);
    std::string tinyChunks = kChunked;
    for (int i = 0; i < 200; ++i)
        tinyChunks += "1\r\nb\r\n";
    // Framing counts, so tiny chunks cannot run on for ever.
    EXPECT_EQ(readEveryWay(tinyChunks, false, small).error, FetchError::BodyTooLarge);
}

}  // namespace
}  // namespace vel
