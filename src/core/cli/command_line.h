#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

inline constexpr std::string_view kVelVersion = "1.0";

// What the command line asks VEL to do.
enum class CommandMode {
    Window,  // the usual: open the window (showing `page` when given)
    Patrol,  // patrol the site list without a window (--patrol)
    Help,  // print the options (--help)
    Version,  // print the version (--version)
    BadUsage,  // print `error` and how to get help; exit status 2
};

struct CommandLine {
    CommandMode mode = CommandMode::Window;
    // --settings DIR: the folder holding the settings files, history.db and
    // `down`, instead of the folder VEL starts in.
    std::optional<std::string> settingsFolder;
    // --extension EXT: the extension searched for instead of config.lis's first.
    std::optional<std::string> extension;
    // Window: the address to show, as given (the one argument that is no
    // option; after "--" every argument is one).
    std::optional<std::string> page;
    std::string error;  // BadUsage: what is wrong, in English
};

// Reads the arguments after the program's name, in order. An option's value
// is the next argument or follows "=" (--settings=DIR). --help or --version
// ends the reading (what follows is not looked at). An unknown option, a
// missing or empty value, an option given twice, --settings or --extension
// without --patrol, an address with --patrol and a second address are bad
// usage.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments);

// The text --help prints.
std::string commandLineHelp();

// The first line of the help: what bad usage prints after its error.
std::string commandLineUsage();

}  // namespace vel
