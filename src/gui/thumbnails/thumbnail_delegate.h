#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QStyledItemDelegate>

namespace vel {

// Paints one cell of the thumbnail grid: the thumbnail (or a placeholder
// while it is not known, or marked when there is none), the file name, and
// "幅×高さ" with the size in KB once known.
class ThumbnailDelegate final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThumbnailDelegate)

public:
    ThumbnailDelegate(int side, QObject* parent = nullptr);

    // A cell: the thumbnail's square and two lines of text, with margins.
    QSize cellSize(const QFontMetrics& metrics) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_side;
};

}  // namespace vel
