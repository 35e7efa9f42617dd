#include "core/pictures/picture_cache.h"

#include <cerrno>
#include <ctime>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/history/file_digest.h"
#include "core/io/directory_handle.h"

namespace vel {

namespace {

bool isCacheName(std::string_view name)
{
    if (name.starts_with(".vel-") && name.ends_with(".part"))
        return true;
    if (name.size() != 64)
        return false;
    for (const char c : name) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// Bodies and temporaries an earlier run left; nothing else is touched.
void removeEarlierRuns(int folder)
{
    removeRegularFilesAt(folder,
                         [](std::string_view name, std::time_t) { return isCacheName(name); });
}

}  // namespace

CachedBody::~CachedBody()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

CachedBody::CachedBody(CachedBody&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_size(other.m_size)
{}

std::optional<std::string> CachedBody::readAll() const
{
    std::string bytes(m_size, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

PictureCache::PictureCache(const std::filesystem::path& folder, std::uint64_t capacity)
    : m_used(capacity)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    m_folder = DirectoryHandle::open(folder);
    if (m_folder.valid())
        removeEarlierRuns(m_folder.get());
}

std::string PictureCache::fileNameFor(std::string_view url)
{
    return sha256Hex(url);
}

void PictureCache::added(std::string_view url, std::uint64_t size)
{
    const std::lock_guard lock(m_mutex);
    for (const std::string& name : m_used.put(fileNameFor(url), size))
        ::unlinkat(m_folder.get(), name.c_str(), 0);
}

std::optional<CachedBody> PictureCache::open(std::string_view url)
{
    const std::string name = fileNameFor(url);
    const std::lock_guard lock(m_mutex);
    if (!m_folder.valid() || !m_used.touch(name))
        return std::nullopt;
    const int fd = ::openat(m_folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        m_used.erase(name);
        return std::nullopt;
    }
    return CachedBody(fd, static_cast<std::uint64_t>(info.st_size));
}

bool PictureCache::contains(std::string_view url) const
{
    const std::lock_guard lock(m_mutex);
    return m_used.contains(fileNameFor(url));
}

std::uint64_t PictureCache::totalBytes() const
{
    const std::lock_guard lock(m_mutex);
    return m_used.total();
}

}  // namespace vel
