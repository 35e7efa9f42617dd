#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "core/http/abort_signal.h"
#include "core/http/connection.h"
#include "core/http/cookie_store.h"
#include "core/http/fetch_error.h"
#include "core/http/response_reader.h"

namespace vel {

enum class FetchOutcome {
    Success,  // a 2xx answer; the body is the page
    ProtocolError,  // the server answered with a status that is refused (redirects included)
    OtherFailure,  // no usable answer: lookup, connection, time-out, broken or oversized answer
    Aborted,  // abort() ended the fetch
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::OtherFailure;
    // The final answer's status; -1 when its status line held no number, 0
    // when no complete head arrived.
    int status = 0;
    // The page on success, the error page on a protocol error, else empty.
    std::string body;
    FetchError error = FetchError::None;
};

struct HttpClientOptions {
    // Name lookup and connection together.
    std::chrono::milliseconds connectTimeout{120'000};
    // Waiting for response data without a byte arriving.
    std::chrono::milliseconds readTimeout{60'000};
    // Each wait for data while reading the body of a refused answer.
    std::chrono::milliseconds errorBodyTimeout{2'000};
    ResponseLimits limits;
};

// A blocking HTTP/1.1 client for page fetches: one GET at a time, plain HTTP
// only, redirects not followed, cookies kept in memory, the connection kept
// for the next request to the same host and port.
//
// get() runs on one thread at a time; abort() may be called from any thread.
// Destroy the client only after get() has returned (abort it first).
class HttpClient {
public:
    explicit HttpClient(HttpClientOptions options = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    FetchResult get(std::string_view url);

    // Ends the running get() at once with FetchOutcome::Aborted, and every later
    // one before it starts, until resetAbort(): an abort that comes just before
    // the fetch starts is not lost.
    void abort();
    void resetAbort();

    const CookieStore& cookies() const { return m_cookies; }

private:
    struct Exchange {
        FetchError error = FetchError::None;
        bool leftover = false;  // bytes arrived past the response's end
    };

    Exchange readResponse(ResponseReader& reader);
    FetchResult fail(FetchError error);

    HttpClientOptions m_options;
    AbortSignal m_abort;
    Connection m_connection;
    CookieStore m_cookies;
    std::unique_ptr<char[]> m_buffer;
};

}  // namespace vel
