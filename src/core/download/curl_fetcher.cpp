#include "core/download/curl_fetcher.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
    // included) to create the file as soon as the final one is complete.
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
                return openFile();
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
        if (!m_file.isOpen() && !openFile())
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

    EntryOutcome finish(CURLcode result)
    {
        if (m_wasCancelled) {
            m_file.close();
            return EntryOutcome::Cancelled;
        }
        if (result == CURLE_OK && !m_created)
            openFile();
        if (!m_created)
            return m_failed ? EntryOutcome::Failed : EntryOutcome::NotOpened;
        const bool closed = m_file.close();
        return result == CURLE_OK && closed && !m_failed ? EntryOutcome::Stored
                                                         : EntryOutcome::Failed;
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

    bool openFile()
    {
        if (m_created)
            return true;
        m_created = m_file.create(m_folder, m_fileName);
        if (!m_created)
            m_failed = true;
        return m_created;
    }

    const int m_folder;
    const std::string& m_fileName;
    const std::function<bool()>& m_cancelled;
    DownloadFile m_file;
    int m_status = 0;
    bool m_hasLocation = false;
    bool m_inHead = false;
    bool m_created = false;
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

CurlFetcher::CurlFetcher(FetchLimits limits)
    : m_limits(limits)
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
    if (!ok)
        return EntryOutcome::NotOpened;

    const CURLcode result = curl_easy_perform(handle);
    // The file is closed inside finish(), before the handle goes.
    return transfer.finish(result);
}

}  // namespace vel
