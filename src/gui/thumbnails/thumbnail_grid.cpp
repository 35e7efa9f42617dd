#include "gui/thumbnails/thumbnail_grid.h"

#include <algorithm>

#include <QScrollBar>

#include "gui/thumbnails/thumbnail_delegate.h"

namespace vel {

ThumbnailGrid::ThumbnailGrid(QWidget* parent)
    : QListView(parent)
{
    setObjectName(QStringLiteral("thumbnailGrid"));
    setAccessibleName(QStringLiteral("サムネイル"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionRectVisible(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* delegate = new ThumbnailDelegate(kThumbnailSide, this);
    setItemDelegate(delegate);
    setGridSize(delegate->cellSize(fontMetrics()));
    verticalScrollBar()->setSingleStep(gridSize().height() / 4);
    m_wantTimer.setSingleShot(true);
    m_wantTimer.setInterval(0);
    connect(&m_wantTimer, &QTimer::timeout, this, &ThumbnailGrid::emitWantedRows);
    hide();
}

void ThumbnailGrid::scheduleWantedRows()
{
    if (isVisible() && !m_wantTimer.isActive())
        m_wantTimer.start();
}

// The grid is laid out in rows of equal cells, so the rows in view follow
// from the scroll position alone, without asking the layout for each cell.
void ThumbnailGrid::emitWantedRows()
{
    const int count = model() ? model()->rowCount() : 0;
    const QSize cell = gridSize();
    if (count == 0 || !cell.isValid() || cell.isEmpty())
        return;
    const int columns = std::max(1, viewport()->width() / cell.width());
    const int top = std::max(0, verticalOffset()) / cell.height();
    const int screenRows = viewport()->height() / cell.height() + 1;
    const int first = std::min(count - 1, top * columns);
    const int last = std::min(count - 1, (top + 2 * screenRows + 1) * columns - 1);
    emit rowsWanted(first, last);
}

void ThumbnailGrid::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    scheduleWantedRows();
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    scheduleWantedRows();
}

void ThumbnailGrid::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    scheduleWantedRows();
}

void ThumbnailGrid::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QListView::rowsInserted(parent, start, end);
    scheduleWantedRows();
}

void ThumbnailGrid::reset()
{
    QListView::reset();
    scheduleWantedRows();
}

}  // namespace vel
