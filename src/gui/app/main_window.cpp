#include "gui/app/main_window.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>

#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_rules.h"
#include "core/download/entry_request.h"
#include "core/http/http_client.h"
#include "core/settings/extension_list_file.h"
#include "core/settings/start_page_file.h"
#include "gui/app/about_box.h"
#include "gui/app/status_bar.h"
#include "gui/browser/browser_bar.h"
#include "gui/browser/browser_pane.h"
#include "gui/common/default_buttons.h"
#include "gui/common/input_lock.h"
#include "gui/common/message_box.h"
#include "gui/common/qt_text.h"
#include "gui/desktop/desktop_notifier.h"
#include "gui/desktop/url_drop_target.h"
#include "gui/download/download_confirm_dialog.h"
#include "gui/download/download_controller.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/patrol/patrol_controller.h"
#include "gui/search/file_search_controller.h"
#include "gui/settings/extension_chooser.h"
#include "gui/settings/extension_list_dialog.h"
#include "gui/settings/start_page_dialog.h"
#include "gui/sitelist/site_list_panel.h"
#include "gui/thumbnails/thumbnail_controller.h"

namespace vel {

namespace {

const QString kIdle = QStringLiteral("待機中");
const QString kConnecting = QStringLiteral("ホストに接続しています");
const QString kDownloadNotStarted = QStringLiteral("ファイルのダウンロードを開始できませんでした");

std::filesystem::path startFolderOr(std::filesystem::path given)
{
    if (!given.empty())
        return given;
    std::error_code error;
    return std::filesystem::current_path(error);
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent)
    , m_workingFolder(startFolderOr(std::move(services.startFolder)))
    , m_browser(services.browser)
    , m_programDirectory(std::move(services.programDirectory))
    , m_userDownloads(std::move(services.userDownloads))
    , m_saveSiteList(std::move(services.saveSiteList))
    , m_pictureCacheFolder(std::move(services.pictureCacheFolder))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VEL"));
    if (m_browser)
        m_browser->setParent(this);
    m_fileSearch = new FileSearchController(std::move(services.httpClient), m_grid, this);
    m_downloads = new DownloadController(std::move(services.downloader), this);
    m_notifier = new DesktopNotifier(this);
    m_patrolAction =
        createPatrol(std::move(services.patrolHttpClient), std::move(services.patrolDownloader));

    createPanels();
    createMenus();
    connectPanels();
    loadSettings();
    // The other windows, created hidden after the main window.
    m_aboutBox = new AboutBox(this);
    m_extensionListDialog = new ExtensionListDialog(m_siteList->extensionChooser(),
                                                    m_programDirectory, m_workingFolder, this);
    m_downloadConfirmDialog = new DownloadConfirmDialog(this);
    connect(m_downloadConfirmDialog, &DownloadConfirmDialog::downloadConfirmed, this,
            &MainWindow::onDownloadConfirmed);
    openHistory();
    m_startPageDialog = new StartPageDialog([this] { return m_startPageUrl; },
                                            [this] { return m_browserBar->urlEdit()->text(); },
                                            m_workingFolder, this);
    // The search button has the focus at start, so Enter searches at once.
    m_siteList->searchButton()->setFocus();
}

MainWindow::~MainWindow()
{
    // Nothing may report back into the window while it comes apart.
    m_closing = true;
    stopWorkers();
    m_inputLock.reset();
    if (m_browser)
        disconnect(m_browser, nullptr, this, nullptr);
    disconnect(m_fileSearch, nullptr, this, nullptr);
    disconnect(m_downloads, nullptr, nullptr, nullptr);
    disconnect(m_patrol, nullptr, this, nullptr);
    saveSiteListOnce();
    // The panels read the grid: they go before it.
    delete m_client;
    m_client = nullptr;
}

void MainWindow::createPanels()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(m_client);

    m_siteList = new SiteListPanel(m_grid, m_client);
    m_siteList->move(0, 0);
    m_browserBar = new BrowserBar(m_browser, m_client);
    m_browserBar->move(0, 179);
    m_foundFiles = new FoundFilesPanel(m_client);
    m_foundFiles->move(632, 0);

    m_browserFrame = new QWidget(m_client);
    m_browserFrame->setObjectName(QStringLiteral("Panel5"));
    if (m_browser) {
        QWidget* view = m_browser->widget();
        view->setObjectName(QStringLiteral("WebBrowser1"));
        view->setParent(m_browserFrame);
        view->setFocusPolicy(Qt::StrongFocus);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
    }

    m_statusBar = new StatusBar(this);
    setStatusBar(m_statusBar);

    layoutForClientSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + StatusBar::kHeight + menuBar()->sizeHint().height());

    m_defaultButtons =
        new DefaultButtons(m_siteList->searchButton(), m_siteList->deleteButton(), this);
    m_defaultButtons->watchChildrenOf(m_client);
    // The browser takes its own keys.
    if (m_browser)
        m_defaultButtons->unwatch(m_browser->widget());
}

void MainWindow::connectPanels()
{
    connect(m_siteList, &SiteListPanel::rowClicked, this, &MainWindow::onSiteRowClicked);
    connect(m_siteList, &SiteListPanel::searchClicked, this, &MainWindow::onSearchClicked);
    connect(m_siteList, &SiteListPanel::deleteClicked, this, &MainWindow::onDeleteSiteClicked);
    connect(m_siteList, &SiteListPanel::urlDropped, this, &MainWindow::onSiteUrlDropped);
    connect(m_siteList, &SiteListPanel::titleConfirmed, this,
            [this] { m_browserBar->urlEdit()->setFocus(); });
    connect(m_browserBar, &BrowserBar::addToListClicked, this, &MainWindow::onAddToListClicked);
    connect(m_foundFiles, &FoundFilesPanel::openEntryRequested, this,
            &MainWindow::onOpenEntryRequested);
    connect(m_foundFiles, &FoundFilesPanel::downloadClicked, this, &MainWindow::onDownloadClicked);

    m_fileSearch->setMessageBox([this](const QString& text) { message(text); });
    m_fileSearch->setEntryList([this](std::vector<FoundEntry> entries, PageCharset charset) {
        m_foundFiles->showSearchResult(std::move(entries), charset);
        markSearchResult();
    });
    connect(m_fileSearch, &FileSearchController::statusText, this, &MainWindow::setStatusText);
    connect(m_fileSearch, &FileSearchController::runningChanged, this,
            &MainWindow::setSearchRunning);
    m_downloads->setMessageBox([this](const QString& text) { message(text); });
    connect(m_downloads, &DownloadController::statusText, this, &MainWindow::setStatusText);
    connect(m_downloads, &DownloadController::progressRange, m_statusBar->progressBar(),
            &QProgressBar::setRange);
    connect(m_downloads, &DownloadController::progress, m_statusBar->progressBar(),
            &QProgressBar::setValue);
    connect(m_downloads, &DownloadController::finished, this, &MainWindow::onDownloadFinished);

    if (m_browser) {
        connect(m_browser, &BrowserPane::titleChanged, m_siteList->titleEdit(),
                &QLineEdit::setText);
        connect(m_browser, &BrowserPane::beforeNavigate, this, &MainWindow::onBeforeNavigate);
        connect(m_browser, &BrowserPane::navigateComplete, this, &MainWindow::onNavigateComplete);
        connect(new UrlDropTarget(m_browser->widget()), &UrlDropTarget::urlDropped, this,
                [this](const QUrl& url) { openPage(url.toString()); });
    }
}

void MainWindow::layoutForClientSize(int width, int height)
{
    // The found files and the browser follow the window's size.
    const int dw = width - kClientWidth;
    const int dh = height - kClientHeight;
    m_foundFiles->setExtraWidth(dw);
    m_browserFrame->setGeometry(-1, 211, 783 + dw, 310 + dh);
    if (m_browser)
        m_browser->widget()->setGeometry(1, 1, 781 + dw, 308 + dh);
    if (m_thumbnails)
        m_thumbnails->layOut();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_client && m_foundFiles)
        layoutForClientSize(std::max(m_client->width(), int(kClientWidth)),
                            std::max(m_client->height(), int(kClientHeight)));
}

void MainWindow::setStatusText(const QString& text)
{
    m_statusBar->setText(text);
}

void MainWindow::message(const QString& text)
{
    showMessage(this, text);
}

// --- Start-up and end -------------------------------------------------------

void MainWindow::loadSettings()
{
    // Settings are read from the folder the program was started in.
    const std::filesystem::path here = m_workingFolder.path();
    m_startPageUrl = readStartPage(here);
    {
        const SiteListPanel::Batch batch(*m_siteList);
        m_grid.setCell(SiteGrid::kNameColumn, 0, fromQString(QStringLiteral("サイト名")));
        m_grid.setCell(SiteGrid::kUrlColumn, 0, "URL");
        m_grid.setCell(SiteGrid::kStatusColumn, 0, fromQString(QStringLiteral("状態")));
        m_browserBar->navigate(toQString(m_startPageUrl));
        m_siteListLoad = loadSiteList(m_grid, here);
        if (readsExtensionList(m_siteListLoad)) {
            const ChooserContents contents = chooserContents(readExtensionList(here));
            fillExtensionChooser(m_siteList->extensionChooser(), contents.items,
                                 contents.selectedIndex);
        }
        m_grid.setSelection({SiteGrid::kNumberColumn, m_grid.rowCount(), SiteGrid::kColumnCount,
                             m_grid.rowCount()});
    }
}

void MainWindow::saveSiteListOnce()
{
    if (m_saved)
        return;
    m_saved = true;
    if (m_saveSiteList) {
        m_saveSiteList(m_grid);
        return;
    }
    if (m_programDirectory.empty())
        return;
    // The site list is written where the program lives, which later file
    // names then follow.
    m_workingFolder.moveTo(m_programDirectory);
    if (saveSiteList(m_grid, m_programDirectory, m_siteListLoad) == SiteListSaveResult::BadNumber)
        message(fromUtf8(kSiteListSaveErrorMessage));
}

void MainWindow::stopWorkers()
{
    // A fetch still waiting on the network ends now and its result is dropped;
    // a batch download stops at its next read.
    m_fileSearch->abortAndWait();
    m_downloads->cancelAndWait();
    m_patrol->stopAndWait();
    if (m_thumbnails)
        m_thumbnails->stop();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    stopWorkers();
    m_inputLock.reset();
    saveSiteListOnce();
    event->accept();
    QApplication::quit();
}

// --- Site list --------------------------------------------------------------

void MainWindow::applySelection(const RowSelection& selection, bool enableAdd)
{
    if (selection.navigateTo) {
        m_browserBar->navigate(toQString(*selection.navigateTo));
        if (enableAdd)
            m_browserBar->addToListButton()->setEnabled(true);
    }
    m_siteList->searchButton()->setFocus();
}

void MainWindow::onAddToListClicked()
{
    AddResult result = AddResult::Added;
    {
        const SiteListPanel::Batch batch(*m_siteList);
        result = addSite(m_grid, fromQString(m_siteList->titleEdit()->text()),
                         fromQString(m_browserBar->urlEdit()->text()));
    }
    if (result == AddResult::EmptyUrl)
        message(QStringLiteral("URLは必ず記入して下さい"));
}

void MainWindow::onSiteUrlDropped(const QUrl& url)
{
    const std::string address = fromQString(url.toString());
    if (!mayAddPageToList(address))
        return;
    const bool shown = m_browser && QUrl(m_browser->locationUrl()) == url;
    const SiteListPanel::Batch batch(*m_siteList);
    addSite(m_grid, fromQString(shown ? m_siteList->titleEdit()->text() : url.host()), address);
}

void MainWindow::onDeleteSiteClicked()
{
    std::optional<RowSelection> selection;
    {
        const SiteListPanel::Batch batch(*m_siteList);
        selection = deleteCurrentSite(m_grid);
    }
    if (selection)
        applySelection(*selection, false);
}

void MainWindow::onSiteRowClicked()
{
    applySelection(selectCurrentRow(m_grid), true);
}

// --- Browser ----------------------------------------------------------------

void MainWindow::openPage(const QString& url)
{
    m_browserBar->urlEdit()->setText(url);
    m_browserBar->navigate(url);
}

void MainWindow::onBeforeNavigate()
{
    // During a batch download the status bar reports the download alone.
    if (!m_downloads->running())
        setStatusText(kConnecting);
}

void MainWindow::onNavigateComplete()
{
    if (!m_downloads->running())
        setStatusText(kIdle);
}

// --- File search ------------------------------------------------------------

void MainWindow::onSearchClicked()
{
    // During a patrol the button stops it.
    if (m_patrol->running()) {
        m_patrol->requestStop();
        return;
    }
    QComboBox* chooser = m_siteList->extensionChooser();
    m_fileSearch->searchOrStop(extensionChooserItem(chooser, chooser->currentIndex()));
}

void MainWindow::setSearchRunning(bool running)
{
    // A search makes the page shown addable again.
    if (running)
        m_browserBar->addToListButton()->setEnabled(true);
    // While a page is fetched the search button stops it; it stays enabled,
    // so the focus and Enter stay where they are.
    m_siteList->searchButton()->setText(running ? QStringLiteral("中止")
                                                : QStringLiteral("ファイルサーチ"));
    m_searchAction->setEnabled(!running);
}

// --- Found files and download -----------------------------------------------

void MainWindow::onOpenEntryRequested(const FoundEntry& entry)
{
    const EntrySource& source = m_fileSearch->entrySource();
    const std::string request = entryRequest(entry, source).url;
    // A value no browser can make a URL of opens nothing.
    if (request.empty())
        return;
    const QString url = toQString(request, source.charset);
    m_browserBar->urlEdit()->setText(url);
    m_browserBar->navigate(url);
    m_browserBar->addToListButton()->setEnabled(false);
}

void MainWindow::onDownloadClicked()
{
    // During a batch the button stops it.
    if (m_downloads->running()) {
        m_downloads->requestStop();
        return;
    }
    if (m_foundFiles->count() > 0) {
        m_downloadConfirmDialog->show();
        m_downloadConfirmDialog->raise();
        return;
    }
    message(QStringLiteral("ダウンロード対象ファイルが\nリストアップされていません"));
}

void MainWindow::onDownloadConfirmed()
{
    if (m_downloads->running())
        return;
    const QDate today = QDate::currentDate();
    const std::string dateFolder = dateFolderName(today.year(), today.month(), today.day());
    // The program's windows take no input until the batch ends, but keep
    // repainting; the download button alone stays usable, to stop the batch.
    QPushButton* button = m_foundFiles->downloadButton();
    m_inputLock = std::make_unique<InputLock>(button);
    const DownloadRoot root = batchRoot();
    const DownloadController::StartResult started = m_downloads->start(
        m_foundFiles->entries(), m_fileSearch->entrySource(), root, dateFolder,
        m_downloadConfirmDialog->skipExisting(),
        m_browser ? m_browser->browserCookies() : std::vector<BrowserCookie>{}, historyChoice());
    switch (started) {
    case DownloadController::StartResult::Started:
        m_lastBatchFolder = dateFoldersParent(root) / dateFolder;
        m_fileSearch->setHeld(true);
        button->setText(QStringLiteral("中止"));
        button->setFocus();
        return;
    case DownloadController::StartResult::NoFolder:
        m_inputLock.reset();
        message(fromUtf8(kDownloadFolderFailedText));
        return;
    case DownloadController::StartResult::NotStarted:
        m_inputLock.reset();
        setStatusText(kDownloadNotStarted);
        return;
    }
}

void MainWindow::onDownloadFinished()
{
    m_inputLock.reset();
    m_foundFiles->downloadButton()->setText(QStringLiteral("ダウンロード"));
    // The entries not stored stay selected, so the user sees which; the list
    // cannot change during the batch, so the rows still match.
    if (!m_closing) {
        m_foundFiles->selectEntries(m_downloads->failedEntries());
        markFetchedEntries();
        m_notifier->notifyIfAway(m_statusBar->text());
    }
    // The batch ends in the program's folder, which later file names follow.
    if (!m_programDirectory.empty())
        m_workingFolder.moveTo(m_programDirectory);
    // A search that ended meanwhile goes on now.
    m_fileSearch->setHeld(false);
}

}  // namespace vel
