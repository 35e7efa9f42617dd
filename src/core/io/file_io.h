#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

// A file's identity on disk, to tell whether two paths name the same file.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// The identity of the file a path names (symbolic links followed), or nothing
// when there is no such file or it cannot be examined.
std::optional<FileId> fileId(const std::filesystem::path& path);

enum class ReadStatus {
    Missing,  // no file of that name (a directory of that name counts as none)
    Failed,  // the file exists but could not be opened or read, or is no regular file
    Ok,
};

struct FileRead {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;  // what was read; on Failed, what was read before the error
    bool truncated = false;  // the file holds more than maxBytes
};

// Reads at most maxBytes of a regular file. Never blocks on a FIFO or device and
// never raises: every failure is a status. The settings files are small, so the
// cap only matters for a garbage file, which then loads its beginning.
FileRead readFileBounded(const std::filesystem::path& path, std::size_t maxBytes);

// Whether a file or directory may be written. The permission bits decide first:
// an entry without any write bit is read-only, also for root (for whom access()
// reports everything as writable), so a file the user marked read-only keeps its
// content. access(W_OK) decides the rest (ownership, ACLs, read-only mounts).
bool isWritable(const std::filesystem::path& path);

// isWritable for the entry `name` inside the directory `dirFd`, by the same
// rules; false for a negative descriptor.
bool isWritableAt(int dirFd, const std::string& name);

// Writes a file so that it is never left half-written: the bytes go into a
// temporary file beside the target, are synced, and the temporary file is then
// renamed over the target. A target that exists and is not writable, or is not
// a regular file, is left as it is, as is a directory that is not writable. A symbolic link at the
// target is followed, so the file it points to is replaced and the link stays.
//
// In two steps so a caller (or a test) can stop between them; a writer that is
// destroyed without a successful commit() removes its temporary file.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file and writes and syncs all bytes into it. False
    // when the target may not be replaced or the temporary file fails; the
    // target is untouched either way. Call once.
    bool write(std::string_view bytes);
    // Renames the temporary file over the target. False when that fails (the
    // target is then untouched and the temporary file removed).
    bool commit();

    // Where the bytes were written; empty before write() or after a failure.
    const std::filesystem::path& temporaryPath() const { return m_temporary; }

private:
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    bool m_committed = false;
};

// write() and commit() in one go.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Keeps `bytes` (a file's content about to be replaced) beside `file`, as
// "<file>.bak", or "<file>.bak.1", ".2", ... when that name is taken: by a
// file with other content, or by anything else (a folder, a link, an entry
// that cannot be read). A backup that already holds exactly these bytes is
// kept and counts. No backup is ever replaced. Written with
// writeFileAtomically. The backup's path, or nothing when none could be kept.
std::optional<std::filesystem::path> keepBackupCopy(const std::filesystem::path& file,
                                                    std::string_view bytes);

}  // namespace vel
