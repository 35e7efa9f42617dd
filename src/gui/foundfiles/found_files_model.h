#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include <QAbstractListModel>
#include <QImage>
#include <QSize>
#include <QString>

#include "core/foundfiles/found_entry.h"
#include "core/pictures/size_filter.h"

namespace vel {

// What is known of one entry's picture, for the views.
struct PictureNote {
    PictureFacts facts;
    QImage thumbnail;
    QString problem;  // why there is no thumbnail; empty while unknown or fine
};

// The found-files list as an item model: the entries stay the page's bytes and
// are decoded only when a row is shown, so a list of a million entries costs
// one vector, not a million items.
class FoundFilesModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundFilesModel)

public:
    // The roles the thumbnail grid paints from.
    enum Role {
        NameRole = Qt::UserRole + 1,  // the text's last segment
        ThumbnailRole,  // QImage; null while not known or when there is none
        ProblemRole,  // why there is no thumbnail
        PictureSizeRole,  // "320×240 12 KB", as far as known
    };

    explicit FoundFilesModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces every entry in one step.
    void setEntries(std::vector<FoundEntry> entries, PageCharset charset);
    // Adds entries after the last row, in one step.
    void appendEntries(std::vector<FoundEntry> entries);
    // Takes these rows off the list (any order, repeats allowed).
    void removeRows(std::vector<int> rows);

    const std::vector<FoundEntry>& entries() const { return m_entries; }
    // The entry at a row; empty for a row outside the list.
    FoundEntry entryAt(int row) const;
    QString textAt(int row) const;
    // The size every row reports; an invalid size lets the view measure.
    void setItemSize(QSize size);
    // When each row's file was stored (seconds since the epoch; 0: never, as
    // for rows beyond the times given). Such rows are greyed, and their tool
    // tip and accessible description say so with the date. Rows added or
    // replaced later start unmarked.
    void setFetchedTimes(std::vector<std::int64_t> times);

    // Where each entry's picture is known from; the list shows a pixel size
    // after the text, and the tool tip and accessible description tell the
    // pixel size, the size in KB and why there is no thumbnail.
    void setPictureNotes(std::function<PictureNote(const FoundEntry&)> notes);
    bool showsPictureSizes() const { return static_cast<bool>(m_pictureNote); }
    // Some entries' pictures became known.
    void picturesChanged();

    // "320×240 12 KB", as far as known.
    static QString pictureSizeText(const PictureFacts& facts);

private:
    QString withPixelSize(int row) const;
    PictureNote pictureNote(int row) const;
    // Takes the rows from `first` up to `end` off the fetched times.
    void eraseFetchedTimes(int first, int end);

    std::vector<FoundEntry> m_entries;
    std::vector<std::int64_t> m_fetchedAt;  // per row, see setFetchedTimes
    PageCharset m_charset = PageCharset::CodePage;
    QSize m_itemSize;
    std::function<PictureNote(const FoundEntry&)> m_pictureNote;
};

}  // namespace vel
