#pragma once

#include <chrono>

namespace vel {

// How old a batch's temporary file must be before a later batch takes it for
// a left-over: a transfer that gets no byte for a minute is ended, so no
// running batch (in this window or in `vel --patrol`) writes to a file this old.
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// Removes the temporary files (".vel-*.part") a killed batch left in the
// folder, those last written more than kStaleTemporaryAge before `now`.
// Only regular files of that name pattern go; nothing else is touched and no
// failure is reported. Returns how many were removed.
int removeStaleTemporaries(int folder, std::chrono::system_clock::time_point now);

}  // namespace vel
