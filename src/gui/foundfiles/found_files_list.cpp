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
constexpr int kWrittenBytesRole = Qt::UserRole + 2;

QByteArray bytesOf(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

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

void FoundFilesList::setEntries(const std::vector<FoundEntry>& entries, PageCharset charset)
{
    clear();
    for (const FoundEntry& entry : entries) {
        auto* item = new QListWidgetItem(toQString(entry.text, charset));
        item->setData(kEntryBytesRole, bytesOf(entry.text));
        item->setData(kWrittenBytesRole, bytesOf(entry.written));
        addItem(item);
    }
}

FoundEntry FoundFilesList::entryOf(const QListWidgetItem* item)
{
    if (!item)
        return {};
    const QVariant written = item->data(kWrittenBytesRole);
    FoundEntry entry{entryBytes(item), {}};
    if (written.isValid()) {
        const QByteArray bytes = written.toByteArray();
        entry.written.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else {
        entry.written = entry.text;
    }
    return entry;
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
