#include "core/http/http_client.h"

#include "core/http/http_request.h"
#include "core/http/http_url.h"

namespace vel {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

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
    result.outcome =
        error == FetchError::Aborted ? FetchOutcome::Aborted : FetchOutcome::OtherFailure;
    result.error = error;
    return result;
}

FetchResult HttpClient::get(std::string_view url)
{
    if (m_abort.raised())
        return fail(FetchError::Aborted);
    const UrlReading reading = readHttpUrl(url);
    if (!reading.ok()) {
        FetchResult result;
        result.error = reading.error;
        return result;
    }
    const HttpUrl& target = reading.url;
    const std::string directory = target.directory();
    const auto now = [] {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    };
    const std::string request =
        buildGetRequest(target, m_cookies.headerFor(target.host, directory, now()));

    // A kept connection may turn out closed only once the request is on it;
    // then the request goes once more on a new one.
    for (int attempt = 0;; ++attempt) {
        const bool reused = m_connection.isFor(target.host, target.port) && !m_connection.isStale();
        if (!reused) {
            if (const FetchError error =
                    m_connection.open(target.host, target.port, m_abort, m_options.connectTimeout);
                error != FetchError::None)
                return fail(error);
        }
        const bool mayRetry = reused && attempt == 0;
        if (const FetchError error = m_connection.send(request, m_abort, m_options.readTimeout);
            error != FetchError::None) {
            if (error == FetchError::SendFailed && mayRetry) {
                m_connection.close();
                continue;
            }
            return fail(error);
        }

        ResponseReader reader(m_options.limits);
        const Exchange exchange = readResponse(reader);
        m_cookies.take(reader.setCookies(), target.host, directory, now());
        if (exchange.error != FetchError::None) {
            const bool closedUnanswered = exchange.error == FetchError::ClosedBeforeStatus
                || exchange.error == FetchError::ReceiveFailed;
            if (closedUnanswered && !reader.receivedAnything() && mayRetry) {
                m_connection.close();
                continue;
            }
            FetchResult result = fail(exchange.error);
            result.status = reader.headComplete() ? reader.status() : 0;
            return result;
        }

        if (!reader.keepAlive() || exchange.leftover)
            m_connection.close();
        FetchResult result;
        result.outcome = reader.kind() == ResponseKind::Success ? FetchOutcome::Success
                                                                : FetchOutcome::ProtocolError;
        result.status = reader.status();
        result.body = reader.takeBody();
        return result;
    }
}

HttpClient::Exchange HttpClient::readResponse(ResponseReader& reader)
{
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBufferSize);
    while (true) {
        const bool refused = reader.headComplete() && reader.kind() == ResponseKind::ProtocolError;
        const auto timeout = refused ? m_options.errorBodyTimeout : m_options.readTimeout;
        const Connection::Received received =
            m_connection.receive(m_buffer.get(), kBufferSize, m_abort, timeout);
        switch (received.result) {
        case Connection::Io::Ok: {
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
            return {FetchError::ReadTimedOut, false};
        case Connection::Io::Aborted:
            return {FetchError::Aborted, false};
        case Connection::Io::Failed:
            return {FetchError::ReceiveFailed, false};
        }
    }
}

}  // namespace vel
