#include "gui/foundfiles/found_files_list.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include <QAbstractItemDelegate>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QStyleOptionViewItem>

#include "gui/foundfiles/found_files_model.h"

namespace vel {

namespace {

// How many of the longest entries are measured for the scroll extent. Widths
// follow byte lengths closely (one glyph per byte or per double-byte
// character), so the widest entry is among the longest ones.
constexpr std::size_t kMeasuredEntries = 256;

}  // namespace

FoundFilesList::FoundFilesList(QWidget* parent)
    : QListView(parent)
    , m_model(new FoundFilesModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void FoundFilesList::setEntries(std::vector<FoundEntry> entries, PageCharset charset)
{
    m_model->setEntries(std::move(entries), charset);
}

void FoundFilesList::appendEntries(std::vector<FoundEntry> entries)
{
    m_model->appendEntries(std::move(entries));
}

void FoundFilesList::setFetchedTimes(std::vector<std::int64_t> times)
{
    m_model->setFetchedTimes(std::move(times));
}

int FoundFilesList::count() const
{
    return m_model->rowCount();
}

const std::vector<FoundEntry>& FoundFilesList::entries() const
{
    return m_model->entries();
}

FoundEntry FoundFilesList::entryAt(int row) const
{
    return m_model->entryAt(row);
}

QString FoundFilesList::textAt(int row) const
{
    return m_model->textAt(row);
}

int FoundFilesList::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FoundFilesList::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(m_model->index(row, 0), command);
}

bool FoundFilesList::isRowSelected(int row) const
{
    return selectionModel()->isRowSelected(row, {});
}

void FoundFilesList::setRowSelected(int row, bool selected)
{
    selectionModel()->select(m_model->index(row, 0),
                             selected ? QItemSelectionModel::Select
                                      : QItemSelectionModel::Deselect);
}

std::vector<int> FoundFilesList::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FoundFilesList::removeSelected()
{
    m_model->removeRows(selectedRows());
}

int FoundFilesList::widestEntryWidth() const
{
    const std::vector<FoundEntry>& all = m_model->entries();
    std::vector<int> rows(all.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int>(i);
    const std::size_t measured = std::min(kMeasuredEntries, rows.size());
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(measured),
                      rows.end(), [&all](int a, int b) {
                          return all[static_cast<std::size_t>(a)].text.size()
                              > all[static_cast<std::size_t>(b)].text.size();
                      });
    const QFontMetrics metrics(font());
    int widest = 0;
    for (std::size_t i = 0; i < measured; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(m_model->textAt(rows[i])));
    // Room for a pixel size shown after the text once it is known.
    if (widest > 0 && m_model->showsPictureSizes())
        widest += metrics.horizontalAdvance(QStringLiteral("  00000×00000"));
    return widest;
}

void FoundFilesList::setHorizontalExtent(int pixels)
{
    m_extent = std::max(pixels, 0);
    // Rows all report the extent as their width, so the view's own scroll
    // range follows it and stays when the widest entry is taken off.
    m_model->setItemSize({});
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int height = count() > 0 ? itemDelegate()->sizeHint(option, m_model->index(0, 0)).height()
                                   : fontMetrics().height();
    m_model->setItemSize({m_extent, height});
}

}  // namespace vel
