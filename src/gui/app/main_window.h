#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QMainWindow>

#include "core/download/download_all.h"
#include "core/download/download_root.h"
#include "core/history/download_history.h"
#include "core/http/http_client.h"
#include "core/io/working_folder.h"
#include "core/sitelist/site_grid.h"
#include "core/sitelist/site_list_commands.h"
#include "core/sitelist/site_list_file.h"

class QAction;
class QMenu;
class QUrl;

namespace vel {

class AboutBox;
class BrowserBar;
class BrowserPane;
class DefaultButtons;
class DesktopNotifier;
class DownloadConfirmDialog;
class DownloadController;
class DownloadHistory;
struct DownloadHistoryChoice;
class ExtensionListDialog;
class FileSearchController;
class FoundFilesPanel;
class InputLock;
class LiveSearchController;
struct LiveSearchResult;
class PatrolController;
class SiteListPanel;
class StartPageDialog;
class StatusBar;
class ThumbnailController;

// What the main window is given by the program (or by a test).
struct MainWindowServices {
    // The embedded browser; the window takes ownership.
    BrowserPane* browser = nullptr;
    // The page fetch's HTTP client; none means the file search finds no page.
    std::unique_ptr<HttpClient> httpClient;
    // The batch download; none means nothing is downloaded.
    std::unique_ptr<Downloader> downloader;
    // The patrol's own page fetch and batch download; without both there is no patrol.
    std::unique_ptr<HttpClient> patrolHttpClient;
    std::unique_ptr<Downloader> patrolDownloader;
    // Where the site list and the extension list are written.
    std::filesystem::path programDirectory;
    // Where the settings are read; empty means the folder VEL was started in.
    std::filesystem::path startFolder;
    // An installed VEL's: the user's download folder, where batches go (see
    // chooseDownloadRoot); empty for a portable VEL.
    std::filesystem::path userDownloads;
    // Replaces the site list save at the end of the run (tests).
    std::function<void(const SiteGrid&)> saveSiteList;
    // Where pictures fetched for thumbnails are kept for the batch; empty: a
    // temporary folder of the run.
    std::filesystem::path pictureCacheFolder;
};

// The main window composes the site list, the browser bar, the browser, the
// found-files panel and the status bar, builds the menus, and hands the
// user's commands to the file search and download controllers.
class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    static constexpr int kClientWidth = 782;
    static constexpr int kClientHeight = 519;

    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The download history in the program's folder, opened at start; null
    // without one. Whatever downloads from the window records into it.
    const std::shared_ptr<DownloadHistory>& history() const { return m_history; }

    void setStatusText(const QString& text);
    // Shows an address in the browser and the URL box (the command line, an
    // address handed over or dropped).
    void openPage(const QString& url);

public slots:
    void onAddToListClicked();
    void onDeleteSiteClicked();
    // Adds a dropped address as リストに追加 does, named by the page's title
    // when it is the page shown, else by its host.
    void onSiteUrlDropped(const QUrl& url);
    void onSiteRowClicked();
    void onSearchClicked();
    void onDownloadClicked();
    void onDownloadConfirmed();
    void onOpenEntryRequested(const vel::FoundEntry& entry);
    // Searches the page the browser shows and adds what it finds to the list.
    void onLiveSearchTriggered();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createPanels();
    void createMenus();
    QAction* createLiveSearch();
    void createThumbnails(QMenu* menu);
    void onLiveSearchFinished(const LiveSearchResult& result);
    QAction* createPatrol(std::unique_ptr<HttpClient> client,
                          std::unique_ptr<Downloader> downloader);
    void onPatrolTriggered();
    void onPatrolFinished(const QString& statusText);
    void connectPanels();
    void layoutForClientSize(int width, int height);
    void loadSettings();
    void saveSiteListOnce();
    void applySelection(const RowSelection& selection, bool enableAdd);
    void setSearchRunning(bool running);
    void onDownloadFinished();
    void onBeforeNavigate();
    void onNavigateComplete();
    void stopWorkers();
    void message(const QString& text);
    // The download history (main_window_history.cpp).
    void openHistory();
    void markSearchResult();
    void markFetchedEntries();
    DownloadHistoryChoice historyChoice() const;
    // Where batches and patrols make their date folders now.
    DownloadRoot batchRoot() const;
    void showDownloadFolder();

    SiteGrid m_grid;
    WorkingFolder m_workingFolder;
    BrowserPane* m_browser = nullptr;
    std::filesystem::path m_programDirectory;
    std::filesystem::path m_userDownloads;
    // The date folder of the last batch or patrol started.
    std::filesystem::path m_lastBatchFolder;
    std::function<void(const SiteGrid&)> m_saveSiteList;
    std::filesystem::path m_pictureCacheFolder;
    SiteListLoad m_siteListLoad;
    std::string m_startPageUrl;
    bool m_saved = false;
    bool m_closing = false;
    std::unique_ptr<InputLock> m_inputLock;
    std::shared_ptr<DownloadHistory> m_history;
    // The site row and page of the last search, for the history's records.
    HistoryRecord m_searchedSite;

    QWidget* m_client = nullptr;
    SiteListPanel* m_siteList = nullptr;
    BrowserBar* m_browserBar = nullptr;
    FoundFilesPanel* m_foundFiles = nullptr;
    QWidget* m_browserFrame = nullptr;
    StatusBar* m_statusBar = nullptr;
    QMenu* m_windowMenu = nullptr;
    QAction* m_searchAction = nullptr;
    DefaultButtons* m_defaultButtons = nullptr;
    FileSearchController* m_fileSearch = nullptr;
    DownloadController* m_downloads = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    LiveSearchController* m_liveSearch = nullptr;
    PatrolController* m_patrol = nullptr;
    QAction* m_patrolAction = nullptr;
    ThumbnailController* m_thumbnails = nullptr;
    AboutBox* m_aboutBox = nullptr;
    ExtensionListDialog* m_extensionListDialog = nullptr;
    DownloadConfirmDialog* m_downloadConfirmDialog = nullptr;
    StartPageDialog* m_startPageDialog = nullptr;
};

}  // namespace vel
