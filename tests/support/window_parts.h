#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPoint>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QTableView>

#include "gui/browser/browser_bar.h"
#include "gui/download/download_controller.h"
#include "gui/foundfiles/found_files_list.h"
#include "gui/foundfiles/found_files_panel.h"
#include "gui/search/file_search_controller.h"
#include "gui/search/live_search_controller.h"
#include "gui/sitelist/site_list_panel.h"

namespace vel::test {

// The child of `parent` of type T (and object name, where given); a test
// whose control is missing stops here.
template <typename T>
T* part(const QObject* parent, const char* name = nullptr)
{
    T* found = name ? parent->findChild<T*>(QString::fromLatin1(name)) : parent->findChild<T*>();
    if (!found)
        qFatal("no control %s", name ? name : T::staticMetaObject.className());
    return found;
}

// The main window's controls and controllers, found the way accessibility
// tools find them: the panel by its type, the control by its object name.
class WindowParts {
public:
    explicit WindowParts(QWidget* window)
        : m_window(window)
    {}

    QTableView* siteTable() const { return in<SiteListPanel, QTableView>("StringGrid1"); }
    QLineEdit* titleEdit() const { return in<SiteListPanel, QLineEdit>("Edit2"); }
    QComboBox* extensionChooser() const { return in<SiteListPanel, QComboBox>("ComboBox1"); }
    QPushButton* searchButton() const { return in<SiteListPanel, QPushButton>("check"); }
    QPushButton* deleteButton() const { return in<SiteListPanel, QPushButton>("delete"); }
    // A cell of the site grid as the table shows it; row 0 is the header row.
    QString cell(int column, int row) const;
    // The rows numbered from the top: the sites.
    int siteCount() const;
    // The current cell (column, grid row) as the table shows it; (-1, -1): none.
    QPoint currentCell() const;
    // Makes a cell current, as the arrow keys do.
    void setCurrentCell(int column, int row) const;

    QLineEdit* urlEdit() const { return in<BrowserBar, QLineEdit>("Edit1"); }
    QPushButton* backButton() const { return in<BrowserBar, QPushButton>("modoru"); }
    QPushButton* forwardButton() const { return in<BrowserBar, QPushButton>("susumu"); }
    QPushButton* refreshButton() const { return in<BrowserBar, QPushButton>("kousin"); }
    QPushButton* goButton() const { return in<BrowserBar, QPushButton>("idou"); }
    QPushButton* addToListButton() const { return in<BrowserBar, QPushButton>("tuika"); }

    FoundFilesPanel* foundFiles() const { return part<FoundFilesPanel>(m_window); }
    FoundFilesList* foundList() const { return in<FoundFilesPanel, FoundFilesList>("ListBox1"); }
    QPushButton* deleteSelectedButton() const
    {
        return in<FoundFilesPanel, QPushButton>("Button2");
    }
    QPushButton* downloadButton() const { return in<FoundFilesPanel, QPushButton>("button3"); }
    QMenu* foundFilesMenu() const { return in<FoundFilesPanel, QMenu>("PopupMenu2"); }
    // The found-files list's texts, top to bottom.
    QStringList listed() const;

    QLabel* statusLabel() const { return in<QStatusBar, QLabel>("StatusPanel0"); }
    QString statusText() const { return statusLabel()->text(); }
    QProgressBar* progressBar() const { return in<QStatusBar, QProgressBar>("ProgressBar1"); }
    QMenu* windowMenu() const { return part<QMenu>(m_window, "PopupMenu1"); }
    QAction* action(const char* name) const { return part<QAction>(m_window, name); }
    // Opens the start page box and presses its OK, which writes the start
    // page it shows into the working folder.
    void saveStartPage() const;

    FileSearchController* fileSearch() const { return part<FileSearchController>(m_window); }
    DownloadController* downloads() const { return part<DownloadController>(m_window); }
    LiveSearchController* liveSearch() const { return part<LiveSearchController>(m_window); }
    // One of the window's other windows (AboutBox, DownloadConfirmDialog, ...).
    template <typename Dialog>
    Dialog* dialog() const
    {
        return part<Dialog>(m_window);
    }

private:
    template <typename Panel, typename T>
    T* in(const char* name) const
    {
        return part<T>(part<Panel>(m_window), name);
    }

    QWidget* m_window;
};

}  // namespace vel::test
