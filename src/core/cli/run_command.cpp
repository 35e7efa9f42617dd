#include "core/cli/run_command.h"

#include <memory>
#include <string>
#include <vector>

#include "core/download/download_root.h"
#include "core/history/download_history.h"
#include "core/http/http_client.h"
#include "core/patrol/patrol.h"
#include "core/settings/extension_list_file.h"
#include "core/sitelist/site_grid.h"
#include "core/sitelist/site_list_file.h"

namespace vel {

namespace {

constexpr std::size_t kBarWidth = 20;

void print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// One line per site; on a terminal a bar below them shows the site running.
class PrintingObserver final : public PatrolObserver {
public:
    explicit PrintingObserver(const CommandContext& context)
        : m_context(context)
    {}

    void siteStarted(std::size_t position, std::size_t total, std::string_view siteName,
                     std::string_view) override
    {
        m_total = total;
        if (m_context.outIsTerminal)
            print(m_context.out, "\r\x1b[K" + patrolProgressBar(position, total, siteName));
    }

    void siteFinished(std::size_t position, const SiteReport& report) override
    {
        std::string line = m_context.outIsTerminal ? "\r\x1b[K" : "";
        line += std::to_string(position + 1) + "/" + std::to_string(m_total) + " " + report.name;
        line += ": " + report.rowText.value_or(std::string(kPatrolStoppedText)) + "\n";
        print(m_context.out, line);
    }

    void patrolFinished(const PatrolSummary&, std::string_view statusText) override
    {
        print(m_context.out,
              std::string(m_context.outIsTerminal ? "\r\x1b[K" : "") + std::string(statusText)
                  + "\n");
    }

    bool cancelled() override
    {
        return m_context.stop && m_context.stop->load(std::memory_order_relaxed);
    }

private:
    const CommandContext& m_context;
    std::size_t m_total = 0;
};

int fail(const CommandContext& context, const std::string& text)
{
    print(context.err, "vel: " + text + "\n");
    return 1;
}

int patrolCommand(const CommandLine& line, const CommandContext& context)
{
    if (!context.client || !context.downloader)
        return fail(context, "cannot fetch anything");
    const std::filesystem::path folder =
        line.settingsFolder ? std::filesystem::path(*line.settingsFolder) : context.startFolder;
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, folder);
    if (load.status != SiteListLoadStatus::Loaded)
        return fail(context, "cannot read the site list " + (folder / kSiteListFileName).string());

    PatrolRequest request;
    if (line.extension) {
        request.extension = *line.extension;
    } else {
        const std::vector<std::string> extensions = readExtensionList(folder);
        if (extensions.empty() || extensions.front().empty())
            return fail(context,
                        "no extension: " + (folder / kExtensionListFileName).string()
                            + " names none; give one with --extension EXT");
        request.extension = extensions.front();
    }

    DownloadHistory::Opening opening = DownloadHistory::open(folder / kHistoryFileName);
    if (opening.state == HistoryOpenState::SetAside)
        print(context.err,
              "vel: the damaged download history was set aside as " + opening.setAsideAs.string()
                  + "; a new one is started\n");
    else if (!opening.history)
        print(context.err,
              "vel: no download history in " + folder.string()
                  + " (cannot be written): every file counts as new\n");

    request.sites = patrolSites(grid);
    request.downloadRoot = downloadRoot({folder, folder, context.userDownloads});
    request.dateFolder = context.dateFolder;
    request.codePageToUtf8 = context.codePageToUtf8;
    request.history = opening.history.get();
    PrintingObserver observer(context);
    context.client->resetAbort();
    const PatrolSummary summary =
        runPatrol(request, *context.client, *context.downloader, observer);
    return summary.stopped || summary.failures > 0 ? 1 : 0;
}

}  // namespace

std::string patrolProgressBar(std::size_t position, std::size_t total, std::string_view siteName)
{
    const std::size_t filled = total == 0 ? 0 : position * kBarWidth / total;
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] "
        + std::to_string(position + 1) + "/" + std::to_string(total) + " " + std::string(siteName);
}

int runCommand(const CommandLine& line, const CommandContext& context)
{
    switch (line.mode) {
    case CommandMode::Help:
        print(context.out, commandLineHelp());
        return 0;
    case CommandMode::Version:
        print(context.out, "vel " + std::string(kVelVersion) + "\n");
        return 0;
    case CommandMode::Patrol:
        return patrolCommand(line, context);
    case CommandMode::Window:
    case CommandMode::BadUsage:
        break;
    }
    print(context.err,
          "vel: " + (line.error.empty() ? std::string("needs a window") : line.error) + "\n"
              + commandLineUsage() + "Try 'vel --help' for the options.\n");
    return 2;
}

}  // namespace vel
