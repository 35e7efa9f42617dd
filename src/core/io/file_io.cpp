#include "core/io/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace fs = std::filesystem;

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

// Unique enough for a name that is then created with O_EXCL and retried.
std::string temporarySuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value = static_cast<std::uint64_t>(::getpid()) << 40;
    value ^= counter.fetch_add(1, std::memory_order_relaxed) << 20;
    value ^=
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void syncDirectory(const fs::path& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

fs::path directoryOf(const fs::path& file)
{
    const fs::path parent = file.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

std::optional<FileId> fileId(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

FileRead readFileBounded(const fs::path& path, std::size_t maxBytes)
{
    FileRead result;
    // O_NONBLOCK: a FIFO at the name must not hang the start-up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.status =
            (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        result.status = ReadStatus::Failed;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        result.status = S_ISDIR(st.st_mode) ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }

    result.status = ReadStatus::Ok;
    const auto size = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
    // One byte more than the stated size, so the end shows without a second round.
    result.bytes.resize(std::min(size + 1, maxBytes));
    std::size_t total = 0;
    for (;;) {
        if (total == result.bytes.size()) {
            if (total == maxBytes)
                break;
            result.bytes.resize(std::min(maxBytes, total * 2 + 4096));
        }
        const ssize_t got = ::read(fd, result.bytes.data() + total, result.bytes.size() - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.status = ReadStatus::Failed;
            break;
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    if (result.status == ReadStatus::Ok && total == maxBytes) {
        char extra = 0;
        ssize_t got = 0;
        do {
            got = ::read(fd, &extra, 1);
        } while (got < 0 && errno == EINTR);
        result.truncated = got > 0;
    }
    ::close(fd);
    result.bytes.resize(total);
    return result;
}

bool isWritable(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if ((st.st_mode & kAnyWriteBit) == 0)
        return false;
    return ::access(path.c_str(), W_OK) == 0;
}

bool isWritableAt(int dirFd, const std::string& name)
{
    // A negative descriptor never stands for the current directory here.
    if (dirFd < 0)
        return false;
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, 0) != 0)
        return false;
    if ((st.st_mode & kAnyWriteBit) == 0)
        return false;
    return ::faccessat(dirFd, name.c_str(), W_OK, 0) == 0;
}

AtomicFileWriter::AtomicFileWriter(fs::path target)
    : m_target(std::move(target))
{}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed)
        discard();
}

bool AtomicFileWriter::write(std::string_view bytes)
{
    if (!m_temporary.empty() || m_committed)
        return false;

    std::error_code ec;
    if (fs::is_symlink(m_target, ec)) {
        fs::path resolved = fs::canonical(m_target, ec);
        if (!ec)
            m_target = std::move(resolved);
    }

    // An existing file must be a writable regular file; its mode carries over.
    std::optional<mode_t> keptMode;
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || !isWritable(m_target))
            return false;
        keptMode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    // Hidden, beside the target: the rename stays within one file system. The
    // directory is judged like a file, so one without write permission refuses
    // new files also for root.
    const fs::path directory = directoryOf(m_target);
    if (!isWritable(directory))
        return false;
    std::string stem = ".";
    stem += m_target.filename().string();
    stem += ".tmp-";
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        const fs::path candidate = directory / (stem + temporarySuffix());
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            m_temporary = candidate;
        else if (errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    if (keptMode)
        ::fchmod(fd, *keptMode);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        discard();
        return false;
    }
    return true;
}

bool AtomicFileWriter::commit()
{
    if (m_temporary.empty() || m_committed)
        return false;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        discard();
        return false;
    }
    m_committed = true;
    m_temporary.clear();
    syncDirectory(directoryOf(m_target));
    return true;
}

void AtomicFileWriter::discard()
{
    if (m_temporary.empty())
        return;
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool writeFileAtomically(const fs::path& target, std::string_view bytes)
{
    AtomicFileWriter writer(target);
    return writer.write(bytes) && writer.commit();
}

std::optional<fs::path> keepBackupCopy(const fs::path& file, std::string_view bytes)
{
    // Far more than anyone keeps; past it the folder is not sane to write into.
    constexpr int kMaxBackups = 1000;
    const std::string base = file.string() + ".bak";
    for (int number = 0; number < kMaxBackups; ++number) {
        const fs::path candidate = number == 0 ? base : base + "." + std::to_string(number);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(candidate, ec);
        if (status.type() == fs::file_type::not_found) {
            if (!writeFileAtomically(candidate, bytes))
                return std::nullopt;
            return candidate;
        }
        if (ec || status.type() != fs::file_type::regular)
            continue;
        const FileRead existing = readFileBounded(candidate, bytes.size());
        if (existing.status == ReadStatus::Ok && !existing.truncated && existing.bytes == bytes)
            return candidate;
    }
    return std::nullopt;
}

}  // namespace vel
