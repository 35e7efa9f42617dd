#include "core/io/program_dirs.h"

#include <system_error>

#include "core/io/file_io.h"

namespace vel {

bool runsInstalled(const std::filesystem::path& executableDirectory)
{
    // The same test as for the settings files themselves, so a directory without
    // write permission counts as read-only also when run as root.
    return !isWritable(executableDirectory);
}

std::filesystem::path programDirectory(const std::filesystem::path& executableDirectory,
                                       const std::string& perUserDataDirectory)
{
    if (!runsInstalled(executableDirectory) || perUserDataDirectory.empty())
        return executableDirectory;
    const std::filesystem::path dataDirectory(perUserDataDirectory);
    std::error_code ec;
    std::filesystem::create_directories(dataDirectory, ec);
    return dataDirectory;
}

}  // namespace vel
