#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/download/download_file.h"
#include "core/download/download_rules.h"
#include "core/history/file_digest.h"

namespace vel {

// Time limits that keep a dead server from holding an entry forever.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    // The transfer ends when no byte arrives for this long (whole seconds).
    std::chrono::seconds lowSpeedTime{60};
};

// When an entry that did not arrive is requested once more.
struct RetryLimits {
    // A 429 or 503 answer whose Retry-After asks for at most this long is
    // asked again after that wait; a longer wait, or none given, fails it.
    std::chrono::seconds maxRetryAfter{120};
    // A connection dropped or reset, or a time-out, is asked again after this.
    std::chrono::milliseconds resetRetryDelay{2'000};
};

// The certificates an https entry is checked against: libcurl's own CA
// bundle, unless these name others. Verification is never switched off.
struct TlsTrust {
    std::string caFile;  // a bundle file (CURLOPT_CAINFO) when not empty
    std::string caDir;  // a hashed certificate folder (CURLOPT_CAPATH) when not empty
};

// SSL_CERT_FILE and SSL_CERT_DIR, where set, as OpenSSL itself reads them.
TlsTrust tlsTrustFromEnvironment();

// What a request for an entry collected from the page the browser shows
// sends besides VEL's own headers (see DownloadItem).
struct BrowserHeaders {
    std::string referer;
    std::string cookie;  // the Cookie header's value for this very URL; empty: none
};

// One entry's transfer: a libcurl easy handle of its own that a batch adds to
// its multi handle: user agent "roviroze", the environment's proxy settings,
// never a cached copy, up to 10 redirects, http and https only. Once the
// final answer's head has arrived, a status of 400 or more ends the transfer;
// otherwise the file is started (see DownloadFile, also for an empty body)
// and each piece of the body is written to it as it arrives. Destroying a
// transfer that did not finish removes its temporary file. libcurl must have
// been set up beforehand (a CurlGlobal, which main() creates before any other
// thread).
class CurlTransfer {
public:
    // `folder` is the target folder's directory descriptor, borrowed for the
    // transfer's life; `fileName` is in the file system's bytes.
    CurlTransfer(int folder, std::string fileName);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Sets the handle up for `url`. Nothing when it is ready to be added to a
    // multi handle; otherwise how the entry ended without a request (NoHandle
    // or NotOpened). With `browser` the request also carries its headers and
    // follows no redirect itself: libcurl would resend the Cookie header to
    // wherever a redirect points, so the batch follows it (redirectTarget)
    // with the cookies of the new URL.
    std::optional<EntryOutcome> prepare(std::string_view url, const FetchLimits& limits,
                                        const TlsTrust& trust,
                                        const BrowserHeaders* browser = nullptr);

    // For a transfer with browser headers that ended (libcurl's `result`) on
    // a redirect: the absolute URL it points to; nothing otherwise.
    std::optional<std::string> redirectTarget(int result) const;

    // The easy handle (a CURL*), valid after a successful prepare().
    void* handle() const;

    // Judges the ended transfer from libcurl's result (a CURLcode). A complete
    // body takes the entry's name, unless `superseded` says a later entry of
    // the same name has already taken it: it is dropped then, yet Stored,
    // since fetched in list order it would have been written and then
    // replaced by that later entry; or unless
    // `sameAsStored` answers true for its size and SHA-256: it is dropped
    // then as SameContent. Every other end removes the temporary file and
    // leaves the name as it was.
    EntryOutcome finish(int result, bool superseded,
                        const std::function<bool(const FileDigest&)>& sameAsStored = {});

    // After finish(): how long to wait before the entry is worth requesting
    // once more (see RetryLimits), judged from libcurl's `result`; nothing
    // when it is not.
    std::optional<std::chrono::milliseconds> retryDelay(int result,
                                                        const RetryLimits& limits) const;

    // The size and SHA-256 of the body, once finish() found it complete.
    const FileDigest& digest() const { return m_digest; }

    const std::string& fileName() const { return m_fileName; }
    // The status code of the last response head (0 before any).
    int status() const { return m_status; }

    // Called from libcurl's callbacks.
    bool onHeaderLine(std::string_view line);
    bool onBody(const char* data, std::size_t size);

private:
    struct Handles;

    bool onFinalHead();
    // The steps of prepare(); `handle` is the easy handle (a CURL*).
    bool makeHeaders(const BrowserHeaders* browser);
    bool setRequestOptions(void* handle) const;
    bool setTransferOptions(void* handle, const FetchLimits& limits);

    std::unique_ptr<Handles> m_handles;
    const int m_folder;
    const std::string m_fileName;
    DownloadFile m_file;
    Sha256 m_hash;  // of the bytes written to the file
    FileDigest m_digest;
    int m_status = 0;
    bool m_hasLocation = false;
    std::string m_retryAfter;  // the last head's Retry-After value
    bool m_inHead = false;
    bool m_answered = false;  // the final answer's head arrived
    bool m_failed = false;
    bool m_followsItself = false;
    bool m_redirected = false;  // the last head was a redirect this transfer does not follow
};

}  // namespace vel
