#pragma once

#include <chrono>

#include "core/http/abort_signal.h"

namespace vel {

enum class WaitResult { Ready, TimedOut, Aborted, Failed };

// Waits until `fd` reports one of `events` (poll flags), the abort signal is
// raised or the deadline passes. An abort wins over readiness.
WaitResult waitForDescriptor(int fd, short events, const AbortSignal& abort,
                             std::chrono::steady_clock::time_point deadline);

}  // namespace vel
