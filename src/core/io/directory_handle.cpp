#include "core/io/directory_handle.h"

#include <memory>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

DirectoryHandle::~DirectoryHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

DirectoryHandle DirectoryHandle::open(const std::filesystem::path& path)
{
    if (path.empty())
        return {};
    return DirectoryHandle(::open(path.c_str(), kDirectoryFlags));
}

DirectoryHandle DirectoryHandle::openAt(int dirFd, const std::string& name)
{
    // A negative descriptor never stands for the current directory here.
    if (dirFd < 0 || name.empty())
        return {};
    return DirectoryHandle(::openat(dirFd, name.c_str(), kDirectoryFlags));
}

int removeRegularFilesAt(
    int dirFd, const std::function<bool(std::string_view name, std::time_t written)>& chosen)
{
    // The listing needs a descriptor of its own: closedir closes it.
    const int listing = ::openat(dirFd, ".", kDirectoryFlags);
    if (listing < 0)
        return 0;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listing));
    if (!dir) {
        ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && chosen(entry->d_name, info.st_mtime)
            && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

}  // namespace vel
