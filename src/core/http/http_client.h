#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/http/abort_signal.h"
#include "core/http/connection.h"
#include "core/http/cookie_store.h"
#include "core/http/fetch_error.h"
#include "core/http/http_url.h"
#include "core/http/low_speed_check.h"
#include "core/http/response_reader.h"
#include "core/http/tls_session.h"

namespace vel {

enum class FetchOutcome {
    Success,  // a 2xx answer; the body is the page
    // The server answered with a status that is refused, or a redirect that
    // is not followed (another scheme, a loop, an eleventh in a row).
    ProtocolError,
    CertificateFailure,  // the https server's certificate could not be verified
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
    // The URL of the last request made (after redirects): the URL asked for,
    // as written, when no redirect was followed.
    std::string finalUrl;
    // The final answer's Content-Type header value; empty if none.
    std::string contentType;
};

struct HttpClientOptions {
    // Name lookup and connection together.
    std::chrono::milliseconds connectTimeout{120'000};
    // Waiting for response data without a byte arriving.
    std::chrono::milliseconds readTimeout{60'000};
    // Each wait for data while reading the body of a refused answer.
    std::chrono::milliseconds errorBodyTimeout{2'000};
    // The low-speed rule: a fetch that receives fewer than lowSpeedBytes within
    // any lowSpeedWindow of waiting for answers (heads and bodies, redirects
    // included) fails, however often a byte arrives. 0 in either switches it off.
    std::chrono::milliseconds lowSpeedWindow{60'000};
    std::size_t lowSpeedBytes = 1024;
    ResponseLimits limits;
};

// A blocking HTTP/1.1 client for page fetches: one GET at a time over http
// or https (the same request bytes either way), up to ten redirects in a row
// followed between the two, cookies kept in memory, the connection kept for
// the next request to the same scheme, host and port.
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
    // True from abort() until resetAbort(): work that follows a fetch on its
    // thread (the page's scan) asks it to end early too.
    bool aborted() const { return m_abort.raised(); }

    const CookieStore& cookies() const { return m_cookies; }

private:
    struct Exchange {
        FetchError error = FetchError::None;
        bool leftover = false;  // bytes arrived past the response's end
    };

    // Where a redirect leads: its URL, what it reads as and the request
    // sent there; or, in refusal, why it is not followed.
    struct Redirect {
        FetchError refusal = FetchError::None;
        std::string url;
        HttpUrl target;
        std::string request;
    };

    std::string requestFor(const HttpUrl& target);
    // The redirect `reader` holds, the answer to `currentUrl` after
    // `redirects` others; `sent` are the requests made so far.
    Redirect redirectFrom(const std::string& currentUrl, const ResponseReader& reader,
                          int redirects, const std::vector<std::string>& sent);
    // The fetch's result from the last answer read and how its exchange ended.
    FetchResult resultOf(ResponseReader& reader, FetchError error, std::string finalUrl);
    // One request and its answer, the cookies of the answer taken.
    FetchError exchange(const HttpUrl& target, const std::string& request, ResponseReader& reader,
                        LowSpeedCheck& pace);
    Exchange readResponse(ResponseReader& reader, LowSpeedCheck& pace);
    FetchError connect(const HttpUrl& target);
    FetchResult fail(FetchError error);

    HttpClientOptions m_options;
    AbortSignal m_abort;
    Connection m_connection;
    CookieStore m_cookies;
    // Made at the first https fetch, so the trust store is read as it is then.
    std::unique_ptr<TlsContext> m_tls;
    std::unique_ptr<char[]> m_buffer;
};

}  // namespace vel
