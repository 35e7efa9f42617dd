#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QIcon>
#include <QStandardPaths>

#include "core/download/curl_global.h"
#include "core/download/download_all.h"
#include "core/http/http_client.h"
#include "core/io/program_dirs.h"
#include "gui/app/main_window.h"
#include "gui/app/single_instance.h"
#include "gui/app/vel_application.h"
#include "gui/browser/web_engine_pane.h"
#include "gui/common/ui_font.h"

namespace {

// A local X display (":N", ":N.S", "unix:N") whose server does not answer;
// remote and Wayland displays are left to the toolkit.
bool localX11DisplayIsDown(const char* display)
{
    std::string name(display);
    if (name.rfind("unix:", 0) == 0)
        name.erase(0, 4);
    if (name.empty() || name[0] != ':')
        return false;
    const std::string number = name.substr(1, name.find('.') - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (const bool abstractName : {true, false}) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstractName ? 1 : 0;
        path.copy(address.sun_path + offset, sizeof(address.sun_path) - offset - 1);
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        const bool reached = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
        close(fd);
        if (reached)
            return false;
    }
    return true;
}

// Says why VEL cannot show its window, or nothing when it can.
std::string displayProblem()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return {};
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland)
        return {};
    if (!x11 || !*x11)
        return "VEL needs a graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set.";
    if (localX11DisplayIsDown(x11))
        return std::string("VEL cannot reach the display ") + x11 + ": no X server answers there.";
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (const std::string problem = displayProblem(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    // libcurl is set up before any other thread starts.
    const vel::CurlGlobal curl;
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

    vel::MainWindowServices services;
    services.browser = new vel::WebEnginePane;
    services.httpClient = std::make_unique<vel::HttpClient>();
    services.downloader = std::make_unique<vel::CurlDownloader>();
    services.programDirectory = vel::programDirectory(
        QCoreApplication::applicationDirPath().toStdString(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    vel::MainWindow window(std::move(services));
    window.show();
    return app.exec();
}
