#include "gui/thumbnails/thumbnail_delegate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>

#include "gui/foundfiles/found_files_model.h"

namespace vel {

namespace {

constexpr int kMargin = 3;

}  // namespace

ThumbnailDelegate::ThumbnailDelegate(int side, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_side(side)
{}

QSize ThumbnailDelegate::cellSize(const QFontMetrics& metrics) const
{
    return {m_side + 2 * kMargin + 2, m_side + 2 * kMargin + 2 * metrics.height()};
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return cellSize(option.fontMetrics);
}

void ThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    item.text.clear();
    item.icon = {};
    item.features &= ~QStyleOptionViewItem::HasDisplay;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect cell = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QRect box(cell.left() + (cell.width() - m_side) / 2, cell.top(), m_side, m_side);
    const QImage image = index.data(FoundFilesModel::ThumbnailRole).value<QImage>();
    const QString problem = index.data(FoundFilesModel::ProblemRole).toString();
    painter->save();
    if (!image.isNull()) {
        const QSize shown =
            image.size().scaled(box.size(), Qt::KeepAspectRatio).boundedTo(image.size());
        const QRect target(box.left() + (box.width() - shown.width()) / 2,
                           box.top() + (box.height() - shown.height()) / 2, shown.width(),
                           shown.height());
        painter->drawImage(target, image);
    } else {
        // Not known yet: an empty frame; no picture: a crossed one.
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        if (!problem.isEmpty()) {
            painter->drawLine(box.topLeft(), box.bottomRight());
            painter->drawLine(box.topRight(), box.bottomLeft());
        }
    }
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const int line = option.fontMetrics.height();
    const QRect nameLine(cell.left(), box.bottom() + 1, cell.width(), line);
    const QString name = index.data(FoundFilesModel::NameRole).toString();
    painter->drawText(nameLine, Qt::AlignHCenter | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(name, Qt::ElideMiddle, cell.width()));
    const QString size = index.data(FoundFilesModel::PictureSizeRole).toString();
    painter->drawText(nameLine.translated(0, line), Qt::AlignHCenter | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(size, Qt::ElideRight, cell.width()));
    painter->restore();
}

}  // namespace vel
