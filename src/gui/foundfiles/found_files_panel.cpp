#include "gui/foundfiles/found_files_panel.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QModelIndex>
#include <QPushButton>

#include "core/foundfiles/found_files_rules.h"
#include "gui/common/push_button.h"
#include "gui/foundfiles/found_files_list.h"

namespace vel {

FoundFilesPanel::FoundFilesPanel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("foundFilesPanel"));
    resize(kWidth, kHeight);

    m_list = new FoundFilesList(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setAccessibleName(QStringLiteral("見つかったファイル"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setToolTip(
        QStringLiteral("選択項目が画像ファイル（gif・jpg・png・webp・bmp・svg）の場合\n"
                       "スペースキーにてプレビューを見ることができます。\n"
                       "複数選択時はプレビューできません"));
    m_list->setToolTipDuration(kHintMilliseconds);

    m_deleteSelected = makePushButton(this, "Button2", QStringLiteral("選択ファイルの削除"),
                                      QStringLiteral("選択した項目をダウンロード対象から外します"),
                                      nullptr, {2, 161, 141, 24});
    m_download =
        makePushButton(this, "button3", QStringLiteral("ダウンロード"),
                       QStringLiteral("上記リストに表示されているファイルをダウンロードします"),
                       "document-save", {2, 186, 141, 24});
    setExtraWidth(0);
    setButtonsEnabled(false);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu2"));
    m_preview = m_menu->addAction(QStringLiteral("プレビュー"));
    m_preview->setObjectName(QStringLiteral("N2"));
    m_remove = m_menu->addAction(QStringLiteral("選択ファイルの削除"));
    m_remove->setObjectName(QStringLiteral("N3"));
    m_open = m_menu->addAction(QStringLiteral("ダウンロード"));
    m_open->setObjectName(QStringLiteral("N4"));
    // "Download" here opens the entry in the browser, as the preview does.
    connect(m_preview, &QAction::triggered, this, &FoundFilesPanel::requestOpenCurrent);
    connect(m_remove, &QAction::triggered, this, &FoundFilesPanel::onDeleteSelectedFilesClicked);
    connect(m_open, &QAction::triggered, this, &FoundFilesPanel::requestOpenCurrent);
    connect(m_menu, &QMenu::aboutToShow, this, &FoundFilesPanel::updateMenu);
    wireView(m_list);

    connect(m_deleteSelected, &QPushButton::clicked, this,
            &FoundFilesPanel::onDeleteSelectedFilesClicked);
    connect(m_download, &QPushButton::clicked, this, &FoundFilesPanel::downloadClicked);
}

void FoundFilesPanel::addView(QAbstractItemView* view)
{
    view->setModel(m_list->model());
    QItemSelectionModel* own = view->selectionModel();
    view->setSelectionModel(m_list->selectionModel());
    delete own;
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    wireView(view);
}

// Every view of the list takes the same menu, keys and double click.
void FoundFilesPanel::wireView(QAbstractItemView* view)
{
    m_views.push_back(view);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& pos) { m_menu->popup(view->viewport()->mapToGlobal(pos)); });
    connect(view, &QAbstractItemView::doubleClicked, this, &FoundFilesPanel::requestOpenCurrent);
    view->installEventFilter(this);
}

void FoundFilesPanel::addMenuAction(QAction* action)
{
    m_menu->addAction(action);
}

void FoundFilesPanel::setPictureNotes(std::function<PictureNote(const FoundEntry&)> notes)
{
    m_list->entryModel()->setPictureNotes(std::move(notes));
}

void FoundFilesPanel::picturesChanged()
{
    m_list->entryModel()->picturesChanged();
}

void FoundFilesPanel::removeEntries(const std::vector<int>& rows)
{
    m_list->entryModel()->removeRows(rows);
    if (m_list->count() == 0)
        setButtonsEnabled(false);
}

void FoundFilesPanel::setExtraWidth(int pixels)
{
    resize(kWidth + pixels, kHeight);
    m_list->setGeometry(0, 0, 143 + pixels, 161);
    m_deleteSelected->setGeometry(2, 161, 141 + pixels, 24);
    m_download->setGeometry(2, 186, 141 + pixels, 24);
    m_list->viewport()->update();
}

void FoundFilesPanel::showSearchResult(std::vector<FoundEntry> entries, PageCharset charset)
{
    m_list->setEntries(std::move(entries), charset);
    m_list->setHorizontalExtent(m_list->widestEntryWidth());
    if (m_list->count() > 0)
        setButtonsEnabled(true);
}

void FoundFilesPanel::appendEntries(std::vector<FoundEntry> entries)
{
    if (entries.empty())
        return;
    m_list->appendEntries(std::move(entries));
    m_list->setHorizontalExtent(std::max(m_list->horizontalExtent(), m_list->widestEntryWidth()));
    setButtonsEnabled(true);
}

const std::vector<FoundEntry>& FoundFilesPanel::entries() const
{
    return m_list->entries();
}

void FoundFilesPanel::markFetched(std::vector<std::int64_t> times)
{
    m_list->setFetchedTimes(std::move(times));
}

int FoundFilesPanel::count() const
{
    return m_list->count();
}

void FoundFilesPanel::selectEntries(const std::vector<int>& rows)
{
    QItemSelectionModel* selection = m_list->selectionModel();
    QItemSelection wanted;
    QModelIndex first;
    for (const int row : rows) {
        if (row < 0 || row >= m_list->count())
            continue;
        const QModelIndex index = m_list->model()->index(row, 0);
        wanted.select(index, index);
        if (!first.isValid())
            first = index;
    }
    selection->select(wanted, QItemSelectionModel::ClearAndSelect);
    if (first.isValid()) {
        selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        m_list->scrollTo(first);
    }
}

void FoundFilesPanel::onDeleteSelectedFilesClicked()
{
    m_list->removeSelected();
    if (m_list->count() == 0)
        setButtonsEnabled(false);
}

void FoundFilesPanel::updateMenu()
{
    const FoundFilesMenuState state =
        foundFilesMenuState(static_cast<int>(m_list->selectedRows().size()), m_list->count(),
                            m_list->entryAt(m_list->currentRow()).text);
    m_preview->setEnabled(state.preview);
    m_remove->setEnabled(state.remove);
    m_open->setEnabled(state.open);
}

void FoundFilesPanel::requestOpenCurrent()
{
    emit openEntryRequested(m_list->entryAt(m_list->currentRow()));
}

void FoundFilesPanel::setButtonsEnabled(bool enabled)
{
    m_deleteSelected->setEnabled(enabled);
    m_download->setEnabled(enabled);
}

bool FoundFilesPanel::eventFilter(QObject* watched, QEvent* event)
{
    const bool view = std::find(m_views.begin(), m_views.end(), watched) != m_views.end();
    if (!view || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Delete takes the selected entries off, as the button does.
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
        onDeleteSelectedFilesClicked();
        return true;
    }
    // Space previews a single selected image entry; the view still gets the key.
    if (key->key() == Qt::Key_Space
        && spaceOpensEntry(static_cast<int>(m_list->selectedRows().size()),
                           m_list->entryAt(m_list->currentRow()).text))
        requestOpenCurrent();
    return QWidget::eventFilter(watched, event);
}

}  // namespace vel
