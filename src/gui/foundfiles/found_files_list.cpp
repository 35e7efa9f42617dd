#include "gui/foundfiles/found_files_list.h"

#include <algorithm>

#include <QByteArray>
#include <QFontMetrics>
#include <QScrollBar>

#include "gui/common/qt_text.h"

namespace vel {

FoundFilesList::FoundFilesList(QWidget* parent)
    : QListWidget(parent)
{
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

namespace {

constexpr int kEntryBytesRole = Qt::UserRole + 1;

}  // namespace

void FoundFilesList::setEntries(const std::vector<std::string>& entries)
{
    clear();
    for (const std::string& entry : entries) {
        auto* item = new QListWidgetItem(toQString(entry));
        item->setData(kEntryBytesRole,
                      QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
        addItem(item);
    }
}

std::string FoundFilesList::entryBytes(const QListWidgetItem* item)
{
    if (!item)
        return {};
    const QByteArray bytes = item->data(kEntryBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int FoundFilesList::widestEntryWidth() const
{
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(item(i)->text()));
    return widest;
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
