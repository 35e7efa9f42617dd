#pragma once

#include <string>
#include <vector>

#include <QListWidget>

#include "core/foundfiles/found_entry.h"

namespace vel {

// The found-files list. Its horizontal scroll extent is set by the file search
// to the widest entry and stays so while entries are taken off the list.
class FoundFilesList final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundFilesList)

public:
    explicit FoundFilesList(QWidget* parent = nullptr);

    // Replaces the entries. Each keeps the page's bytes; the list shows them
    // decoded.
    void setEntries(const std::vector<std::string>& entries);
    // Replaces the entries with a search's, shown in the page's character set;
    // each keeps its listed text and the value the page wrote.
    void setEntries(const std::vector<FoundEntry>& entries, PageCharset charset);
    // The entry an item stands for; empty for no item.
    static FoundEntry entryOf(const QListWidgetItem* item);
    // The bytes of an entry; empty for no item.
    static std::string entryBytes(const QListWidgetItem* item);

    // The width in pixels of the widest entry in the list's font.
    int widestEntryWidth() const;
    int horizontalExtent() const { return m_extent; }
    void setHorizontalExtent(int pixels);

protected:
    void updateGeometries() override;

private:
    int m_extent = 0;
};

}  // namespace vel
