#pragma once

#include <filesystem>
#include <memory>

#include <QObject>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>

#include "gui/app/main_window.h"
#include "support/fake_browser_pane.h"
#include "support/http_test_server.h"
#include "support/modal_watcher.h"
#include "support/temp_dir.h"
#include "support/window_parts.h"

namespace vel::test {

// Long enough for a slow, busy machine; a passing test never waits it out.
inline constexpr int kWindowTimeout = 30000;

// How a test's window is built: as the program builds it, with these parts.
struct WindowSetup {
    BrowserPane* browser = nullptr;  // none: a FakeBrowserPane, in m_browser
    bool fetchPages = false;  // the real HTTP client, else no page is found
    bool downloadFiles = false;  // the real batch download, else nothing is downloaded
    std::filesystem::path programDirectory;
    bool writeSiteList = false;  // the save at the end writes config.bin, else it is only counted
    QStringList extensions;  // the extension chooser's items
};

// The base of the window tests: one main window at a time, its controls as
// WindowParts finds them, a loopback server for its pages and files, a
// temporary folder, and the steps many tests share. Its headers bring the
// Qt Test and widget headers those tests use.
class WindowTest : public QObject {
protected:
    // Builds a new window (the previous one goes first) and shows it.
    void openWindow(WindowSetup setup = {});
    // Ends the window, the server and a change of the current directory.
    void closeWindow();
    WindowParts ui() const { return WindowParts(m_form.get()); }

    // The server for this test's pages, started at first use.
    HttpTestServer& server();
    QString url(const QString& path);
    QString url(const char* path) { return url(QString::fromLatin1(path)); }
    // A folder of its own for the running test (and data row).
    std::filesystem::path testFolder() const;
    // Makes `folder` the process's current directory until closeWindow().
    void enterFolder(const std::filesystem::path& folder);

    // Adds a site row for the page, as typed into the title and URL boxes.
    void addSite(const QString& title, const QString& siteUrl);
    // Adds a site row and makes it current, as a click on the row does.
    void addAndSelect(const QString& siteUrl);
    // Chooses the extension (when given), presses the search button and
    // waits for the search to end.
    void search(const QString& extension = {});
    // Presses the download button and the confirmation's OK, and waits for
    // the batch to end.
    void downloadAll();

    TempDir m_root;
    std::unique_ptr<MainWindow> m_form;
    FakeBrowserPane* m_browser = nullptr;
    int m_saves = 0;

private:
    std::unique_ptr<HttpTestServer> m_server;
    std::filesystem::path m_savedDirectory;
};

}  // namespace vel::test
