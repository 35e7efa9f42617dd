#include "support/window_test.h"

#include <utility>

#include "core/download/download_all.h"
#include "core/http/http_client.h"
#include "gui/download/download_confirm_dialog.h"

namespace vel::test {

void WindowTest::openWindow(WindowSetup setup)
{
    m_form.reset();
    m_saves = 0;
    MainWindowServices services;
    m_browser = setup.browser ? nullptr : new FakeBrowserPane;
    services.browser = setup.browser ? setup.browser : m_browser;
    if (setup.fetchPages)
        services.httpClient = std::make_unique<HttpClient>();
    if (setup.downloadFiles)
        services.downloader = std::make_unique<CurlDownloader>();
    services.programDirectory = std::move(setup.programDirectory);
    if (!setup.writeSiteList)
        services.saveSiteList = [this](const SiteGrid&) { ++m_saves; };
    m_form = std::make_unique<MainWindow>(std::move(services));
    ui().extensionChooser()->addItems(setup.extensions);
    m_form->show();
}

void WindowTest::closeWindow()
{
    m_form.reset();
    m_server.reset();
    if (!m_savedDirectory.empty())
        std::filesystem::current_path(std::exchange(m_savedDirectory, {}));
}

HttpTestServer& WindowTest::server()
{
    if (!m_server)
        m_server = std::make_unique<HttpTestServer>();
    return *m_server;
}

QString WindowTest::url(const QString& path)
{
    return QString::fromStdString(server().url(path.toStdString()));
}

std::filesystem::path WindowTest::testFolder() const
{
    std::string name = QTest::currentTestFunction();
    if (QTest::currentDataTag())
        name += std::string("-") + QTest::currentDataTag();
    return m_root.file(name);
}

void WindowTest::enterFolder(const std::filesystem::path& folder)
{
    if (m_savedDirectory.empty())
        m_savedDirectory = std::filesystem::current_path();
    std::filesystem::current_path(folder);
}

void WindowTest::addSite(const QString& title, const QString& siteUrl)
{
    ui().titleEdit()->setText(title);
    ui().urlEdit()->setText(siteUrl);
    m_form->onAddToListClicked();
}

void WindowTest::addAndSelect(const QString& siteUrl)
{
    addSite({}, siteUrl);
    ui().setCurrentCell(SiteGrid::kNameColumn, ui().siteCount());
    m_form->onSiteRowClicked();
}

void WindowTest::search(const QString& extension)
{
    QComboBox* chooser = ui().extensionChooser();
    if (!extension.isEmpty())
        chooser->setCurrentIndex(chooser->findText(extension));
    QTest::mouseClick(ui().searchButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!ui().fileSearch()->busy(), kWindowTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(ui().statusText(), QStringLiteral("待機中"), kWindowTimeout);
}

void WindowTest::downloadAll()
{
    QSignalSpy done(ui().downloads(), &DownloadController::finished);
    m_form->onDownloadClicked();
    QTest::mouseClick(part<QPushButton>(ui().dialog<DownloadConfirmDialog>(), "OKBtn"),
                      Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, kWindowTimeout);
}

}  // namespace vel::test
