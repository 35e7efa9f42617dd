#include "core/download/download_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/download/download_rules.h"
#include "core/io/file_io.h"

namespace vel {

DownloadFile::~DownloadFile()
{
    close();
}

bool DownloadFile::create(int dirFd, const std::string& name)
{
    close();
    // A negative descriptor never stands for the current directory here.
    if (dirFd < 0 || !isSafeLocalName(name))
        return false;

    struct stat existing {};
    if (::fstatat(dirFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        // A file without write permission keeps its content, for root too.
        if (!S_ISREG(existing.st_mode) || !isWritableAt(dirFd, name))
            return false;
        if (::unlinkat(dirFd, name.c_str(), 0) != 0)
            return false;
    } else if (errno != ENOENT) {
        return false;
    }

    // O_EXCL also refuses a symbolic link planted between the unlink and here.
    m_fd =
        ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

bool DownloadFile::write(const char* data, std::size_t size)
{
    if (m_fd < 0)
        return false;
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool DownloadFile::close()
{
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
}

}  // namespace vel
