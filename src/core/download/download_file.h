#pragma once

#include <cstddef>
#include <string>

namespace vel {

// The file one download entry is stored in, created in the target folder (a
// directory descriptor) and written chunk by chunk as the body arrives.
class DownloadFile {
public:
    DownloadFile() = default;
    ~DownloadFile();
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Creates `name` (file-system bytes) in the directory `dirFd` for writing;
    // a negative descriptor creates nothing. An existing regular file
    // that may be written is replaced by a new, empty one (unlinked first, so a
    // hard link elsewhere keeps its content). Anything else at the name (a
    // symbolic link, a directory, a FIFO, a read-only file) is left untouched
    // and creation fails; so does a name that could leave the folder (empty,
    // ".", "..", holding "/"). The new file is never reached through a link.
    bool create(int dirFd, const std::string& name);

    // Writes all the bytes or fails.
    bool write(const char* data, std::size_t size);

    bool isOpen() const { return m_fd >= 0; }

    // Closes the file; false when the close reports an error (a lost write).
    bool close();

private:
    int m_fd = -1;
};

}  // namespace vel
