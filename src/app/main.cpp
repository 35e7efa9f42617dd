#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QIcon>
#include <QStandardPaths>

#include "app/form1.h"
#include "app/program_dirs.h"
#include "app/single_instance.h"
#include "app/ui_font.h"
#include "app/vel_application.h"
#include "browser/web_engine_pane.h"
#include "download/download_all.h"
#include "http/http_client.h"
#include "text/qt_text.h"

namespace {

bool hasDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!hasDisplay()) {
        std::fprintf(stderr, "VEL needs a graphical display: neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set.\n");
        return 1;
    }
    // The browser engine refuses to run as root inside its sandbox.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    // VEL reads no command line: Qt sees the program name alone.
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("vel"), nullptr};
    vel::VelApplication app(qtArgc, qtArgv);

    vel::SingleInstance instance;
    if (!instance.acquire())
        return 0;

    QCoreApplication::setApplicationName(QStringLiteral("VEL"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QApplication::setFont(vel::uiFont());

    vel::Form1Services services;
    services.browser = new vel::WebEnginePane;
    services.httpClient = std::make_unique<vel::HttpClient>();
    vel::DownloadOptions downloadOptions;
    // Shift-JIS names appear in Japanese on disk.
    downloadOptions.fileNameFromCodePage = [](std::string_view bytes) {
        return vel::toQString(bytes).toStdString();
    };
    services.downloader = std::make_unique<vel::CurlDownloader>(std::move(downloadOptions));
    services.programDirectory = vel::programDirectory(
        QCoreApplication::applicationDirPath().toStdString(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    vel::Form1 form1(std::move(services));
    form1.show();
    return app.exec();
}
