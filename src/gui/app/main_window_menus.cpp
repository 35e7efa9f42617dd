// The main window's menu bar, its context menu and the search of the page
// the browser shows, which they start.
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

#include "core/download/download_rules.h"
#include "gui/app/about_box.h"
#include "gui/app/main_window.h"
#include "gui/browser/browser_pane.h"
#include "gui/download/download_controller.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/search/file_search_controller.h"
#include "gui/search/live_search_controller.h"
#include "gui/settings/extension_chooser.h"
#include "gui/settings/extension_list_dialog.h"
#include "gui/settings/start_page_dialog.h"
#include "gui/sitelist/site_list_panel.h"
#include "gui/thumbnails/thumbnail_controller.h"
#include "gui/thumbnails/thumbnail_store.h"

namespace vel {

void MainWindow::createMenus()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("メニュー"));
    menu->setObjectName(QStringLiteral("N1"));
    QAction* extensions = menu->addAction(QStringLiteral("拡張子の追加と削除(&T)"));
    extensions->setObjectName(QStringLiteral("N9"));
    connect(extensions, &QAction::triggered, this, [this] {
        m_extensionListDialog->show();
        m_extensionListDialog->raise();
        m_extensionListDialog->activateWindow();
    });
    QAction* startPage = menu->addAction(QStringLiteral("トップページ設定"));
    startPage->setObjectName(QStringLiteral("N10"));
    connect(startPage, &QAction::triggered, this, [this] {
        m_startPageDialog->show();
        m_startPageDialog->raise();
    });
    QAction* liveSearch = createLiveSearch();
    menu->addAction(liveSearch);
    menu->addAction(m_patrolAction);
    createThumbnails(menu);
    QAction* folder = menu->addAction(QStringLiteral("保存フォルダを開く"));
    folder->setObjectName(QStringLiteral("openFolder"));
    connect(folder, &QAction::triggered, this, &MainWindow::showDownloadFolder);
    QAction* exit = menu->addAction(QStringLiteral("終了(&X)"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* about = help->addAction(QStringLiteral("バージョン情報(&V)"));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, [this] {
        m_aboutBox->show();
        m_aboutBox->raise();
    });

    m_windowMenu = new QMenu(this);
    m_windowMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* add = m_windowMenu->addAction(QStringLiteral("リストに追加"));
    add->setObjectName(QStringLiteral("a1"));
    connect(add, &QAction::triggered, this, &MainWindow::onAddToListClicked);
    m_searchAction = m_windowMenu->addAction(QStringLiteral("選択ページをチェック"));
    m_searchAction->setObjectName(QStringLiteral("N5"));
    connect(m_searchAction, &QAction::triggered, this, &MainWindow::onSearchClicked);
    QAction* remove = m_windowMenu->addAction(QStringLiteral("選択ページを削除"));
    remove->setObjectName(QStringLiteral("N6"));
    connect(remove, &QAction::triggered, this, &MainWindow::onDeleteSiteClicked);
    QAction* download = m_windowMenu->addAction(QStringLiteral("ダウンロード"));
    download->setObjectName(QStringLiteral("N7"));
    connect(download, &QAction::triggered, this, &MainWindow::onDownloadClicked);
    m_windowMenu->addAction(liveSearch);
    QAction* quit = m_windowMenu->addAction(QStringLiteral("ＶＥＬを終了する"));
    quit->setObjectName(QStringLiteral("N8"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    m_client->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_client, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_windowMenu->popup(m_client->mapToGlobal(pos)); });
    if (m_browser) {
        QWidget* view = m_browser->widget();
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { m_windowMenu->popup(view->mapToGlobal(pos)); });
    }
}

DownloadRoot MainWindow::batchRoot() const
{
    return downloadRoot({m_workingFolder.path(), m_programDirectory, m_userDownloads});
}

void MainWindow::showDownloadFolder()
{
    const QDate today = QDate::currentDate();
    const std::filesystem::path folder = folderToShow(
        batchRoot(), m_lastBatchFolder, dateFolderName(today.year(), today.month(), today.day()));
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
}

QAction* MainWindow::createLiveSearch()
{
    m_liveSearch = new LiveSearchController(
        m_browser, [this]() -> const std::vector<FoundEntry>& { return m_foundFiles->entries(); },
        this);
    connect(m_liveSearch, &LiveSearchController::finished, this, &MainWindow::onLiveSearchFinished);
    // One action for the menu bar and the context menu, so the shortcut is
    // the window's wherever the focus is.
    auto* action = new QAction(QStringLiteral("表示中のページからサーチ"), this);
    action->setObjectName(QStringLiteral("liveSearch"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::onLiveSearchTriggered);
    return action;
}

void MainWindow::createThumbnails(QMenu* menu)
{
    ThumbnailServices services;
    services.cacheFolder = m_pictureCacheFolder;
    services.entrySource = [this]() -> const EntrySource& { return m_fileSearch->entrySource(); };
    services.browserCookies = [this] {
        return m_browser ? m_browser->browserCookies() : std::vector<BrowserCookie>{};
    };
    services.listLocked = [this] { return m_downloads->running(); };
    m_thumbnails = new ThumbnailController(m_foundFiles, m_browserFrame, std::move(services), this);
    connect(m_thumbnails, &ThumbnailController::statusText, this, &MainWindow::setStatusText);
    m_downloads->setPictureCache(&m_thumbnails->store()->cache());
    menu->addAction(m_thumbnails->viewAction());
    menu->addAction(m_thumbnails->filterAction());
}

void MainWindow::onLiveSearchTriggered()
{
    // The list does not change during a batch; one search at a time.
    if (m_downloads->running() || m_liveSearch->busy())
        return;
    QComboBox* chooser = m_siteList->extensionChooser();
    if (m_liveSearch->start(extensionChooserItem(chooser, chooser->currentIndex())))
        setStatusText(QStringLiteral("表示中のページを検索しています"));
}

void MainWindow::onLiveSearchFinished(const LiveSearchResult& result)
{
    // A batch that started meanwhile owns the list and the status bar.
    if (m_closing || m_downloads->running())
        return;
    m_foundFiles->appendEntries(result.entries);
    markFetchedEntries();
    setStatusText(result.statusText);
}

}  // namespace vel
