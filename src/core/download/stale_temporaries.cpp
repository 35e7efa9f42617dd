#include "core/download/stale_temporaries.h"

#include <ctime>
#include <string_view>

#include "core/io/directory_handle.h"

namespace vel {

namespace {

bool isTemporaryName(std::string_view name)
{
    constexpr std::string_view kPrefix = ".vel-";
    constexpr std::string_view kSuffix = ".part";
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix)
        && name.ends_with(kSuffix);
}

}  // namespace

int removeStaleTemporaries(int folder, std::chrono::system_clock::time_point now)
{
    const std::time_t limit = std::chrono::system_clock::to_time_t(now - kStaleTemporaryAge);
    return removeRegularFilesAt(folder, [limit](std::string_view name, std::time_t written) {
        return isTemporaryName(name) && written < limit;
    });
}

}  // namespace vel
