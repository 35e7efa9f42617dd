#include "core/download/curl_fetcher.h"

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <curl/curl.h>

#include "core/download/download_file.h"
#include "core/download/download_rules.h"

namespace vel {

namespace {

constexpr long kReadChunk = 1024;
constexpr long kMaxRedirects = 10;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

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

// What the callbacks of one transfer share.
class Transfer {
public:
    Transfer(int folder, const std::string& fileName, const std::function<bool()>& cancelled)
        : m_folder(folder)
        , m_fileName(fileName)
        , m_cancelled(cancelled)
    {}

    // Follows the response heads curl reports (redirects and interim answers
    // included) to judge the final one as soon as its head is complete: an
    // error status ends the transfer, any other starts the file.
    bool onHeaderLine(std::string_view line)
    {
        if (line.substr(0, 5) == "HTTP/") {
            m_status = statusOf(line);
            m_hasLocation = false;
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
            return true;
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos
            && equalsNoCase(trimmed(line.substr(0, colon)), "location")
            && !trimmed(line.substr(colon + 1)).empty())
            m_hasLocation = true;
        return true;
    }

    bool onBody(const char* data, std::size_t size)
    {
        if (askCancelled())
            return false;
        // A body after a head taken for a redirect: curl did not follow it.
        if (!m_answered && !onFinalHead())
            return false;
        if (!m_file.write(data, size)) {
            m_failed = true;
            return false;
        }
        return true;
    }

    bool askCancelled()
    {
        if (!m_wasCancelled && m_cancelled && m_cancelled())
            m_wasCancelled = true;
        return m_wasCancelled;
    }

    // Only a complete body of an answer below 400 takes the entry's name;
    // every other end removes the temporary file and leaves the name as it was.
    EntryOutcome finish(CURLcode result)
    {
        if (m_wasCancelled) {
            m_file.discard();
            return EntryOutcome::Cancelled;
        }
        // An answer without a body, after a head taken for a redirect.
        if (result == CURLE_OK && !m_answered)
            onFinalHead();
        if (!m_answered) {
            m_file.discard();
            return EntryOutcome::NotOpened;
        }
        if (result != CURLE_OK || m_failed || !m_file.isOpen()) {
            m_file.discard();
            return EntryOutcome::Failed;
        }
        return m_file.commit() ? EntryOutcome::Stored : EntryOutcome::Failed;
    }

private:
    static int statusOf(std::string_view statusLine)
    {
        const std::size_t space = statusLine.find(' ');
        int status = 0;
        for (std::size_t i = space + 1; space != std::string_view::npos && i < statusLine.size();
             ++i) {
            const char c = statusLine[i];
            if (c < '0' || c > '9')
                break;
            status = status * 10 + (c - '0');
            if (status > 999)
                break;
        }
        return status;
    }

    // The final answer is here: false ends the transfer.
    bool onFinalHead()
    {
        m_answered = true;
        if (m_status >= 400 || !m_file.create(m_folder, m_fileName)) {
            m_failed = true;
            return false;
        }
        return true;
    }

    const int m_folder;
    const std::string& m_fileName;
    const std::function<bool()>& m_cancelled;
    DownloadFile m_file;
    int m_status = 0;
    bool m_hasLocation = false;
    bool m_inHead = false;
    bool m_answered = false;  // the final answer's head arrived
    bool m_failed = false;
    bool m_wasCancelled = false;
};

// No exception may cross curl's C frames: one ends the transfer instead.
size_t headerCallback(char* data, size_t size, size_t count, void* transfer)
{
    const std::size_t length = size * count;
    try {
        return static_cast<Transfer*>(transfer)->onHeaderLine({data, length}) ? length : 0;
    } catch (...) {
        return 0;
    }
}

size_t writeCallback(char* data, size_t size, size_t count, void* transfer)
{
    const std::size_t length = size * count;
    try {
        return static_cast<Transfer*>(transfer)->onBody(data, length) ? length
                                                                      : CURL_WRITEFUNC_ERROR;
    } catch (...) {
        return CURL_WRITEFUNC_ERROR;
    }
}

int progressCallback(void* transfer, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    try {
        return static_cast<Transfer*>(transfer)->askCancelled() ? 1 : 0;
    } catch (...) {
        return 1;
    }
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

CurlFetcher::CurlFetcher(FetchLimits limits, TlsTrust trust)
    : m_limits(limits)
    , m_trust(std::move(trust))
{}

EntryOutcome CurlFetcher::fetch(std::string_view url, int folder, const std::string& fileName,
                                const std::function<bool()>& cancelled)
{
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy)
        return EntryOutcome::NoHandle;
    // A URL must name its scheme: curl would otherwise guess one and look the
    // text up as a host name.
    if (!hasFetchableScheme(url))
        return EntryOutcome::NotOpened;

    // Appending to a list keeps its head, so the owner stays valid.
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache"))
        return EntryOutcome::NotOpened;

    Transfer transfer(folder, fileName, cancelled);
    const std::string wireUrl = encodeUrlForRequest(url);
    CURL* handle = easy.get();
    bool ok = curl_easy_setopt(handle, CURLOPT_URL, wireUrl.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_USERAGENT, "roviroze") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReadChunk) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK;
    ok = ok
        && curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                            static_cast<long>(m_limits.connectTimeout.count()))
            == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok
        && curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                            static_cast<long>(m_limits.lowSpeedTime.count()))
            == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, headerCallback) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeCallback) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, progressCallback) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    // https entries are checked as the page fetch checks its pages.
    ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!m_trust.caFile.empty())
        ok = ok && curl_easy_setopt(handle, CURLOPT_CAINFO, m_trust.caFile.c_str()) == CURLE_OK;
    if (!m_trust.caDir.empty())
        ok = ok && curl_easy_setopt(handle, CURLOPT_CAPATH, m_trust.caDir.c_str()) == CURLE_OK;
    if (!ok)
        return EntryOutcome::NotOpened;

    const CURLcode result = curl_easy_perform(handle);
    // The file is put in place or removed inside finish(), before the handle goes.
    return transfer.finish(result);
}

}  // namespace vel
