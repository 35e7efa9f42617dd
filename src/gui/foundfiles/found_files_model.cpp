#include "gui/foundfiles/found_files_model.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <QGuiApplication>
#include <QPalette>
#include <QStringList>

#include "core/download/fetched_entries.h"
#include "gui/common/qt_text.h"

namespace vel {

FoundFilesModel::FoundFilesModel(QObject* parent)
    : QAbstractListModel(parent)
{}

int FoundFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const std::size_t row = static_cast<std::size_t>(index.row());
    const std::int64_t fetchedAt = row < m_fetchedAt.size() ? m_fetchedAt[row] : 0;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return withPixelSize(index.row());
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        // What is known of the entry besides its text: stored before, its
        // picture's size, why it has no thumbnail.
        QStringList notes;
        if (fetchedAt != 0)
            notes << QString::fromStdString(fetchedMarkText(fetchedAt));
        const PictureNote note = pictureNote(index.row());
        if (const QString size = pictureSizeText(note.facts); !size.isEmpty())
            notes << size;
        if (!note.problem.isEmpty())
            notes << note.problem;
        if (role == Qt::AccessibleDescriptionRole)
            return notes.join(QStringLiteral("、"));
        notes.prepend(textAt(index.row()));
        return notes.join(u'\n');
    }
    case Qt::ForegroundRole:
        if (fetchedAt != 0)
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::SizeHintRole:
        return m_itemSize.isValid() ? QVariant(m_itemSize) : QVariant();
    case NameRole: {
        const QString text = textAt(index.row());
        return text.mid(text.lastIndexOf(u'/') + 1);
    }
    case ThumbnailRole:
        return pictureNote(index.row()).thumbnail;
    case ProblemRole:
        return pictureNote(index.row()).problem;
    case PictureSizeRole:
        return pictureSizeText(pictureNote(index.row()).facts);
    default:
        return {};
    }
}

QString FoundFilesModel::pictureSizeText(const PictureFacts& facts)
{
    QStringList parts;
    if (const std::string pixels = pixelSizeText(facts); !pixels.empty())
        parts << QString::fromStdString(pixels);
    if (const std::string kilobytes = kilobytesText(facts); !kilobytes.empty())
        parts << QString::fromStdString(kilobytes);
    return parts.join(u' ');
}

QString FoundFilesModel::withPixelSize(int row) const
{
    const std::string pixels = pixelSizeText(pictureNote(row).facts);
    if (pixels.empty())
        return textAt(row);
    return textAt(row) + QStringLiteral("  ") + QString::fromStdString(pixels);
}

PictureNote FoundFilesModel::pictureNote(int row) const
{
    if (!m_pictureNote)
        return {};
    return m_pictureNote(m_entries[static_cast<std::size_t>(row)]);
}

void FoundFilesModel::setPictureNotes(std::function<PictureNote(const FoundEntry&)> notes)
{
    m_pictureNote = std::move(notes);
    picturesChanged();
}

void FoundFilesModel::picturesChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0),
                         {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole,
                          ThumbnailRole, ProblemRole, PictureSizeRole});
}

void FoundFilesModel::setEntries(std::vector<FoundEntry> entries, PageCharset charset)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_fetchedAt.clear();
    m_charset = charset;
    endResetModel();
}

void FoundFilesModel::appendEntries(std::vector<FoundEntry> entries)
{
    if (entries.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    m_entries.insert(m_entries.end(), std::make_move_iterator(entries.begin()),
                     std::make_move_iterator(entries.end()));
    endInsertRows();
}

void FoundFilesModel::removeRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](int row) { return row < 0 || row >= rowCount(); }),
               rows.end());
    if (rows.empty())
        return;
    // Contiguous runs, last first, so earlier rows keep their numbers.
    std::vector<std::pair<int, int>> runs;  // first, last
    for (const int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    constexpr std::size_t kMaxRunsOneByOne = 64;
    if (runs.size() <= kMaxRunsOneByOne) {
        // Row by row keeps the view's current entry and scroll position.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            m_entries.erase(m_entries.begin() + run->first, m_entries.begin() + run->second + 1);
            eraseFetchedTimes(run->first, run->second + 1);
            endRemoveRows();
        }
        return;
    }
    // Many scattered rows: one pass, so a long list is not moved once per run.
    beginResetModel();
    std::vector<FoundEntry> kept;
    std::vector<std::int64_t> keptTimes;
    kept.reserve(m_entries.size() - rows.size());
    auto next = rows.begin();
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row) {
        if (next != rows.end() && *next == row) {
            ++next;
            continue;
        }
        const auto at = static_cast<std::size_t>(row);
        kept.push_back(std::move(m_entries[at]));
        if (at < m_fetchedAt.size())
            keptTimes.push_back(m_fetchedAt[at]);
    }
    m_entries = std::move(kept);
    m_fetchedAt = std::move(keptTimes);
    endResetModel();
}

void FoundFilesModel::setItemSize(QSize size)
{
    if (size == m_itemSize)
        return;
    m_itemSize = size;
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}

void FoundFilesModel::setFetchedTimes(std::vector<std::int64_t> times)
{
    m_fetchedAt = std::move(times);
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole, Qt::ForegroundRole});
}

void FoundFilesModel::eraseFetchedTimes(int first, int end)
{
    const auto size = static_cast<int>(m_fetchedAt.size());
    if (first < size)
        m_fetchedAt.erase(m_fetchedAt.begin() + first, m_fetchedAt.begin() + std::min(end, size));
}

FoundEntry FoundFilesModel::entryAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_entries[static_cast<std::size_t>(row)];
}

QString FoundFilesModel::textAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return toQString(m_entries[static_cast<std::size_t>(row)].text, m_charset);
}

}  // namespace vel
