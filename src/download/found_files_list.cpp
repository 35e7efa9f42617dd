#include "download/found_files_list.h"

#include <algorithm>

#include <QScrollBar>

namespace vel {

FoundFilesList::FoundFilesList(QWidget* parent)
    : QListWidget(parent)
{
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void FoundFilesList::setHorizontalExtent(int pixels)
{
    m_extent = std::max(pixels, 0);
    updateGeometries();
}

void FoundFilesList::updateGeometries()
{
    QListWidget::updateGeometries();
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(m_extent - viewport()->width(), 0));
    bar->setPageStep(viewport()->width());
}

}  // namespace vel
