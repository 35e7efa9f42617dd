// The patrol as the window shows it: the menu command, the rows' 状態 texts,
// the status bar and the search button, which stops it.
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QKeySequence>
#include <QProgressBar>
#include <QPushButton>

#include "core/download/download_rules.h"
#include "core/patrol/patrol.h"
#include "gui/app/main_window.h"
#include "gui/app/status_bar.h"
#include "gui/common/input_lock.h"
#include "gui/common/qt_text.h"
#include "gui/desktop/desktop_notifier.h"
#include "gui/download/download_controller.h"
#include "gui/patrol/patrol_controller.h"
#include "gui/search/file_search_controller.h"
#include "gui/search/live_search_controller.h"
#include "gui/settings/extension_chooser.h"
#include "gui/sitelist/site_list_panel.h"

namespace vel {

QAction* MainWindow::createPatrol(std::unique_ptr<HttpClient> client,
                                  std::unique_ptr<Downloader> downloader)
{
    m_patrol = new PatrolController(std::move(client), std::move(downloader), this);
    connect(m_patrol, &PatrolController::siteStarted, this,
            [this](int position, int total, const QString& text) {
                setStatusText(text);
                m_statusBar->progressBar()->setRange(0, total);
                m_statusBar->progressBar()->setValue(position);
            });
    connect(m_patrol, &PatrolController::rowText, this, [this](int row, const QString& text) {
        m_grid.setCell(SiteGrid::kStatusColumn, row, fromQString(text));
    });
    connect(m_patrol, &PatrolController::finished, this, &MainWindow::onPatrolFinished);
    auto* action = new QAction(QStringLiteral("巡回"), this);
    action->setObjectName(QStringLiteral("patrol"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::onPatrolTriggered);
    return action;
}

void MainWindow::onPatrolTriggered()
{
    // One thing at a time: a search, a batch or a patrol.
    if (m_patrol->running() || m_downloads->running() || m_fileSearch->busy()
        || m_liveSearch->busy())
        return;
    const QDate today = QDate::currentDate();
    QComboBox* chooser = m_siteList->extensionChooser();
    PatrolRequest request;
    request.sites = patrolSites(m_grid);
    request.extension = extensionChooserItem(chooser, chooser->currentIndex());
    request.downloadRoot = batchRoot();
    request.dateFolder = dateFolderName(today.year(), today.month(), today.day());
    const std::filesystem::path dateFolder =
        dateFoldersParent(request.downloadRoot) / request.dateFolder;
    request.codePageToUtf8 = [](std::string_view bytes) { return toQString(bytes).toStdString(); };
    QPushButton* button = m_siteList->searchButton();
    // The windows take no input but keep repainting; the search button stops the patrol.
    m_inputLock = std::make_unique<InputLock>(button);
    if (!m_patrol->start(std::move(request))) {
        m_inputLock.reset();
        return;
    }
    m_lastBatchFolder = dateFolder;
    button->setText(QStringLiteral("中止"));
    button->setFocus();
}

void MainWindow::onPatrolFinished(const QString& statusText)
{
    m_inputLock.reset();
    m_siteList->searchButton()->setText(QStringLiteral("ファイルサーチ"));
    m_statusBar->progressBar()->setValue(0);
    setStatusText(statusText);
    m_notifier->notifyIfAway(statusText);
    // The list's entries the patrol fetched are marked as such.
    markFetchedEntries();
}

}  // namespace vel
