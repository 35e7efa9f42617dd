#pragma once

#include <filesystem>
#include <string>

namespace vel {

// Whether VEL runs installed: its own directory cannot be written (a
// portable copy keeps its files beside the program).
bool runsInstalled(const std::filesystem::path& executableDirectory);

// The program's own directory, where the site list and the extension list are
// written: the executable's directory when it is writable (a portable copy keeps
// its files beside the program), otherwise the per-user data directory the
// caller passes (an installed program), created when missing. Without a per-user
// directory the executable's directory stays. A directory that cannot be created
// only shows later, as settings that are not written.
std::filesystem::path programDirectory(const std::filesystem::path& executableDirectory,
                                       const std::string& perUserDataDirectory);

}  // namespace vel
