#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QItemSelectionModel>
#include <QListView>

#include "core/foundfiles/found_entry.h"

namespace vel {

class FoundFilesModel;

// The found-files list: a view over the entries' bytes with rows of one
// height, so a long list is laid out at once. Its horizontal scroll extent is
// set by the file search from the widest entries and stays so while entries
// are taken off the list.
class FoundFilesList final : public QListView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundFilesList)

public:
    explicit FoundFilesList(QWidget* parent = nullptr);

    // Replaces the entries in one step, shown in the page's character set.
    void setEntries(std::vector<FoundEntry> entries, PageCharset charset);
    // Adds entries after the last one, in one step; the list's character set stays.
    void appendEntries(std::vector<FoundEntry> entries);

    // Marks the entries whose files were stored (see FoundFilesModel::setFetchedTimes).
    void setFetchedTimes(std::vector<std::int64_t> times);

    FoundFilesModel* entryModel() const { return m_model; }
    int count() const;
    const std::vector<FoundEntry>& entries() const;
    FoundEntry entryAt(int row) const;
    QString textAt(int row) const;
    int currentRow() const;
    void setCurrentRow(
        int row, QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect);
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    // The selected rows, in list order.
    std::vector<int> selectedRows() const;
    // Takes the selected entries off the list.
    void removeSelected();

    // The width in pixels of the widest entry in the list's font, measured on
    // the entries longest in bytes rather than on every entry.
    int widestEntryWidth() const;
    int horizontalExtent() const { return m_extent; }
    void setHorizontalExtent(int pixels);

private:
    FoundFilesModel* m_model;
    int m_extent = 0;
};

}  // namespace vel
