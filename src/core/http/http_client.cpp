#include "core/http/http_client.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/http/http_request.h"
#include "core/http/url_resolution.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;
// Redirects followed in a row; one more answer that redirects is refused.
constexpr int kMaxRedirects = 10;

std::chrono::sys_seconds now()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

FetchOutcome outcomeOf(FetchError error)
{
    switch (error) {
    case FetchError::Aborted:
        return FetchOutcome::Aborted;
    case FetchError::CertificateRejected:
        return FetchOutcome::CertificateFailure;
    case FetchError::None:
    case FetchError::InvalidUrl:
    case FetchError::UnsupportedScheme:
    case FetchError::LookupFailed:
    case FetchError::ConnectFailed:
    case FetchError::ConnectTimedOut:
    case FetchError::TlsFailed:
    case FetchError::SendFailed:
    case FetchError::ReceiveFailed:
    case FetchError::ReadTimedOut:
    case FetchError::TooSlow:
    case FetchError::ClosedBeforeStatus:
    case FetchError::ClosedInHead:
    case FetchError::ClosedInChunkedBody:
    case FetchError::ClosedInBody:
    case FetchError::ConflictingLengths:
    case FetchError::LineTooLong:
    case FetchError::HeadTooLarge:
    case FetchError::BodyTooLarge:
    case FetchError::ChunkSizeTooLarge:
    case FetchError::RedirectRefused:
    case FetchError::RedirectLoop:
    case FetchError::TooManyRedirects:
        break;
    }
    return FetchOutcome::OtherFailure;
}

// What a request is sent as and where to: the same one twice in a chain of
// redirects is a loop, since the server will answer it the same way.
std::string requestKey(const HttpUrl& target, const std::string& request)
{
    return (target.secure ? "https " : "http ") + std::to_string(target.port) + ' ' + request;
}

}  // namespace

HttpClient::HttpClient(HttpClientOptions options)
    : m_options(options)
{}

HttpClient::~HttpClient() = default;

void HttpClient::abort()
{
    m_abort.raise();
}

void HttpClient::resetAbort()
{
    m_abort.reset();
}

FetchResult HttpClient::fail(FetchError error)
{
    m_connection.close();
    FetchResult result;
    result.outcome = outcomeOf(error);
    result.error = error;
    return result;
}

FetchResult HttpClient::get(std::string_view url)
{
    std::string currentUrl(url);
    if (m_abort.raised()) {
        FetchResult result = fail(FetchError::Aborted);
        result.finalUrl = std::move(currentUrl);
        return result;
    }
    UrlReading reading = readHttpUrl(currentUrl);
    if (!reading.ok()) {
        FetchResult result;
        result.error = reading.error;
        result.finalUrl = std::move(currentUrl);
        return result;
    }
    HttpUrl target = std::move(reading.url);
    std::string request = requestFor(target);
    std::vector<std::string> sent;
    // One measure for the whole fetch: a chain of slow redirects is as slow as one answer.
    LowSpeedCheck pace(m_options.lowSpeedWindow, m_options.lowSpeedBytes);

    for (int redirects = 0;; ++redirects) {
        sent.push_back(requestKey(target, request));
        ResponseReader reader(m_options.limits);
        const FetchError error = exchange(target, request, reader, pace);
        // A fetch found too slow ends even inside a redirect's body: the
        // next answer would start with the window already short.
        if (error != FetchError::Aborted && error != FetchError::TooSlow && reader.headComplete()
            && reader.kind() == ResponseKind::Redirect) {
            Redirect next = redirectFrom(currentUrl, reader, redirects, sent);
            // A redirect's body is not the page: one that broke or came too
            // slowly has only cost the connection.
            if (next.refusal == FetchError::None) {
                currentUrl = std::move(next.url);
                target = std::move(next.target);
                request = std::move(next.request);
                continue;
            }
            if (error == FetchError::None) {
                FetchResult result = resultOf(reader, error, std::move(currentUrl));
                result.error = next.refusal;
                return result;
            }
        }
        return resultOf(reader, error, std::move(currentUrl));
    }
}

std::string HttpClient::requestFor(const HttpUrl& target)
{
    return buildGetRequest(
        target, m_cookies.headerFor(target.host, target.path(), now(), target.secure));
}

HttpClient::Redirect HttpClient::redirectFrom(const std::string& currentUrl,
                                              const ResponseReader& reader, int redirects,
                                              const std::vector<std::string>& sent)
{
    Redirect next;
    if (redirects == kMaxRedirects) {
        next.refusal = FetchError::TooManyRedirects;
        return next;
    }
    // Resolved against the URL that answered, with backslashes read as the
    // client reads them in any URL.
    std::optional<std::string> url = resolveUrlReference(
        backslashesToSlashes(currentUrl), backslashesToSlashes(*reader.header("Location")));
    UrlReading reading;
    if (url)
        reading = readHttpUrl(*url);
    if (!url || !reading.ok()) {
        next.refusal = FetchError::RedirectRefused;
        return next;
    }
    next.request = requestFor(reading.url);
    if (std::find(sent.begin(), sent.end(), requestKey(reading.url, next.request)) != sent.end()) {
        next.refusal = FetchError::RedirectLoop;
        return next;
    }
    next.url = std::move(*url);
    next.target = std::move(reading.url);
    return next;
}

FetchResult HttpClient::resultOf(ResponseReader& reader, FetchError error, std::string finalUrl)
{
    FetchResult result = error == FetchError::None ? FetchResult{} : fail(error);
    if (reader.headComplete()) {
        result.status = reader.status();
        result.contentType = std::string(reader.header("Content-Type").value_or(""));
    }
    if (error == FetchError::None) {
        result.outcome = reader.kind() == ResponseKind::Success ? FetchOutcome::Success
                                                                : FetchOutcome::ProtocolError;
        result.body = reader.takeBody();
    }
    result.finalUrl = std::move(finalUrl);
    return result;
}

FetchError HttpClient::connect(const HttpUrl& target)
{
    const TlsContext* tls = nullptr;
    if (target.secure) {
        if (!m_tls)
            m_tls = TlsContext::create();
        if (!m_tls)
            return FetchError::TlsFailed;
        tls = m_tls.get();
    }
    return m_connection.open(target.host, target.port, tls, m_abort, m_options.connectTimeout);
}

FetchError HttpClient::exchange(const HttpUrl& target, const std::string& request,
                                ResponseReader& reader, LowSpeedCheck& pace)
{
    // A kept connection may turn out closed only once the request is on it;
    // then the request goes once more on a new one.
    for (int attempt = 0;; ++attempt) {
        const bool reused =
            m_connection.isFor(target.secure, target.host, target.port) && !m_connection.isStale();
        if (!reused) {
            if (const FetchError error = connect(target); error != FetchError::None)
                return error;
        }
        const bool mayRetry = reused && attempt == 0;
        if (const FetchError error = m_connection.send(request, m_abort, m_options.readTimeout);
            error != FetchError::None) {
            m_connection.close();
            if (error == FetchError::SendFailed && mayRetry)
                continue;
            return error;
        }

        reader = ResponseReader(m_options.limits);
        const Exchange exchange = readResponse(reader, pace);
        m_cookies.take(reader.setCookies(), target.host, target.path(), now(), target.secure);
        if (exchange.error != FetchError::None) {
            m_connection.close();
            const bool closedUnanswered = exchange.error == FetchError::ClosedBeforeStatus
                || exchange.error == FetchError::ReceiveFailed;
            if (closedUnanswered && !reader.receivedAnything() && mayRetry)
                continue;
            return exchange.error;
        }
        if (!reader.keepAlive() || exchange.leftover)
            m_connection.close();
        return FetchError::None;
    }
}

HttpClient::Exchange HttpClient::readResponse(ResponseReader& reader, LowSpeedCheck& pace)
{
    using Clock = std::chrono::steady_clock;
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBufferSize);
    // The pace is measured only while waiting for answers.
    pace.resume(Clock::now());
    struct PauseOnReturn {
        LowSpeedCheck& pace;
        ~PauseOnReturn() { pace.pause(Clock::now()); }
    } pauseOnReturn{pace};

    while (true) {
        // Only a page's body gets the full wait; a refused answer's or a
        // redirect's is not worth it.
        const bool refused = reader.headComplete() && reader.kind() != ResponseKind::Success;
        const auto waitLimit = refused ? m_options.errorBodyTimeout : m_options.readTimeout;
        // Rounded up, so a wait cut short by the pace ends with it run out.
        const auto now = Clock::now();
        const auto paceLeft =
            std::chrono::ceil<std::chrono::milliseconds>(pace.deadline(now) - now);
        if (paceLeft <= std::chrono::milliseconds::zero())
            return {FetchError::TooSlow, false};
        const bool paceFirst = paceLeft < waitLimit;
        const Connection::Received received = m_connection.receive(
            m_buffer.get(), kBufferSize, m_abort, paceFirst ? paceLeft : waitLimit);
        switch (received.result) {
        case Connection::Io::Ok: {
            pace.received(received.size, Clock::now());
            const auto step = reader.feed(std::string_view(m_buffer.get(), received.size));
            if (step.state == ResponseReader::State::Done)
                return {FetchError::None, step.consumed < received.size};
            if (step.state == ResponseReader::State::Failed)
                return {reader.error(), false};
            break;
        }
        case Connection::Io::Closed:
            m_connection.close();
            if (reader.finish() == ResponseReader::State::Done)
                return {};
            return {reader.error(), false};
        case Connection::Io::TimedOut:
            return {paceFirst ? FetchError::TooSlow : FetchError::ReadTimedOut, false};
        case Connection::Io::Aborted:
            return {FetchError::Aborted, false};
        case Connection::Io::Failed:
            return {FetchError::ReceiveFailed, false};
        }
    }
}

}  // namespace vel
