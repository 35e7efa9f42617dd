// The download history in the window: opened at start, marks on the entries
// already fetched, and what a batch records.
#include <charconv>
#include <string>

#include "core/download/fetched_entries.h"
#include "core/history/download_history.h"
#include "core/history/history_status.h"
#include "gui/app/main_window.h"
#include "gui/download/download_confirm_dialog.h"
#include "gui/download/download_controller.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/patrol/patrol_controller.h"
#include "gui/search/file_search_controller.h"

namespace vel {

void MainWindow::openHistory()
{
    // Without a program folder (a test's window) there is no place for one.
    if (m_programDirectory.empty())
        return;
    DownloadHistory::Opening opening = DownloadHistory::open(m_programDirectory / kHistoryFileName);
    m_history = std::move(opening.history);
    m_downloads->setHistory(m_history);
    m_patrol->setHistory(m_history);
    m_downloadConfirmDialog->setHistoryAvailable(m_history != nullptr);
    const std::string text = historyOpeningText(opening);
    if (!text.empty())
        setStatusText(QString::fromStdString(text));
}

void MainWindow::markSearchResult()
{
    const int row = m_grid.currentRow();
    const std::string& number = m_grid.cell(SiteGrid::kNumberColumn, row);
    m_searchedSite = HistoryRecord();
    std::from_chars(number.data(), number.data() + number.size(), m_searchedSite.siteNumber);
    m_searchedSite.siteName = m_grid.cell(SiteGrid::kNameColumn, row);
    m_searchedSite.siteUrl = m_grid.cell(SiteGrid::kUrlColumn, row);
    m_searchedSite.pageUrl = m_fileSearch->pageUrl();
    markFetchedEntries();
}

void MainWindow::markFetchedEntries()
{
    if (m_history)
        m_foundFiles->markFetched(
            fetchedTimes(*m_history, m_foundFiles->entries(), m_fileSearch->entrySource()));
}

DownloadHistoryChoice MainWindow::historyChoice() const
{
    return {m_searchedSite, m_downloadConfirmDialog->skipFetched()};
}

}  // namespace vel
