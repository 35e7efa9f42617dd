#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vel {

// Owns one open directory. Files are named relative to it (openat and the
// like), so nothing depends on the process's current directory, which other
// threads may be using. Move-only; the descriptor closes with the handle.
class DirectoryHandle {
public:
    DirectoryHandle() = default;
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    // The directory at `path` (a symbolic link to one counts); an invalid
    // handle when there is none or it cannot be opened. An empty path names
    // nothing.
    static DirectoryHandle open(const std::filesystem::path& path);
    // The directory `name` inside the directory `dirFd`, the same way.
    static DirectoryHandle openAt(int dirFd, const std::string& name);

    // The descriptor, or -1; it stays owned by the handle.
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    explicit DirectoryHandle(int fd)
        : m_fd(fd)
    {}

    int m_fd = -1;
};

// Removes the regular files (never links, folders or others) directly inside
// the directory `dirFd` for which `chosen` answers true, given each one's name
// and the time it was last written. Failures are passed over. Returns how many
// were removed.
int removeRegularFilesAt(
    int dirFd, const std::function<bool(std::string_view name, std::time_t written)>& chosen);

}  // namespace vel
