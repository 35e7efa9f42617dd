#include "gui/thumbnails/thumbnail_controller.h"

#include <chrono>
#include <utility>

#include <QAction>
#include <QKeySequence>
#include <QWidget>

#include "core/download/entry_request.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/thumbnails/size_filter_dialog.h"
#include "gui/thumbnails/thumbnail_grid.h"
#include "gui/thumbnails/thumbnail_store.h"

namespace vel {

ThumbnailController::ThumbnailController(FoundFilesPanel* panel, QWidget* browserFrame,
                                         ThumbnailServices services, QObject* parent)
    : QObject(parent)
    , m_panel(panel)
    , m_browserFrame(browserFrame)
    , m_services(std::move(services))
{
    m_grid = new ThumbnailGrid(browserFrame->parentWidget());
    m_store =
        new ThumbnailStore(m_services.cacheFolder,
                           {ThumbnailGrid::kThumbnailSide, ThumbnailGrid::kThumbnailSide}, this);
    m_panel->addView(m_grid);
    m_panel->setPictureNotes(
        [this](const FoundEntry& entry) { return m_store->note(keyOf(entry)); });
    connect(m_grid, &ThumbnailGrid::rowsWanted, this, &ThumbnailController::onRowsWanted);
    connect(m_store, &ThumbnailStore::changed, this, [this] {
        m_panel->picturesChanged();
        m_grid->scheduleWantedRows();
    });
    connect(m_store, &ThumbnailStore::measured, this, &ThumbnailController::applyFilter);
    // The browser shows what is opened: the grid makes way for it.
    connect(m_panel, &FoundFilesPanel::openEntryRequested, this,
            [this] { m_viewAction->setChecked(false); });

    m_viewAction = new QAction(QStringLiteral("サムネイル表示"), this);
    m_viewAction->setObjectName(QStringLiteral("thumbnailView"));
    m_viewAction->setCheckable(true);
    m_viewAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_viewAction->setShortcutContext(Qt::WindowShortcut);
    browserFrame->window()->addAction(m_viewAction);
    connect(m_viewAction, &QAction::toggled, this, &ThumbnailController::setGridShown);
    m_panel->addMenuAction(m_viewAction);

    m_filterDialog = new SizeFilterDialog(browserFrame->window());
    connect(m_filterDialog, &SizeFilterDialog::filterConfirmed, this,
            &ThumbnailController::onFilterConfirmed);
    m_filterAction = new QAction(QStringLiteral("サイズで絞り込み"), this);
    m_filterAction->setObjectName(QStringLiteral("sizeFilterAction"));
    connect(m_filterAction, &QAction::triggered, this, [this] {
        m_filterDialog->show();
        m_filterDialog->raise();
    });
}

ThumbnailController::~ThumbnailController()
{
    stop();
}

void ThumbnailController::stop()
{
    m_store->stop();
}

void ThumbnailController::layOut()
{
    m_grid->setGeometry(m_browserFrame->geometry());
}

void ThumbnailController::setGridShown(bool shown)
{
    layOut();
    m_grid->setVisible(shown);
    m_browserFrame->setVisible(!shown);
    if (shown) {
        m_grid->scrollTo(m_grid->currentIndex());
        m_grid->setFocus();
    } else {
        // Nothing out of view is fetched for the grid.
        m_store->want({}, m_services.browserCookies());
    }
}

void ThumbnailController::onRowsWanted(int first, int last)
{
    const std::vector<FoundEntry>& all = m_panel->entries();
    if (first < 0 || last >= static_cast<int>(all.size()) || first > last)
        return;
    m_store->want(requestsFor({all.begin() + first, all.begin() + last + 1}),
                  m_services.browserCookies());
}

std::string ThumbnailController::keyOf(const FoundEntry& entry) const
{
    return entryRequest(entry, m_services.entrySource()).url;
}

std::vector<PictureRequest>
ThumbnailController::requestsFor(const std::vector<FoundEntry>& entries) const
{
    const std::vector<BrowserCookie> cookies = m_services.browserCookies();
    const auto now =
        std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
    std::vector<PictureRequest> requests;
    requests.reserve(entries.size());
    for (const FoundEntry& entry : entries) {
        EntryRequest request = entryRequest(entry, m_services.entrySource(), cookies, now);
        if (!request.url.empty())
            requests.push_back(
                {std::move(request.url), std::move(request.referer), std::move(request.cookie)});
    }
    return requests;
}

void ThumbnailController::onFilterConfirmed(const SizeMinimum& minimum)
{
    if (m_services.listLocked())
        return;
    m_minimum = minimum;
    std::vector<FoundEntry> unknown;
    for (const FoundEntry& entry : m_panel->entries()) {
        if (!m_store->known(keyOf(entry)))
            unknown.push_back(entry);
    }
    m_filtering = true;
    std::vector<PictureRequest> requests = requestsFor(unknown);
    if (requests.empty()) {
        applyFilter();
        return;
    }
    emit statusText(QStringLiteral("%1個のファイルのサイズを調べています").arg(requests.size()));
    m_store->measure(std::move(requests), m_services.browserCookies());
}

void ThumbnailController::applyFilter()
{
    if (!m_filtering)
        return;
    m_filtering = false;
    // A batch that started meanwhile owns the list.
    if (m_services.listLocked())
        return;
    std::vector<PictureFacts> facts;
    facts.reserve(m_panel->entries().size());
    for (const FoundEntry& entry : m_panel->entries())
        facts.push_back(m_store->facts(keyOf(entry)));
    const std::vector<int> rows = rowsBelowMinimum(facts, m_minimum);
    m_panel->removeEntries(rows);
    emit statusText(QStringLiteral("%1個のファイルを除外しました").arg(rows.size()));
}

}  // namespace vel
