#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/io/directory_handle.h"
#include "core/pictures/lru_bytes.h"

namespace vel {

inline constexpr std::uint64_t kPictureCacheBytes = std::uint64_t{1} << 30;

// A complete body read from the cache: an open descriptor of its own and its size.
class CachedBody {
public:
    CachedBody(int fd, std::uint64_t size)
        : m_fd(fd)
        , m_size(size)
    {}
    ~CachedBody();
    CachedBody(CachedBody&& other) noexcept;
    CachedBody& operator=(CachedBody&&) = delete;
    CachedBody(const CachedBody&) = delete;
    CachedBody& operator=(const CachedBody&) = delete;

    int fd() const { return m_fd; }
    std::uint64_t size() const { return m_size; }
    // Reads the whole body; empty when it cannot be read whole.
    std::optional<std::string> readAll() const;

private:
    int m_fd;
    std::uint64_t m_size;
};

// The bodies fetched in this run, byte for byte as the servers sent them, one
// file per URL in a folder of their own, so that a file is asked of its server
// once. The folder is kept within its byte budget, the least recently used
// body out first; bodies of earlier runs are stale and removed when the cache
// opens. Files are written into folder() under a temporary name and renamed to
// fileNameFor(url) when complete (DownloadFile), then announced with added().
// Safe to use from several threads.
class PictureCache {
public:
    // Opens `folder`, creating it; an invalid cache (nothing stored, nothing
    // found) when that fails.
    explicit PictureCache(const std::filesystem::path& folder,
                          std::uint64_t capacity = kPictureCacheBytes);

    bool valid() const { return m_folder.valid(); }
    int folder() const { return m_folder.get(); }
    // The body's file name for a URL: the SHA-256 of the URL in hex.
    static std::string fileNameFor(std::string_view url);

    // The body of `url` was put in place; older bodies may go to make room.
    void added(std::string_view url, std::uint64_t size);
    // The body of `url`, opened and marked as used now; nothing when not here.
    std::optional<CachedBody> open(std::string_view url);
    bool contains(std::string_view url) const;
    std::uint64_t totalBytes() const;

private:
    DirectoryHandle m_folder;
    mutable std::mutex m_mutex;
    LruBytes m_used;
};

}  // namespace vel
