#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QMainWindow>

#include "core/download/download_all.h"
#include "gui/foundfiles/found_files_list.h"
#include "core/http/http_client.h"
#include "core/search/fetch_page.h"
#include "core/sitelist/site_grid.h"
#include "core/sitelist/site_list_commands.h"
#include "core/sitelist/site_list_file.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QWidget;

namespace vel {

class AboutBox;
class BrowserPane;
class DownloadRunner;
class ExtensionListDialog;
class DownloadConfirmDialog;
class StartPageDialog;
class PageFetcher;
class DefaultButtons;
class SiteGridModel;

// What the main window is given by the program (or by a test).
struct MainWindowServices {
    // The embedded browser; the window takes ownership.
    BrowserPane* browser = nullptr;
    // The page fetch's HTTP client; none means the file search finds no page.
    std::unique_ptr<HttpClient> httpClient;
    // The batch download; none means nothing is downloaded.
    std::unique_ptr<Downloader> downloader;
    // Where the site list and the extension list are written (and which
    // becomes the current directory when they are).
    std::filesystem::path programDirectory;
    // Replaces the site list save at the end of the run (tests).
    std::function<void(const SiteGrid&)> saveSiteList;
};

// The main window: site list, title and URL boxes, found-files list, browser.
// Slots keep the handler names of the program; each forwards to the logic.
class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    static constexpr int kClientWidth = 782;
    static constexpr int kClientHeight = 544;

    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    SiteGrid& siteGrid() { return m_grid; }
    BrowserPane* browser() const { return m_browser; }
    QString statusText() const;
    void setStatusText(const QString& text);

    // Controls, under the program's names, for the handlers of other windows
    // and for tests.
    QTableView* StringGrid1() const { return m_stringGrid1; }
    QLineEdit* Edit1() const { return m_edit1; }
    QLineEdit* Edit2() const { return m_edit2; }
    QComboBox* ComboBox1() const { return m_comboBox1; }
    FoundFilesList* ListBox1() const { return m_listBox1; }
    QPushButton* check() const { return m_check; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* modoru() const { return m_modoru; }
    QPushButton* susumu() const { return m_susumu; }
    QPushButton* kousin() const { return m_kousin; }
    QPushButton* idou() const { return m_idou; }
    QPushButton* tuika() const { return m_tuika; }
    QPushButton* Button2() const { return m_button2; }
    QPushButton* button3() const { return m_button3; }
    QProgressBar* ProgressBar1() const { return m_progressBar1; }
    QMenu* PopupMenu1() const { return m_popupMenu1; }
    QMenu* PopupMenu2() const { return m_popupMenu2; }
    PageFetcher* pageFetcher() const { return m_fetcher; }
    DownloadRunner* downloadRunner() const { return m_downloads; }
    // The widest found-files entry in pixels, as the last search measured it.
    int fileListExtent() const { return m_listBox1->horizontalExtent(); }
    AboutBox* aboutBox() const { return m_aboutBox; }
    ExtensionListDialog* form4() const { return m_form4; }
    DownloadConfirmDialog* kakunin() const { return m_kakunin; }
    StartPageDialog* toppageForm() const { return m_toppageForm; }

    // Program-wide texts, all bytes in the code page.
    std::string TopPageUrl;
    std::string PageSource;
    std::string BaseUrl;

public slots:
    void Action1Execute();
    void Action2Execute();
    void deleteClick();
    void StringGrid1Click();
    void sentakuRect();
    void checkClick();
    void SearchFiles(const std::string& url, const std::string& extension);
    void FitFileListExtent();
    void Button2Click();
    void N2Click();
    void N4Click();
    void PopupMenu2Popup();
    void FormResize();
    void Button3Click();
    void runDownloadAll();
    void modoruClick();
    void susumuClick();
    void kousinClick();
    void idouClick();
    void Edit1Change();
    void Edit1KeyPress();
    void Edit2KeyPress();
    void WebBrowser1CommandStateChange(int command, bool enable);
    void WebBrowser1TitleChange(const QString& text);
    void WebBrowser1BeforeNavigate2();
    void WebBrowser1NavigateComplete2();
    void N9Click();
    void N10Click();
    void Exit1Click();
    void N8Click();
    void About1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void connectHandlers();
    void layoutForClientSize(int width, int height);
    void showGrid();
    void syncGridView();

    // Shows the grid once when a command that changes many cells is done,
    // rather than after every cell.
    class GridBatch {
    public:
        explicit GridBatch(MainWindow& form);
        ~GridBatch();
        GridBatch(const GridBatch&) = delete;
        GridBatch& operator=(const GridBatch&) = delete;

    private:
        MainWindow& m_form;
    };
    void showMessage(const QString& text);
    void navigateTo(const QString& url);
    void applySelection(const RowSelection& selection, bool enableAdd);
    void LoadExecute();
    void saveExecute();
    void onPageFetched(PageFetchVerdict verdict, std::shared_ptr<std::string> pageSource);
    void finishSearch(const std::string& extension);
    void setFetchRunning(bool running);
    void writeStatusToCurrentRow(const QString& text);
    void openCurrentEntry();
    void downloadFinished();

    SiteGrid m_grid;
    BrowserPane* m_browser = nullptr;
    std::filesystem::path m_programDirectory;
    std::function<void(const SiteGrid&)> m_saveSiteList;
    SiteListLoad m_siteListLoad;
    bool m_saved = false;
    bool m_syncingGrid = false;
    int m_gridBatch = 0;
    bool m_focusParked = false;
    bool m_closing = false;
    // A fetch result that arrived while a batch download ran; it is handled
    // when the batch ends.
    std::optional<std::pair<PageFetchVerdict, std::shared_ptr<std::string>>> m_pendingFetch;

    QWidget* m_client = nullptr;
    SiteGridModel* m_gridModel = nullptr;
    QTableView* m_stringGrid1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLineEdit* m_edit2 = nullptr;
    QComboBox* m_comboBox1 = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_delete = nullptr;
    QFrame* m_panel1 = nullptr;
    QPushButton* m_modoru = nullptr;
    QPushButton* m_susumu = nullptr;
    QPushButton* m_kousin = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QPushButton* m_idou = nullptr;
    QPushButton* m_tuika = nullptr;
    FoundFilesList* m_listBox1 = nullptr;
    QPushButton* m_button2 = nullptr;
    QPushButton* m_button3 = nullptr;
    QFrame* m_panel5 = nullptr;
    QWidget* m_statusBar1 = nullptr;
    QLabel* m_statusPanel0 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QMenu* m_popupMenu2 = nullptr;
    QAction* m_n2 = nullptr;
    QAction* m_n3 = nullptr;
    QAction* m_n4 = nullptr;
    QAction* m_n5 = nullptr;
    PageFetcher* m_fetcher = nullptr;
    DownloadRunner* m_downloads = nullptr;
    std::string m_searchExtension;
    DefaultButtons* m_defaultButtons = nullptr;
    AboutBox* m_aboutBox = nullptr;
    ExtensionListDialog* m_form4 = nullptr;
    DownloadConfirmDialog* m_kakunin = nullptr;
    StartPageDialog* m_toppageForm = nullptr;
};

}  // namespace vel
