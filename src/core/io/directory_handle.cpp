#include "core/io/directory_handle.h"

#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vel {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

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

}  // namespace vel
