#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "core/download/download_rules.h"

namespace vel {

// Time limits that keep a dead server from holding an entry forever.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    // The transfer ends when no byte arrives for this long (whole seconds).
    std::chrono::seconds lowSpeedTime{60};
};

// The certificates an https entry is checked against: libcurl's own CA
// bundle, unless these name others. Verification is never switched off.
struct TlsTrust {
    std::string caFile;  // a bundle file (CURLOPT_CAINFO) when not empty
    std::string caDir;  // a hashed certificate folder (CURLOPT_CAPATH) when not empty
};

// SSL_CERT_FILE and SSL_CERT_DIR, where set, as OpenSSL itself reads them.
TlsTrust tlsTrustFromEnvironment();

// Fetches one URL into one file with a libcurl easy handle of its own, opened
// and released inside fetch(): user agent "roviroze", the environment's proxy
// settings, never a cached copy, up to 10 redirects, http and https only.
// Once the final answer's head has arrived, a status of 400 or more ends the
// transfer; otherwise the file is started (see DownloadFile, also for an empty
// body), each read of at most 1024 bytes written to it at once, and the file
// put in place under its name only when libcurl reports the body complete.
// libcurl must have been set up beforehand (a CurlGlobal, which main()
// creates before any other thread).
class CurlFetcher {
public:
    explicit CurlFetcher(FetchLimits limits = {}, TlsTrust trust = tlsTrustFromEnvironment());

    // `folder` is the target folder's directory descriptor, borrowed for the
    // call; `fileName` is in the file system's bytes; `cancelled` is asked at
    // every read and while waiting, and ends the transfer when it returns true.
    EntryOutcome fetch(std::string_view url, int folder, const std::string& fileName,
                       const std::function<bool()>& cancelled);

private:
    FetchLimits m_limits;
    TlsTrust m_trust;
};

}  // namespace vel
