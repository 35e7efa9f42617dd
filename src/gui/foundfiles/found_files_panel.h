#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "core/foundfiles/found_entry.h"
#include "gui/foundfiles/found_files_model.h"

class QAbstractItemView;
class QAction;
class QMenu;
class QPushButton;

namespace vel {

class FoundFilesList;

// The top-right panel: the found-files list with its menu, the button that
// takes the selected entries off the list and the download button. Opening an
// entry (the menu, Space on a single image) and the download go out as
// signals.
class FoundFilesPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundFilesPanel)

public:
    static constexpr int kWidth = 143;
    static constexpr int kHeight = 211;

    explicit FoundFilesPanel(QWidget* parent = nullptr);

    QPushButton* downloadButton() const { return m_download; }

    // Replaces the list with a search's entries, measures the widest once and
    // enables the buttons when there is something to download.
    void showSearchResult(std::vector<FoundEntry> entries,
                          PageCharset charset = PageCharset::CodePage);
    // Adds entries after those listed (their texts are ASCII or UTF-8 URLs,
    // shown alike in any character set), widens the extent for them and
    // enables the buttons when there is something to download.
    void appendEntries(std::vector<FoundEntry> entries);
    // The entries in list order, as the page's bytes.
    const std::vector<FoundEntry>& entries() const;
    int count() const;
    // Marks the entries whose files were stored (see FoundFilesModel::setFetchedTimes).
    void markFetched(std::vector<std::int64_t> times);
    // Selects exactly the entries at these rows (out-of-range rows are
    // ignored) and makes the first of them the current entry, scrolled into
    // view; with none, the selection is cleared and the current entry stays.
    void selectEntries(const std::vector<int>& rows);

    // Lays the panel out for a width beyond its own (the window grew).
    void setExtraWidth(int pixels);

    // Another view of the list (the thumbnail grid): the same model and
    // selection, menu, Delete, Space and double click.
    void addView(QAbstractItemView* view);
    // An item of the list's context menu after its own.
    void addMenuAction(QAction* action);
    // Where the entries' pictures are known from (FoundFilesModel::setPictureNotes).
    void setPictureNotes(std::function<PictureNote(const FoundEntry&)> notes);
    void picturesChanged();
    // Takes these rows off the list in one step.
    void removeEntries(const std::vector<int>& rows);

public slots:
    void onDeleteSelectedFilesClicked();
    // Enables the menu's items for the list as it is now.
    void updateMenu();

signals:
    // Open this entry in the browser (bytes as in the page).
    void openEntryRequested(const vel::FoundEntry& entry);
    void downloadClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void requestOpenCurrent();
    void setButtonsEnabled(bool enabled);
    void wireView(QAbstractItemView* view);

    FoundFilesList* m_list = nullptr;
    QPushButton* m_deleteSelected = nullptr;
    QPushButton* m_download = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_preview = nullptr;
    QAction* m_remove = nullptr;
    QAction* m_open = nullptr;
    std::vector<QAbstractItemView*> m_views;  // the list first
};

}  // namespace vel
