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
    std::vector<std::string_view> operands;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            operands.push_back(argument);
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
    // The window shows one page; the patrol shows none.
    if (operands.size() > (patrol ? 0 : 1))
        return badUsage("unexpected argument " + std::string(operands[patrol ? 0 : 1]));
    if (!patrol && (line.settingsFolder || line.extension))
        return badUsage(std::string(line.settingsFolder ? "--settings" : "--extension")
                        + " goes with --patrol");
    if (!operands.empty())
        line.page = std::string(operands.front());
    line.mode = patrol ? CommandMode::Patrol : CommandMode::Window;
    return line;
}

std::string commandLineUsage()
{
    return "Usage: vel [URL] | --patrol [--settings DIR] [--extension EXT]\n";
}

std::string commandLineHelp()
{
    return commandLineUsage()
        + "\n"
          "Without --patrol VEL opens its window, showing URL when one is given.\n"
          "When VEL already runs, URL opens in that window and this one ends.\n"
          "\n"
          "  --patrol         visit every site of the site list without a window, and\n"
          "                   download the files the download history does not hold\n"
          "                   into down/<yyyymmdd>/<site>/ (an installed VEL without\n"
          "                   down: into <Downloads>/VEL/<yyyymmdd>/<site>/)\n"
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
