#pragma once

#include <QListView>
#include <QTimer>

namespace vel {

// The found-files list as a grid of thumbnails, each with its file name and,
// once known, its pixel size and size in KB (painted by ThumbnailDelegate
// from the model's picture roles). It shares the list's model and selection;
// it asks for the rows in view and one screen ahead whenever they change.
class ThumbnailGrid final : public QListView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThumbnailGrid)

public:
    static constexpr int kThumbnailSide = 112;

    explicit ThumbnailGrid(QWidget* parent = nullptr);

    // Asks for the rows in view again soon (after scrolling, resizing, a
    // changed list, new pictures).
    void scheduleWantedRows();

signals:
    // The rows from `first` to `last` (inclusive, in view first) are wanted.
    void rowsWanted(int first, int last);

protected:
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void reset() override;

private:
    void emitWantedRows();

    QTimer m_wantTimer;
};

}  // namespace vel
