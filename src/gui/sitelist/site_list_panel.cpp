#include "gui/sitelist/site_list_panel.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "gui/common/push_button.h"
#include "gui/desktop/url_drop_target.h"
#include "gui/sitelist/site_grid_model.h"

namespace vel {

SiteListPanel::SiteListPanel(SiteGrid& grid, QWidget* parent)
    : QWidget(parent)
    , m_grid(grid)
{
    setObjectName(QStringLiteral("siteListPanel"));
    resize(kWidth, kHeight);
    createTable();
    m_searchButton = makePushButton(this, "check", QStringLiteral("ファイルサーチ"),
                                    QStringLiteral("選択されたページのファイル検索を開始します"),
                                    "system-search", {8, 149, 113, 25});
    m_deleteButton = makePushButton(this, "delete", QStringLiteral("選択項目を削除"),
                                    QStringLiteral("選択されたページをリストから削除します"),
                                    "edit-delete", {120, 149, 113, 25});
    createTitleBox();
    createExtensionChooser();
    connectSignals();
}

void SiteListPanel::createTable()
{
    m_model = new SiteGridModel(m_grid, this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("StringGrid1"));
    m_table->setAccessibleName(QStringLiteral("サイト一覧"));
    m_table->setModel(m_model);
    connect(new UrlDropTarget(m_table), &UrlDropTarget::urlDropped, this,
            &SiteListPanel::urlDropped);
    m_table->setFocusPolicy(Qt::StrongFocus);
    m_table->setTabKeyNavigation(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setMinimumSectionSize(15);
    m_table->verticalHeader()->setDefaultSectionSize(15);
    m_table->horizontalHeader()->setFixedHeight(16);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setSectionsClickable(false);
    const int widths[] = {49, 156, 217, 170};
    for (int col = 0; col < SiteGrid::kColumnCount; ++col)
        m_table->setColumnWidth(col, widths[col]);
    m_table->setGeometry(8, 2, 617, 143);
}

void SiteListPanel::createTitleBox()
{
    m_titleLabel = new QLabel(QStringLiteral("タイトル"), this);
    m_titleLabel->setObjectName(QStringLiteral("Label2"));
    m_titleLabel->move(240, 156);
    m_titleLabel->adjustSize();
    m_titleEdit = new QLineEdit(this);
    m_titleEdit->setObjectName(QStringLiteral("Edit2"));
    m_titleEdit->setGeometry(283, 152, 270, 20);
    m_titleEdit->setAccessibleName(QStringLiteral("タイトル"));
    m_titleLabel->setBuddy(m_titleEdit);
    const QString titleHint = QStringLiteral("現在のページのタイトルです。リストに追加する場合は\n"
                                             "そのままリストに表示されるため、各自で\n"
                                             "分かりやすいページ名に変更して下さい");
    for (QWidget* widget :
         {static_cast<QWidget*>(m_titleEdit), static_cast<QWidget*>(m_titleLabel)}) {
        widget->setToolTip(titleHint);
        widget->setToolTipDuration(kHintMilliseconds);
    }
}

void SiteListPanel::createExtensionChooser()
{
    m_extensionChooser = new QComboBox(this);
    m_extensionChooser->setObjectName(QStringLiteral("ComboBox1"));
    m_extensionChooser->setAccessibleName(QStringLiteral("拡張子"));
    m_extensionChooser->setEditable(false);
    m_extensionChooser->setGeometry(560, 152, 65, 20);
    m_extensionChooser->setToolTip(QStringLiteral("検索するファイル拡張子を選択して下さい"));
    m_extensionChooser->setToolTipDuration(kHintMilliseconds);
}

void SiteListPanel::connectSignals()
{
    m_grid.setChangeListener([this] {
        if (m_batchDepth == 0)
            showGrid();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid())
                    m_grid.setCurrent({current.column(), current.row() + 1});
            });
    connect(m_table, &QAbstractItemView::clicked, this, &SiteListPanel::rowClicked);
    connect(m_searchButton, &QPushButton::clicked, this, &SiteListPanel::searchClicked);
    connect(m_deleteButton, &QPushButton::clicked, this, &SiteListPanel::deleteClicked);
    // Shift+Enter in the title box is the panel's; a plain Enter is the window's.
    m_titleEdit->installEventFilter(this);
}

bool SiteListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_titleEdit && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const bool enter = keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter;
        if (enter && (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            emit titleConfirmed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

SiteListPanel::~SiteListPanel()
{
    // The table reads the grid through its model: both stop before the grid goes.
    m_grid.setChangeListener({});
    delete m_table;
    m_table = nullptr;
    delete m_model;
    m_model = nullptr;
}

void SiteListPanel::showGrid()
{
    // The table moves its current index while rows come and go; those moves
    // are echoes of this change, not the user's.
    if (m_syncing)
        return;
    m_syncing = true;
    m_model->refresh();
    m_syncing = false;
    syncSelection();
}

void SiteListPanel::syncSelection()
{
    QItemSelectionModel* selectionModel = m_table->selectionModel();
    if (!selectionModel)
        return;
    m_syncing = true;
    const int lastCol = SiteGrid::kColumnCount - 1;
    const int lastRow = m_grid.rowCount() - 1;
    const GridRect rect = m_grid.selection();
    const int top = std::max(rect.top, 1);
    const int bottom = std::min(rect.bottom, lastRow);
    const int left = std::clamp(rect.left, 0, lastCol);
    const int right = std::clamp(rect.right, 0, lastCol);
    if (top <= bottom && m_model->rowCount() > 0) {
        const QItemSelection selection(m_model->index(top - 1, left),
                                       m_model->index(bottom - 1, right));
        selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel->clearSelection();
    }
    const GridCoord current = m_grid.current();
    if (current.row >= 1 && current.row <= lastRow) {
        selectionModel->setCurrentIndex(
            m_model->index(current.row - 1, std::clamp(current.col, 0, lastCol)),
            QItemSelectionModel::NoUpdate);
    } else {
        selectionModel->clearCurrentIndex();
    }
    m_syncing = false;
}

SiteListPanel::Batch::Batch(SiteListPanel& panel)
    : m_panel(panel)
{
    ++m_panel.m_batchDepth;
}

SiteListPanel::Batch::~Batch()
{
    if (--m_panel.m_batchDepth == 0)
        m_panel.showGrid();
}

}  // namespace vel
