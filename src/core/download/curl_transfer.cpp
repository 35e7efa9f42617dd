#include "core/download/curl_transfer.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <curl/curl.h>

#include "core/download/download_file.h"
#include "core/download/download_rules.h"
#include "core/http/header_text.h"

namespace vel {

namespace {

// Large reads: fewer calls into the file system, and a few of these buffers
// per batch keep its memory small whatever the files' sizes.
constexpr long kReadBuffer = 512 * 1024;
constexpr long kMaxRedirects = 10;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty()
           && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'
               || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

int statusOf(std::string_view statusLine)
{
    const std::size_t space = statusLine.find(' ');
    int status = 0;
    for (std::size_t i = space + 1; space != std::string_view::npos && i < statusLine.size(); ++i) {
        const char c = statusLine[i];
        if (c < '0' || c > '9')
            break;
        status = status * 10 + (c - '0');
        if (status > 999)
            break;
    }
    return status;
}

// No exception may cross curl's C frames: one ends the transfer instead.
size_t headerCallback(char* data, size_t size, size_t count, void* transfer)
{
    const std::size_t length = size * count;
    try {
        return static_cast<CurlTransfer*>(transfer)->onHeaderLine({data, length}) ? length : 0;
    } catch (...) {
        return 0;
    }
}

size_t writeCallback(char* data, size_t size, size_t count, void* transfer)
{
    const std::size_t length = size * count;
    try {
        return static_cast<CurlTransfer*>(transfer)->onBody(data, length) ? length
                                                                          : CURL_WRITEFUNC_ERROR;
    } catch (...) {
        return CURL_WRITEFUNC_ERROR;
    }
}

// https entries are checked as the page fetch checks its pages.
bool setTrustOptions(CURL* handle, const TlsTrust& trust)
{
    bool ok = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!trust.caFile.empty())
        ok = ok && curl_easy_setopt(handle, CURLOPT_CAINFO, trust.caFile.c_str()) == CURLE_OK;
    if (!trust.caDir.empty())
        ok = ok && curl_easy_setopt(handle, CURLOPT_CAPATH, trust.caDir.c_str()) == CURLE_OK;
    return ok;
}

}  // namespace

TlsTrust tlsTrustFromEnvironment()
{
    TlsTrust trust;
    if (const char* file = std::getenv("SSL_CERT_FILE"))
        trust.caFile = file;
    if (const char* dir = std::getenv("SSL_CERT_DIR"))
        trust.caDir = dir;
    return trust;
}

struct CurlTransfer::Handles {
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    std::string wireUrl;
};

CurlTransfer::CurlTransfer(int folder, std::string fileName)
    : m_handles(std::make_unique<Handles>())
    , m_folder(folder)
    , m_fileName(std::move(fileName))
{}

// The handle goes before the file: no callback can reach a discarded file.
CurlTransfer::~CurlTransfer()
{
    m_handles.reset();
}

void* CurlTransfer::handle() const
{
    return m_handles->easy.get();
}

std::optional<EntryOutcome> CurlTransfer::prepare(std::string_view url, const FetchLimits& limits,
                                                  const TlsTrust& trust,
                                                  const BrowserHeaders* browser)
{
    m_handles->easy.reset(curl_easy_init());
    if (!m_handles->easy)
        return EntryOutcome::NoHandle;
    // A URL must name its scheme: curl would otherwise guess one and look the
    // text up as a host name.
    if (!hasFetchableScheme(url))
        return EntryOutcome::NotOpened;
    if (!makeHeaders(browser))
        return EntryOutcome::NotOpened;
    m_followsItself = browser != nullptr;
    m_handles->wireUrl = encodeUrlForRequest(url);
    CURL* handle = m_handles->easy.get();
    if (!setRequestOptions(handle) || !setTransferOptions(handle, limits)
        || !setTrustOptions(handle, trust))
        return EntryOutcome::NotOpened;
    return std::nullopt;
}

bool CurlTransfer::makeHeaders(const BrowserHeaders* browser)
{
    // Appending to a list keeps its head, so the owner stays valid.
    m_handles->headers.reset(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (!m_handles->headers || !curl_slist_append(m_handles->headers.get(), "Pragma: no-cache"))
        return false;
    if (!browser)
        return true;
    // A value with a line break would smuggle a header in: it is left out.
    const auto addHeader = [this](std::string_view name, std::string_view value) {
        if (value.empty()
            || value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            return true;
        std::string line(name);
        line += ": ";
        line += value;
        return curl_slist_append(m_handles->headers.get(), line.c_str()) != nullptr;
    };
    return addHeader("Referer", encodeUrlForRequest(browser->referer))
        && addHeader("Cookie", browser->cookie);
}

// What is asked for and where from: the URL, the protocols, the headers and
// who follows redirects.
bool CurlTransfer::setRequestOptions(void* handle) const
{
    bool ok = curl_easy_setopt(handle, CURLOPT_URL, m_handles->wireUrl.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_USERAGENT, "roviroze") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HTTPHEADER, m_handles->headers.get()) == CURLE_OK;
    ok = ok
        && curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, m_followsItself ? 0L : 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_UNRESTRICTED_AUTH, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
    return ok;
}

// How the answer comes in: buffer, time limits and the callbacks that take it.
bool CurlTransfer::setTransferOptions(void* handle, const FetchLimits& limits)
{
    bool ok = curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReadBuffer) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK;
    ok = ok
        && curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                            static_cast<long>(limits.connectTimeout.count()))
            == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok
        && curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                            static_cast<long>(limits.lowSpeedTime.count()))
            == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, headerCallback) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HEADERDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeCallback) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_PRIVATE, this) == CURLE_OK;
    return ok;
}

// Follows the response heads curl reports (redirects and interim answers
// included) to judge the final one as soon as its head is complete: an error
// status ends the transfer, any other starts the file.
bool CurlTransfer::onHeaderLine(std::string_view line)
{
    if (line.substr(0, 5) == "HTTP/") {
        m_status = statusOf(line);
        m_hasLocation = false;
        m_retryAfter.clear();
        m_redirected = false;
        m_inHead = true;
        return true;
    }
    if (!m_inHead)
        return true;
    if (trimmed(line).empty()) {
        m_inHead = false;
        const bool followed = m_status >= 300 && m_status < 400 && m_hasLocation;
        if (m_status >= 200 && !followed)
            return onFinalHead();
        m_redirected = followed && m_followsItself;
        return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return true;
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equalsIgnoringCase(name, "location") && !value.empty())
        m_hasLocation = true;
    else if (equalsIgnoringCase(name, "retry-after"))
        m_retryAfter = value;
    return true;
}

bool CurlTransfer::onBody(const char* data, std::size_t size)
{
    // A redirect's own body is never stored.
    if (m_redirected)
        return true;
    // A body after a head taken for a redirect: curl did not follow it.
    if (!m_answered && !onFinalHead())
        return false;
    // A failed write (a full disk) ends this entry alone.
    if (!m_file.write(data, size)) {
        m_failed = true;
        return false;
    }
    m_hash.update(data, size);
    m_digest.size += static_cast<std::int64_t>(size);
    return true;
}

EntryOutcome CurlTransfer::finish(int result, bool superseded,
                                  const std::function<bool(const FileDigest&)>& sameAsStored)
{
    const auto code = static_cast<CURLcode>(result);
    // A redirect left unfollowed (too many, or to nowhere fetchable) is no answer.
    if (m_redirected) {
        m_file.discard();
        return EntryOutcome::NotOpened;
    }
    // An answer without a body, after a head taken for a redirect.
    if (code == CURLE_OK && !m_answered)
        onFinalHead();
    if (!m_answered) {
        m_file.discard();
        return EntryOutcome::NotOpened;
    }
    if (code != CURLE_OK || m_failed || !m_file.isOpen()) {
        m_file.discard();
        return m_status == 429 || m_status == 503 ? EntryOutcome::ServerBusy : EntryOutcome::Failed;
    }
    if (superseded) {
        m_file.discard();
        return EntryOutcome::Stored;
    }
    m_digest.sha256 = m_hash.hexDigest();
    if (sameAsStored && !m_digest.sha256.empty() && sameAsStored(m_digest)) {
        m_file.discard();
        return EntryOutcome::SameContent;
    }
    return m_file.commit() ? EntryOutcome::Stored : EntryOutcome::Failed;
}

std::optional<std::chrono::milliseconds> CurlTransfer::retryDelay(int result,
                                                                  const RetryLimits& limits) const
{
    if (m_answered && (m_status == 429 || m_status == 503)) {
        const std::optional<std::chrono::seconds> wait = retryAfterDelay(
            m_retryAfter,
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
        if (wait && *wait <= limits.maxRetryAfter)
            return *wait;
        return std::nullopt;
    }
    switch (static_cast<CURLcode>(result)) {
    case CURLE_GOT_NOTHING:  // the server dropped the connection without an answer
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:  // a reset connection
    case CURLE_OPERATION_TIMEDOUT:
        return limits.resetRetryDelay;
    default:
        return std::nullopt;
    }
}

std::optional<std::string> CurlTransfer::redirectTarget(int result) const
{
    if (!m_redirected || static_cast<CURLcode>(result) != CURLE_OK || !m_handles->easy)
        return std::nullopt;
    char* target = nullptr;
    if (curl_easy_getinfo(m_handles->easy.get(), CURLINFO_REDIRECT_URL, &target) != CURLE_OK
        || !target)
        return std::nullopt;
    return std::string(target);
}

// The final answer is here: false ends the transfer.
bool CurlTransfer::onFinalHead()
{
    m_answered = true;
    if (m_status >= 400 || !m_file.create(m_folder, m_fileName)) {
        m_failed = true;
        return false;
    }
    return true;
}

}  // namespace vel
