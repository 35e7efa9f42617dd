#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QObject>

#include "core/download/browser_cookies.h"
#include "core/foundfiles/found_entry.h"
#include "core/pictures/picture_fetch_queue.h"
#include "core/pictures/size_filter.h"

class QAction;
class QWidget;

namespace vel {

class FoundFilesPanel;
class SizeFilterDialog;
class ThumbnailGrid;
class ThumbnailStore;

// What the thumbnails need from the window.
struct ThumbnailServices {
    // Where fetched bodies are kept; empty: a temporary folder of the run.
    std::filesystem::path cacheFolder;
    // Where the listed entries come from, and the browser's cookies, for
    // requests made as the batch makes them (entryRequest).
    std::function<const EntrySource&()> entrySource;
    std::function<std::vector<BrowserCookie>()> browserCookies;
    // True while the list may not change (a batch runs).
    std::function<bool()> listLocked;
};

// The pictures of the found-files list: メニュー → "サムネイル表示" (Ctrl+T, also
// in the list's menu) shows the list as a grid of thumbnails in the browser
// pane's place, and "サイズで絞り込み" takes off the entries below a size,
// measuring those not known first.
class ThumbnailController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThumbnailController)

public:
    ThumbnailController(FoundFilesPanel* panel, QWidget* browserFrame, ThumbnailServices services,
                        QObject* parent = nullptr);
    ~ThumbnailController() override;

    QAction* viewAction() const { return m_viewAction; }
    QAction* filterAction() const { return m_filterAction; }
    ThumbnailStore* store() const { return m_store; }
    // Lays the grid over the browser pane's place (the window was resized).
    void layOut();
    // Ends every fetch and decode.
    void stop();

signals:
    void statusText(const QString& text);

private:
    void setGridShown(bool shown);
    void onRowsWanted(int first, int last);
    void onFilterConfirmed(const SizeMinimum& minimum);
    void applyFilter();
    std::string keyOf(const FoundEntry& entry) const;
    std::vector<PictureRequest> requestsFor(const std::vector<FoundEntry>& entries) const;

    FoundFilesPanel* m_panel;
    QWidget* m_browserFrame;
    ThumbnailServices m_services;
    ThumbnailStore* m_store = nullptr;
    ThumbnailGrid* m_grid = nullptr;
    SizeFilterDialog* m_filterDialog = nullptr;
    QAction* m_viewAction = nullptr;
    QAction* m_filterAction = nullptr;
    SizeMinimum m_minimum;
    bool m_filtering = false;
};

}  // namespace vel
