#pragma once

#include <cstddef>
#include <string>

namespace vel {

// The file one download entry is stored in. The body is written to a hidden
// temporary file in the target folder (".vel-XXXXXX.part") and renamed to the
// entry's name only once it is complete, so a failed or stopped transfer
// leaves no partial file and an older file of that name keeps its content.
// A file that is neither committed nor discarded is discarded when the object
// goes.
class DownloadFile {
public:
    DownloadFile() = default;
    ~DownloadFile();
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Starts the file for `name` (file-system bytes) in the directory `dirFd`.
    // Fails, creating nothing, for a negative descriptor, for a name that could
    // leave the folder (empty, ".", "..", holding "/") and when the name may
    // not be replaced (see mayReplace); the temporary file is created without
    // following a link and never over an existing entry.
    bool create(int dirFd, const std::string& name);

    // Writes all the bytes or fails.
    bool write(const char* data, std::size_t size);

    bool isOpen() const { return m_fd >= 0; }

    // Closes the temporary file and renames it to the name, replacing a
    // regular writable file there (a hard link elsewhere keeps the old
    // content). False when the close reports an error (a lost write) or the
    // name has meanwhile become something that may not be replaced; the
    // temporary file is removed then and the name left as it is.
    bool commit();

    // Closes and removes the temporary file; the name is left as it is.
    void discard();

private:
    int m_dirFd = -1;  // borrowed
    int m_fd = -1;
    std::string m_name;
    std::string m_temporary;
};

// Whether a new file may take the name `name` in the directory `dirFd`: true
// when nothing is there or a regular file that may be written; false for a
// symbolic link, a directory, a FIFO or any other special file, and for a
// file without write permission (also for root).
bool mayReplace(int dirFd, const std::string& name);

}  // namespace vel
