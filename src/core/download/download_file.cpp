#include "core/download/download_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/download/download_rules.h"
#include "core/io/file_io.h"

namespace vel {

namespace {

constexpr int kNameAttempts = 32;

// ".vel-XXXXXX.part": hidden in the date folder; created with O_EXCL, so a
// name already taken is simply tried again.
std::string temporaryName()
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator = [] {
        std::uint64_t seed =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
            ^ (static_cast<std::uint64_t>(::getpid()) << 32);
        try {
            seed ^= std::random_device{}();
        } catch (...) {
            // The clock and the process id are enough for a name tried with O_EXCL.
        }
        return std::mt19937_64(seed);
    }();
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = ".vel-";
    for (int i = 0; i < 6; ++i)
        name.push_back(kLetters[pick(generator)]);
    name += ".part";
    return name;
}

}  // namespace

bool mayReplace(int dirFd, const std::string& name)
{
    struct stat existing {};
    if (::fstatat(dirFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    // A file without write permission keeps its content, for root too.
    return S_ISREG(existing.st_mode) && isWritableAt(dirFd, name);
}

DownloadFile::~DownloadFile()
{
    discard();
}

bool DownloadFile::create(int dirFd, const std::string& name)
{
    discard();
    // A negative descriptor never stands for the current directory here.
    if (dirFd < 0 || !isSafeLocalName(name) || !mayReplace(dirFd, name))
        return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryName();
        // O_EXCL and O_NOFOLLOW: never through a link, never over anything there.
        const int fd = ::openat(dirFd, candidate.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_dirFd = dirFd;
            m_fd = fd;
            m_name = name;
            m_temporary = std::move(candidate);
            return true;
        }
        if (errno != EEXIST && errno != EINTR)
            return false;
    }
    return false;
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

bool DownloadFile::commit()
{
    if (m_fd < 0)
        return false;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    // Checked again right before the rename: the name may have changed while
    // the body arrived. renameat replaces a link itself, never its target.
    if (!closed || !mayReplace(m_dirFd, m_name)
        || ::renameat(m_dirFd, m_temporary.c_str(), m_dirFd, m_name.c_str()) != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    m_dirFd = -1;
    return true;
}

void DownloadFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_temporary.c_str(), 0);
    m_temporary.clear();
    m_dirFd = -1;
}

}  // namespace vel
