#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/socket.h>

#include "core/http/abort_signal.h"
#include "core/http/fetch_error.h"

namespace vel {

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

struct LookupResult {
    FetchError error = FetchError::None;  // LookupFailed, ConnectTimedOut or Aborted
    std::vector<SocketAddress> addresses;
};

// Resolves a host for a TCP connection. A name lookup runs on a short-lived
// helper thread, so the wait ends on abort or at the deadline even while the
// resolver is stuck; the helper finishes on its own and touches nothing of the
// caller. Numeric addresses are read at once.
LookupResult lookupHost(const std::string& host, std::uint16_t port, const AbortSignal& abort,
                        std::chrono::steady_clock::time_point deadline);

}  // namespace vel
