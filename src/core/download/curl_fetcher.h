#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace vel {

// How one download entry ended.
enum class EntryOutcome {
    NoHandle,  // the library gave no handle: nothing was opened
    NotOpened,  // no response arrived (lookup, refusal, malformed URL, time-out,
                // a scheme other than http or https): no file was created
    Stored,  // the response's body, whatever its status, is in the file
    Failed,  // the file could not be created or written, or the transfer
             // broke after the response arrived (the partial file stays)
    Cancelled,  // the caller asked to stop; the partial file stays
};

// Time limits that keep a dead server from holding an entry forever.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    // The transfer ends when no byte arrives for this long (whole seconds).
    std::chrono::seconds lowSpeedTime{60};
};

// Fetches one URL into one file with a libcurl easy handle of its own, opened
// and released inside fetch(): user agent "roviroze", the environment's proxy
// settings, never a cached copy, up to 10 redirects, http and https only.
// The file is created in the target folder once the final response's head
// has arrived (also for an empty body), and each read of at most 1024 bytes
// is written to it at once. libcurl must have been set up beforehand (a
// CurlGlobal, which main() creates before any other thread).
class CurlFetcher {
public:
    explicit CurlFetcher(FetchLimits limits = {});

    // `folder` is the target folder's directory descriptor, borrowed for the
    // call; `fileName` is in the file system's bytes; `cancelled` is asked at
    // every read and while waiting, and ends the transfer when it returns true.
    EntryOutcome fetch(std::string_view url, int folder, const std::string& fileName,
                       const std::function<bool()>& cancelled);

private:
    FetchLimits m_limits;
};

}  // namespace vel
