#include "core/cli/command_line.h"

#include <utility>

namespace vel {

namespace {

CommandLine badUsage(std::string error)
{
    CommandLine line;
    line.mode = CommandMode::BadUsage;
    line.error = std::move(error);
    return line;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments)
{
    CommandLine line;
    bool patrol = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            line.operands.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (name == "--help" || name == "-h" || name == "--version") {
            if (equals != std::string_view::npos)
                return badUsage(std::string(name) + " takes no value");
            line.mode = name == "--version" ? CommandMode::Version : CommandMode::Help;
            return line;
        }
        if (name == "--patrol") {
            if (equals != std::string_view::npos)
                return badUsage("--patrol takes no value");
            if (patrol)
                return badUsage("--patrol is given twice");
            patrol = true;
            continue;
        }
        std::optional<std::string>* slot = name == "--settings" ? &line.settingsFolder
            : name == "--extension"                             ? &line.extension
                                                                : nullptr;
        if (!slot)
            return badUsage("unknown option " + std::string(name));
        if (*slot)
            return badUsage(std::string(name) + " is given twice");
        std::string_view value;
        if (equals != std::string_view::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        if (value.empty())
            return badUsage(std::string(name) + " needs a value");
        *slot = std::string(value);
    }
    // Operands are for a mode that opens pages; none does yet.
    if (!line.operands.empty())
        return badUsage("unexpected argument " + line.operands.front());
    if (!patrol && (line.settingsFolder || line.extension))
        return badUsage(std::string(line.settingsFolder ? "--settings" : "--extension")
                        + " goes with --patrol");
    line.mode = patrol ? CommandMode::Patrol : CommandMode::Window;
    return line;
}

std::string commandLineHelp()
{
    return "Usage: vel [--patrol [--settings DIR] [--extension EXT]]\n"
           "\n"
           "Without options VEL opens its window.\n"
           "\n"
           "  --patrol         visit every site of the site list without a window, and\n"
           "                   download the files the download history does not hold\n"
           "                   into down/<yyyymmdd>/<site>/\n"
           "  --settings DIR   the folder with config.bin, config.lis, history.db and\n"
           "                   down (default: the folder VEL starts in)\n"
           "  --extension EXT  the extension to look for (default: the first of\n"
           "                   config.lis)\n"
           "  -h, --help       show this help and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "Exit status of --patrol: 0 when every site was searched and every file\n"
           "stored or skipped, 1 when anything failed, 2 on bad usage.\n";
}

}  // namespace vel
