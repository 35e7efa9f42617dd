#include "gui/app/main_window.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QLocale>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>

#include "gui/app/about_box.h"
#include "gui/common/default_buttons.h"
#include "gui/download/download_runner.h"
#include "gui/foundfiles/found_files_list.h"
#include "gui/download/download_confirm_dialog.h"
#include "gui/settings/extension_list_dialog.h"
#include "gui/settings/start_page_dialog.h"
#include "gui/browser/browser_pane.h"
#include "core/foundfiles/entry_url.h"
#include "core/foundfiles/found_files_rules.h"
#include "core/http/http_client.h"
#include "core/search/base_url.h"
#include "core/foundfiles/found_files_merge.h"
#include "core/search/link_scanner.h"
#include "gui/search/page_fetcher.h"
#include "gui/settings/extension_chooser.h"
#include "core/settings/extension_list_file.h"
#include "core/settings/start_page_file.h"
#include "gui/sitelist/site_grid_model.h"
#include "gui/common/qt_text.h"

namespace vel {

namespace {

constexpr int kHintMilliseconds = 10000;

const QString kIdle = QStringLiteral("待機中");
const QString kConnecting = QStringLiteral("ホストに接続しています");
const QString kConnected = QStringLiteral("接続しました");
const QString kSearching = QStringLiteral("ファイルを検索しています");


QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint, const char* iconName, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // Enter on a focused button presses that button.
    button->setAutoDefault(true);
    if (!hint.isEmpty()) {
        button->setToolTip(hint);
        button->setToolTipDuration(kHintMilliseconds);
    }
    if (iconName)
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(iconName)));
    return button;
}

// The add-to-list rule: image addresses stay out of the site list.
bool mayAddToList(const QString& text)
{
    return !text.contains(QStringLiteral(".gif")) && !text.contains(QStringLiteral(".jpg"));
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent)
    , m_browser(services.browser)
    , m_programDirectory(std::move(services.programDirectory))
    , m_saveSiteList(std::move(services.saveSiteList))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VEL"));
    if (m_browser)
        m_browser->setParent(this);
    m_fetcher = new PageFetcher(std::move(services.httpClient), this);
    m_downloads = new DownloadRunner(std::move(services.downloader), this);

    createControls();
    createMenus();
    connectHandlers();
    Action1Execute();
    // The other windows, created hidden after the main window.
    m_aboutBox = new AboutBox(this);
    m_form4 = new ExtensionListDialog(m_comboBox1, m_programDirectory, this);
    m_kakunin = new DownloadConfirmDialog(this);
    connect(m_kakunin, &DownloadConfirmDialog::downloadConfirmed, this, &MainWindow::runDownloadAll);
    m_toppageForm = new StartPageDialog([this] { return TopPageUrl; },
                                    [this] { return m_edit1->text(); }, this);
}

MainWindow::~MainWindow()
{
    // Nothing may report back into the window while it comes apart.
    m_closing = true;
    m_fetcher->abortAndWait();
    m_downloads->cancelAndWait();
    qApp->removeEventFilter(this);
    if (m_browser)
        disconnect(m_browser, nullptr, this, nullptr);
    disconnect(m_fetcher, nullptr, this, nullptr);
    disconnect(m_downloads, nullptr, nullptr, nullptr);
    saveExecute();
    // The grid view reads the grid through its model: both go before the grid.
    m_grid.setChangeListener({});
    delete m_client;
    m_client = nullptr;
    delete m_gridModel;
    m_gridModel = nullptr;
}

void MainWindow::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(m_client);

    m_gridModel = new SiteGridModel(m_grid, this);
    m_stringGrid1 = new QTableView(m_client);
    m_stringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    m_stringGrid1->setModel(m_gridModel);
    m_stringGrid1->setFocusPolicy(Qt::ClickFocus);
    m_stringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_stringGrid1->verticalHeader()->hide();
    m_stringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_stringGrid1->verticalHeader()->setMinimumSectionSize(15);
    m_stringGrid1->verticalHeader()->setDefaultSectionSize(15);
    m_stringGrid1->horizontalHeader()->setFixedHeight(16);
    m_stringGrid1->horizontalHeader()->setHighlightSections(false);
    m_stringGrid1->horizontalHeader()->setSectionsClickable(false);
    const int widths[] = {49, 156, 217, 170};
    for (int col = 0; col < SiteGrid::kColumnCount; ++col)
        m_stringGrid1->setColumnWidth(col, widths[col]);
    m_stringGrid1->setGeometry(8, 2, 617, 143);

    m_label2 = new QLabel(QStringLiteral("タイトル"), m_client);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->move(240, 156);
    m_label2->adjustSize();
    m_edit2 = new QLineEdit(m_client);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setGeometry(283, 152, 270, 20);
    m_edit2->setAccessibleName(QStringLiteral("タイトル"));

    m_comboBox1 = new QComboBox(m_client);
    m_comboBox1->setObjectName(QStringLiteral("ComboBox1"));
    m_comboBox1->setEditable(false);
    m_comboBox1->setGeometry(560, 152, 65, 20);
    m_comboBox1->setToolTip(QStringLiteral("検索するファイル拡張子を選択して下さい"));
    m_comboBox1->setToolTipDuration(kHintMilliseconds);

    m_check = makeButton(m_client, "check", QStringLiteral("ファイルサーチ"),
                         QStringLiteral("選択されたページのファイル検索を開始します"),
                         "system-search", {8, 149, 113, 25});
    m_delete = makeButton(m_client, "delete", QStringLiteral("選択項目を削除"),
                          QStringLiteral("選択されたページをリストから削除します"), "edit-delete",
                          {120, 149, 113, 25});

    m_panel1 = new QFrame(m_client);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setGeometry(0, 179, 633, 32);
    m_modoru = makeButton(m_panel1, "modoru", QStringLiteral("戻る"),
                          QStringLiteral("前ページへ戻る"), "go-previous", {8, 3, 57, 25});
    m_susumu = makeButton(m_panel1, "susumu", QStringLiteral("進む"),
                          QStringLiteral("次ページへ進む"), "go-next", {64, 3, 58, 25});
    m_kousin = makeButton(m_panel1, "kousin", QStringLiteral("更新"),
                          QStringLiteral("ページを更新します"), "view-refresh", {122, 3, 60, 25});
    m_idou = makeButton(m_panel1, "idou", QStringLiteral("移動"), QStringLiteral("URLへ移動します"),
                        "go-jump", {464, 3, 58, 25});
    m_tuika = makeButton(m_panel1, "tuika", QStringLiteral("リストに追加"),
                         QStringLiteral("現在のページをリストに追加します"), "list-add",
                         {523, 3, 100, 25});

    // The URL box sits over the navigation row, between refresh and go.
    m_edit1 = new QLineEdit(QStringLiteral("http://"), m_client);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(184, 184, 277, 20);
    m_edit1->setAccessibleName(QStringLiteral("URL"));
    m_edit1->raise();

    m_listBox1 = new FoundFilesList(m_client);
    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listBox1->setGeometry(632, 0, 143, 161);
    // A long list is laid out in steps, so the window keeps repainting.
    m_listBox1->setLayoutMode(QListView::Batched);
    m_listBox1->setBatchSize(2000);

    m_button2 = makeButton(m_client, "Button2", QStringLiteral("選択ファイルの削除"),
                           QStringLiteral("選択した項目をダウンロード対象から外します"), nullptr,
                           {634, 161, 141, 24});
    m_button3 = makeButton(m_client, "button3", QStringLiteral("ダウンロード"),
                           QStringLiteral("上記リストに表示されているファイルをダウンロードします"),
                           "document-save", {634, 186, 141, 24});

    m_panel5 = new QFrame(m_client);
    m_panel5->setObjectName(QStringLiteral("Panel5"));
    m_panel5->setGeometry(-1, 211, 783, 310);
    if (m_browser) {
        QWidget* view = m_browser->widget();
        view->setObjectName(QStringLiteral("WebBrowser1"));
        view->setParent(m_panel5);
        view->setGeometry(1, 1, 781, 308);
        view->setFocusPolicy(Qt::ClickFocus);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            m_popupMenu1->popup(view->mapToGlobal(pos));
        });
    }

    m_statusBar1 = new QFrame(m_client);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    static_cast<QFrame*>(m_statusBar1)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel0 = new QLabel(kIdle, m_statusBar1);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_progressBar1 = new QProgressBar(m_client);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 1000);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);

    layoutForClientSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    m_defaultButtons = new DefaultButtons(m_check, m_delete, this);
    m_defaultButtons->watchChildrenOf(m_client);
    // The browser takes its own keys.
    if (m_browser)
        m_defaultButtons->unwatch(m_browser->widget());
    // Shift+Enter in the two edit boxes reaches their own handlers.
    m_edit1->installEventFilter(this);
    m_edit2->installEventFilter(this);
    m_listBox1->installEventFilter(this);
}

void MainWindow::createMenus()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("メニュー"));
    menu->setObjectName(QStringLiteral("N1"));
    QAction* n9 = menu->addAction(QStringLiteral("拡張子の追加と削除(&T)"));
    n9->setObjectName(QStringLiteral("N9"));
    connect(n9, &QAction::triggered, this, &MainWindow::N9Click);
    QAction* n10 = menu->addAction(QStringLiteral("トップページ設定"));
    n10->setObjectName(QStringLiteral("N10"));
    connect(n10, &QAction::triggered, this, &MainWindow::N10Click);
    QAction* exit1 = menu->addAction(QStringLiteral("終了(&X)"));
    exit1->setObjectName(QStringLiteral("Exit1"));
    connect(exit1, &QAction::triggered, this, &MainWindow::Exit1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* about1 = help->addAction(QStringLiteral("バージョン情報(&V)"));
    about1->setObjectName(QStringLiteral("About1"));
    connect(about1, &QAction::triggered, this, &MainWindow::About1Click);

    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* a1 = m_popupMenu1->addAction(QStringLiteral("リストに追加"));
    a1->setObjectName(QStringLiteral("a1"));
    connect(a1, &QAction::triggered, this, &MainWindow::Action2Execute);
    m_n5 = m_popupMenu1->addAction(QStringLiteral("選択ページをチェック"));
    m_n5->setObjectName(QStringLiteral("N5"));
    connect(m_n5, &QAction::triggered, this, &MainWindow::checkClick);
    QAction* n6 = m_popupMenu1->addAction(QStringLiteral("選択ページを削除"));
    n6->setObjectName(QStringLiteral("N6"));
    connect(n6, &QAction::triggered, this, &MainWindow::deleteClick);
    QAction* n7 = m_popupMenu1->addAction(QStringLiteral("ダウンロード"));
    n7->setObjectName(QStringLiteral("N7"));
    connect(n7, &QAction::triggered, this, &MainWindow::Button3Click);
    QAction* n8 = m_popupMenu1->addAction(QStringLiteral("ＶＥＬを終了する"));
    n8->setObjectName(QStringLiteral("N8"));
    connect(n8, &QAction::triggered, this, &MainWindow::N8Click);

    m_popupMenu2 = new QMenu(this);
    m_popupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    m_n2 = m_popupMenu2->addAction(QStringLiteral("プレビュー"));
    m_n2->setObjectName(QStringLiteral("N2"));
    connect(m_n2, &QAction::triggered, this, &MainWindow::N2Click);
    m_n3 = m_popupMenu2->addAction(QStringLiteral("選択ファイルの削除"));
    m_n3->setObjectName(QStringLiteral("N3"));
    connect(m_n3, &QAction::triggered, this, &MainWindow::Button2Click);
    m_n4 = m_popupMenu2->addAction(QStringLiteral("ダウンロード"));
    m_n4->setObjectName(QStringLiteral("N4"));
    connect(m_n4, &QAction::triggered, this, &MainWindow::N4Click);
    connect(m_popupMenu2, &QMenu::aboutToShow, this, &MainWindow::PopupMenu2Popup);
    m_listBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_popupMenu2->popup(m_listBox1->viewport()->mapToGlobal(pos));
    });

    m_client->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_client, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_popupMenu1->popup(m_client->mapToGlobal(pos));
    });
}

void MainWindow::connectHandlers()
{
    m_grid.setChangeListener([this] {
        if (m_gridBatch == 0)
            showGrid();
    });
    connect(m_stringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncingGrid && current.isValid())
                    m_grid.setCurrent({current.column(), current.row() + 1});
            });
    connect(m_stringGrid1, &QAbstractItemView::clicked, this, &MainWindow::StringGrid1Click);

    connect(m_check, &QPushButton::clicked, this, &MainWindow::checkClick);
    connect(m_delete, &QPushButton::clicked, this, &MainWindow::deleteClick);
    connect(m_modoru, &QPushButton::clicked, this, &MainWindow::modoruClick);
    connect(m_susumu, &QPushButton::clicked, this, &MainWindow::susumuClick);
    connect(m_kousin, &QPushButton::clicked, this, &MainWindow::kousinClick);
    connect(m_idou, &QPushButton::clicked, this, &MainWindow::idouClick);
    connect(m_tuika, &QPushButton::clicked, this, &MainWindow::Action2Execute);
    connect(m_button2, &QPushButton::clicked, this, &MainWindow::Button2Click);
    connect(m_button3, &QPushButton::clicked, this, &MainWindow::Button3Click);
    connect(m_edit1, &QLineEdit::textChanged, this, &MainWindow::Edit1Change);
    connect(m_fetcher, &PageFetcher::finished, this, &MainWindow::onPageFetched);
    m_downloads->setMessageBox([this](const QString& text) { showMessage(text); });
    connect(m_downloads, &DownloadRunner::statusText, this, &MainWindow::setStatusText);
    connect(m_downloads, &DownloadRunner::progressRange, m_progressBar1, &QProgressBar::setRange);
    connect(m_downloads, &DownloadRunner::progress, m_progressBar1, &QProgressBar::setValue);
    connect(m_downloads, &DownloadRunner::finished, this, &MainWindow::downloadFinished);

    if (m_browser) {
        connect(m_browser, &BrowserPane::commandStateChanged, this,
                &MainWindow::WebBrowser1CommandStateChange);
        connect(m_browser, &BrowserPane::titleChanged, this, &MainWindow::WebBrowser1TitleChange);
        connect(m_browser, &BrowserPane::beforeNavigate, this, &MainWindow::WebBrowser1BeforeNavigate2);
        connect(m_browser, &BrowserPane::navigateComplete, this,
                &MainWindow::WebBrowser1NavigateComplete2);
    }
}

void MainWindow::layoutForClientSize(int width, int height)
{
    // Controls anchored right or bottom follow the window's size.
    const int dw = width - kClientWidth;
    const int dh = height - kClientHeight;
    m_listBox1->setGeometry(632, 0, 143 + dw, 161);
    m_button2->setGeometry(634, 161, 141 + dw, 24);
    m_button3->setGeometry(634, 186, 141 + dw, 24);
    m_panel5->setGeometry(-1, 211, 783 + dw, 310 + dh);
    if (m_browser)
        m_browser->widget()->setGeometry(1, 1, 781 + dw, 308 + dh);
    m_statusBar1->setGeometry(0, 519 + dh, 782 + dw, 25);
    // Panel 0 runs up to the progress bar so that every status text fits.
    m_statusPanel0->setGeometry(4, 2, 560 + dw, 21);
    m_progressBar1->setGeometry(569 + dw, 523 + dh, 209, 19);
    m_progressBar1->raise();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_client && m_listBox1)
        layoutForClientSize(std::max(m_client->width(), int(kClientWidth)),
                            std::max(m_client->height(), int(kClientHeight)));
    if (m_listBox1)
        FormResize();
}

void MainWindow::FormResize()
{
    m_listBox1->viewport()->update();
}

QString MainWindow::statusText() const
{
    return m_statusPanel0->text();
}

void MainWindow::setStatusText(const QString& text)
{
    m_statusPanel0->setText(text);
}

void MainWindow::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VEL"), text, QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::navigateTo(const QString& url)
{
    if (m_browser)
        m_browser->navigate(url);
}

// --- Start-up and end -------------------------------------------------------

void MainWindow::Action1Execute()
{
    // Settings are read from the directory the program was started in.
    std::error_code error;
    TopPageUrl = readStartPage(std::filesystem::current_path(error));
    const GridBatch batch(*this);
    m_grid.setCell(1, 0, fromQString(QStringLiteral("サイト名")));
    m_grid.setCell(2, 0, "URL");
    m_grid.setCell(3, 0, fromQString(QStringLiteral("状態")));
    navigateTo(toQString(TopPageUrl));
    LoadExecute();
    m_grid.setSelection({0, m_grid.rowCount(), SiteGrid::kColumnCount, m_grid.rowCount()});

    const QString listHint = QStringLiteral(
        "選択項目がgifまたはjpgファイルの場合\n"
        "スペースキーにてプレビューを見ることができます。\n"
        "複数選択時はプレビューできません");
    const QString titleHint = QStringLiteral(
        "現在のページのタイトルです。リストに追加する場合は\n"
        "そのままリストに表示されるため、各自で\n"
        "分かりやすいページ名に変更して下さい");
    for (QWidget* widget : {static_cast<QWidget*>(m_edit2), static_cast<QWidget*>(m_label2)}) {
        widget->setToolTip(titleHint);
        widget->setToolTipDuration(kHintMilliseconds);
    }
    m_listBox1->setToolTip(listHint);
    m_listBox1->setToolTipDuration(kHintMilliseconds);

    m_button2->setEnabled(false);
    m_button3->setEnabled(false);
}

void MainWindow::LoadExecute()
{
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    {
        const GridBatch batch(*this);
        m_siteListLoad = loadSiteList(m_grid, here);
    }
    if (!readsExtensionList(m_siteListLoad))
        return;
    const ChooserContents contents = chooserContents(readExtensionList(here));
    fillExtensionChooser(m_comboBox1, contents.items, contents.selectedIndex);
}

void MainWindow::saveExecute()
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
    // The site list is written where the program lives, which becomes current.
    std::error_code error;
    std::filesystem::current_path(m_programDirectory, error);
    if (saveSiteList(m_grid, m_programDirectory, m_siteListLoad) == SiteListSaveResult::BadNumber)
        showMessage(QString::fromUtf8(kSiteListSaveErrorMessage.data(),
                                      qsizetype(kSiteListSaveErrorMessage.size())));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    // A fetch still waiting on the network ends now; its result is dropped. A
    // batch download stops at its next read.
    m_fetcher->abortAndWait();
    m_downloads->cancelAndWait();
    saveExecute();
    event->accept();
    QApplication::quit();
}

void MainWindow::Exit1Click()
{
    close();
}

void MainWindow::N8Click()
{
    close();
}

void MainWindow::About1Click()
{
    m_aboutBox->show();
    m_aboutBox->raise();
}

void MainWindow::N9Click()
{
    m_form4->show();
    m_form4->raise();
    m_form4->activateWindow();
}

void MainWindow::N10Click()
{
    m_toppageForm->show();
    m_toppageForm->raise();
}

// --- Site list --------------------------------------------------------------

void MainWindow::showGrid()
{
    // The view moves its current index while rows come and go; those moves
    // are echoes of this change, not the user's.
    if (m_syncingGrid)
        return;
    m_syncingGrid = true;
    m_gridModel->refresh();
    m_syncingGrid = false;
    syncGridView();
}

MainWindow::GridBatch::GridBatch(MainWindow& form)
    : m_form(form)
{
    ++m_form.m_gridBatch;
}

MainWindow::GridBatch::~GridBatch()
{
    if (--m_form.m_gridBatch == 0)
        m_form.showGrid();
}

void MainWindow::syncGridView()
{
    QItemSelectionModel* selectionModel = m_stringGrid1->selectionModel();
    if (!selectionModel)
        return;
    m_syncingGrid = true;
    const int lastCol = SiteGrid::kColumnCount - 1;
    const int lastRow = m_grid.rowCount() - 1;
    const GridRect rect = m_grid.selection();
    const int top = std::max(rect.top, 1);
    const int bottom = std::min(rect.bottom, lastRow);
    const int left = std::clamp(rect.left, 0, lastCol);
    const int right = std::clamp(rect.right, 0, lastCol);
    if (top <= bottom && m_gridModel->rowCount() > 0) {
        const QItemSelection selection(m_gridModel->index(top - 1, left),
                                       m_gridModel->index(bottom - 1, right));
        selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel->clearSelection();
    }
    const GridCoord current = m_grid.current();
    if (current.row >= 1 && current.row <= lastRow) {
        selectionModel->setCurrentIndex(
            m_gridModel->index(current.row - 1, std::clamp(current.col, 0, lastCol)),
            QItemSelectionModel::NoUpdate);
    } else {
        selectionModel->clearCurrentIndex();
    }
    m_syncingGrid = false;
}

void MainWindow::applySelection(const RowSelection& selection, bool enableAdd)
{
    if (selection.navigateTo) {
        navigateTo(toQString(*selection.navigateTo));
        if (enableAdd)
            m_tuika->setEnabled(true);
    }
    m_check->setFocus();
}

void MainWindow::Action2Execute()
{
    AddResult result = AddResult::Added;
    {
        const GridBatch batch(*this);
        result = addSite(m_grid, fromQString(m_edit2->text()), fromQString(m_edit1->text()));
    }
    if (result == AddResult::EmptyUrl) {
        showMessage(QStringLiteral("URLは必ず記入して下さい"));
    }
}

void MainWindow::deleteClick()
{
    std::optional<RowSelection> selection;
    {
        const GridBatch batch(*this);
        selection = deleteCurrentSite(m_grid);
    }
    if (selection)
        applySelection(*selection, false);
}

void MainWindow::StringGrid1Click()
{
    applySelection(selectCurrentRow(m_grid), true);
}

void MainWindow::sentakuRect()
{
    applySelection(selectCurrentRow(m_grid), false);
}

void MainWindow::Edit2KeyPress()
{
    m_edit1->setFocus();
}

// --- Browser ----------------------------------------------------------------

void MainWindow::modoruClick()
{
    if (m_browser)
        m_browser->goBack();
}

void MainWindow::susumuClick()
{
    if (m_browser)
        m_browser->goForward();
}

void MainWindow::kousinClick()
{
    if (m_browser && m_browser->hasDocument())
        m_browser->refresh();
}

void MainWindow::idouClick()
{
    navigateTo(m_edit1->text());
}

void MainWindow::Edit1KeyPress()
{
    navigateTo(m_edit1->text());
}

void MainWindow::Edit1Change()
{
    m_tuika->setEnabled(mayAddToList(m_edit1->text()));
}

void MainWindow::WebBrowser1CommandStateChange(int command, bool enable)
{
    if (command == BrowserPane::kForwardCommand)
        m_susumu->setEnabled(enable);
    else if (command == BrowserPane::kBackCommand)
        m_modoru->setEnabled(enable);
}

void MainWindow::WebBrowser1TitleChange(const QString& text)
{
    m_edit2->setText(text);
}

void MainWindow::WebBrowser1BeforeNavigate2()
{
    // During a batch download the status bar reports the download alone.
    if (!m_downloads->running())
        setStatusText(kConnecting);
}

void MainWindow::WebBrowser1NavigateComplete2()
{
    if (!m_browser)
        return;
    m_edit1->setText(m_browser->locationUrl());
    if (!m_downloads->running())
        setStatusText(kIdle);
    m_tuika->setEnabled(mayAddToList(m_browser->locationUrl()));
}

// --- File search and download (filled in by their own parts) -----------------

void MainWindow::checkClick()
{
    const std::string extension = extensionChooserItem(m_comboBox1, m_comboBox1->currentIndex());
    SearchFiles(m_grid.cell(2, m_grid.currentRow()), extension);
}

void MainWindow::SearchFiles(const std::string& url, const std::string& extension)
{
    if (m_grid.cell(0, m_grid.currentRow()).empty()) {
        setStatusText(kIdle);
        return;
    }
    // One search at a time: the commands that start one are disabled meanwhile.
    if (m_fetcher->busy())
        return;
    m_tuika->setEnabled(true);
    m_searchExtension = extension;
    setStatusText(kConnecting);
    PageSource.clear();
    setFetchRunning(true);
    if (!m_fetcher->start(url))
        onPageFetched(PageFetchVerdict::OtherFailure, std::make_shared<std::string>());
}

void MainWindow::setFetchRunning(bool running)
{
    // Disabling the focused search button would hand the focus, and so Enter
    // and Space, to the delete button beside it: the focus waits in the grid,
    // where Enter presses the (disabled) search button, and comes back after.
    if (running && m_check->hasFocus()) {
        m_stringGrid1->setFocus();
        m_focusParked = true;
    }
    m_check->setEnabled(!running);
    m_n5->setEnabled(!running);
    if (!running && m_focusParked) {
        m_focusParked = false;
        if (m_stringGrid1->hasFocus())
            m_check->setFocus();
    }
}

void MainWindow::writeStatusToCurrentRow(const QString& text)
{
    // The row that is current now, which the user may have changed meanwhile.
    m_grid.setCell(3, m_grid.currentRow(), fromQString(text));
}

void MainWindow::onPageFetched(PageFetchVerdict verdict, std::shared_ptr<std::string> pageSource)
{
    if (m_closing)
        return;
    // A batch download owns the status bar and the current directory until it
    // ends; the search goes on after it.
    if (m_downloads->running()) {
        m_pendingFetch.emplace(verdict, std::move(pageSource));
        return;
    }
    setFetchRunning(false);
    PageSource = std::move(*pageSource);
    QString failure;
    QString failureStatus;
    switch (verdict) {
    case PageFetchVerdict::Aborted:
        return;
    case PageFetchVerdict::Page:
        finishSearch(m_searchExtension);
        return;
    case PageFetchVerdict::ProtocolError:
        failure = QStringLiteral("このページはご利用できません");
        failureStatus = QStringLiteral("利用できません");
        break;
    case PageFetchVerdict::OtherFailure:
        failure = QStringLiteral("ページが見つかりません");
        failureStatus = failure;
        break;
    case PageFetchVerdict::FramePage:
        failure = QStringLiteral("このページはフレームページです");
        failureStatus = failure;
        break;
    }
    showMessage(failure);
    writeStatusToCurrentRow(failureStatus);
    setStatusText(kIdle);
}

void MainWindow::finishSearch(const std::string& extension)
{
    setStatusText(kConnected);
    const std::string suffix = "." + extension;
    setStatusText(kSearching);
    const std::vector<std::string> absoluteLinks = ScanAbsoluteLinks(PageSource, "http://", suffix);
    const std::vector<std::string> relativeLinks = ScanRelativeLinks(PageSource, "=\"", suffix);
    const std::vector<std::string> entries = mergeFoundFiles(absoluteLinks, relativeLinks);

    m_listBox1->setEntries(entries);
    BaseUrl = DeriveBaseUrl(m_grid.cell(2, m_grid.currentRow()));
    FitFileListExtent();
    const int count = m_listBox1->count();
    writeStatusToCurrentRow(QString::number(count) + QStringLiteral("個のファイルが見つかりました"));
    if (count > 0) {
        m_button2->setEnabled(true);
        m_button3->setEnabled(true);
    }
    setStatusText(kIdle);
}

void MainWindow::FitFileListExtent()
{
    m_listBox1->setHorizontalExtent(m_listBox1->widestEntryWidth());
}

// --- Found-files list -------------------------------------------------------

void MainWindow::Button2Click()
{
    for (int i = m_listBox1->count() - 1; i >= 0; --i) {
        if (m_listBox1->item(i)->isSelected())
            delete m_listBox1->takeItem(i);
    }
    if (m_listBox1->count() == 0) {
        m_button2->setEnabled(false);
        m_button3->setEnabled(false);
    }
}

void MainWindow::openCurrentEntry()
{
    const std::string url =
        fullUrlOfEntry(FoundFilesList::entryBytes(m_listBox1->currentItem()), BaseUrl);
    m_edit1->setText(toQString(url));
    navigateTo(toQString(url));
    m_tuika->setEnabled(false);
}

void MainWindow::N2Click()
{
    openCurrentEntry();
}

void MainWindow::N4Click()
{
    openCurrentEntry();
}

void MainWindow::PopupMenu2Popup()
{
    const FoundFilesMenuState state =
        foundFilesMenuState(static_cast<int>(m_listBox1->selectedItems().size()),
                            m_listBox1->count(),
                            FoundFilesList::entryBytes(m_listBox1->currentItem()));
    m_n2->setEnabled(state.preview);
    m_n3->setEnabled(state.remove);
    m_n4->setEnabled(state.open);
}

void MainWindow::Button3Click()
{
    if (m_listBox1->count() > 0) {
        m_kakunin->show();
        m_kakunin->raise();
        return;
    }
    showMessage(QStringLiteral("ダウンロード対象ファイルが\nリストアップされていません"));
}

void MainWindow::runDownloadAll()
{
    if (m_downloads->running())
        return;
    DownloadBatch batch;
    batch.entries.reserve(static_cast<std::size_t>(m_listBox1->count()));
    for (int i = 0; i < m_listBox1->count(); ++i)
        batch.entries.push_back(FoundFilesList::entryBytes(m_listBox1->item(i)));
    batch.baseUrl = BaseUrl;
    std::error_code error;
    batch.programDir =
        m_programDirectory.empty() ? std::filesystem::current_path(error) : m_programDirectory;
    batch.shortDate =
        QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    // The program's windows take no input until the batch ends, but keep
    // repainting.
    qApp->installEventFilter(this);
    if (!m_downloads->start(std::move(batch)))
        qApp->removeEventFilter(this);
}

void MainWindow::downloadFinished()
{
    qApp->removeEventFilter(this);
    if (m_pendingFetch && !m_closing) {
        auto [verdict, source] = std::move(*m_pendingFetch);
        m_pendingFetch.reset();
        onPageFetched(verdict, std::move(source));
    }
}

// --- Keys -------------------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_downloads && m_downloads->running()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            // Every window of the program but the batch's own message box.
            if (auto* widget = qobject_cast<QWidget*>(watched);
                widget && !qobject_cast<QMessageBox*>(widget->window()))
                return true;
            break;
        default:
            break;
        }
    }
    // Space previews a single selected image entry; the list still gets the key.
    if (event->type() == QEvent::KeyPress && watched == m_listBox1
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space
        && spaceOpensEntry(static_cast<int>(m_listBox1->selectedItems().size()),
                           FoundFilesList::entryBytes(m_listBox1->currentItem()))) {
        openCurrentEntry();
        return false;
    }
    if (event->type() == QEvent::KeyPress && (watched == m_edit1 || watched == m_edit2)) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const bool enter = keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter;
        if (enter && (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            if (watched == m_edit1)
                Edit1KeyPress();
            else
                Edit2KeyPress();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vel
