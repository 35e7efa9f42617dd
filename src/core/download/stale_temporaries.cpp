#include "core/download/stale_temporaries.h"

#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

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
    // The listing needs a descriptor of its own: closedir closes it.
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listing));
    if (!dir) {
        ::close(listing);
        return 0;
    }
    const auto limit = std::chrono::system_clock::to_time_t(now - kStaleTemporaryAge);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isTemporaryName(entry->d_name))
            continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(info.st_mode) || info.st_mtime >= limit)
            continue;
        if (::unlinkat(folder, entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

}  // namespace vel
