#include "core/download/download_all.h"

#include <optional>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "core/download/download_rules.h"

namespace vel {

namespace {

// Failures to change or make a directory are not reported: the batch goes on
// in whatever directory is current.
bool changeDirectory(const char* path)
{
    return ::chdir(path) == 0;
}

// Sets the current directory back to the program's directory however the
// batch ends: other code names its files relative to it.
class ProgramDirRestorer {
public:
    explicit ProgramDirRestorer(const std::filesystem::path& programDir) : m_programDir(programDir) {}
    ~ProgramDirRestorer()
    {
        if (!m_programDir.empty())
            changeDirectory(m_programDir.c_str());
    }
    ProgramDirRestorer(const ProgramDirRestorer&) = delete;
    ProgramDirRestorer& operator=(const ProgramDirRestorer&) = delete;

private:
    const std::filesystem::path& m_programDir;
};

// `down` if it exists, then the date folder, created when missing. Every
// failure leaves the current directory where it is, silently.
void enterTargetFolder(const std::string& dateFolder)
{
    changeDirectory("down");
    if (!isSafeLocalName(dateFolder) || changeDirectory(dateFolder.c_str()))
        return;
    if (::mkdir(dateFolder.c_str(), 0777) == 0)
        changeDirectory(dateFolder.c_str());
}

}  // namespace

CurlDownloader::CurlDownloader(DownloadOptions options) : m_options(std::move(options)) {}

std::string CurlDownloader::fileNameOf(std::string_view url) const
{
    const std::string name = localFileName(url);
    return m_options.fileNameFromCodePage ? m_options.fileNameFromCodePage(name) : name;
}

void CurlDownloader::DownloadAll(const DownloadBatch& batch, DownloadObserver& observer)
{
    ProgramDirRestorer restorer(batch.programDir);
    try {
        observer.setStatusText(kDownloadingText);
        observer.setProgressRange(0, kProgressMaximum);
        observer.setProgress(0);
        const int step = downloadStep(batch.entries.size());
        enterTargetFolder(dateFolderName(batch.shortDate));

        CurlFetcher fetcher(m_options.limits);
        const std::function<bool()> cancelled = [&observer] { return observer.cancelled(); };
        int position = 0;
        for (const std::string& entry : batch.entries) {
            if (cancelled())
                break;
            const std::optional<std::string> url = downloadUrlOfEntry(entry, batch.baseUrl);
            if (!url)
                continue;
            EntryOutcome outcome = EntryOutcome::Failed;
            try {
                outcome = fetcher.fetch(*url, fileNameOf(*url), cancelled);
            } catch (...) {
                // A failure inside one entry never ends the batch.
            }
            if (outcome == EntryOutcome::Cancelled)
                break;
            if (outcome == EntryOutcome::NoHandle)
                observer.showMessage(kNoInternetText);
            if (outcome == EntryOutcome::Failed)
                ::unlink("temp.bin");
            if (outcome != EntryOutcome::Stored && outcome != EntryOutcome::Failed)
                continue;
            if (const std::optional<int> next = progressAfterStep(position, step)) {
                position = *next;
                observer.setProgress(position);
            }
        }
    } catch (...) {
        // Nothing reaches the caller; the closing report still follows.
    }
    try {
        observer.setStatusText(kDownloadFinishedText);
        observer.setProgress(0);
    } catch (...) {
    }
}

}  // namespace vel
