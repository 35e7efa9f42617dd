#pragma once

#include <filesystem>
#include <utility>

namespace vel {

// The folder the program names its files relative to. It starts as the folder
// VEL was started in (where the settings are read) and becomes the program's
// own folder once a settings file is written there, so later reads and writes
// (the start page, the download folder) follow it. The process's current
// directory is never changed for this: other threads may be resolving names.
class WorkingFolder {
public:
    explicit WorkingFolder(std::filesystem::path start)
        : m_path(std::move(start))
    {}

    const std::filesystem::path& path() const { return m_path; }
    void moveTo(std::filesystem::path folder) { m_path = std::move(folder); }

private:
    std::filesystem::path m_path;
};

}  // namespace vel
