#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>
#include <QUrl>

#include "core/cli/command_line.h"
#include "core/cli/run_command.h"
#include "core/download/curl_global.h"
#include "core/download/download_all.h"
#include "core/download/download_rules.h"
#include "core/http/http_client.h"
#include "core/io/program_dirs.h"
#include "gui/app/main_window.h"
#include "gui/app/single_instance.h"
#include "gui/app/vel_application.h"
#include "gui/browser/web_engine_pane.h"
#include "gui/common/qt_text.h"
#include "gui/common/ui_font.h"
#include "gui/desktop/raise_window.h"

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

// An installed VEL's batches go to the user's download folder
// (XDG_DOWNLOAD_DIR); a portable VEL's stay beside it.
std::filesystem::path userDownloadsIfInstalled()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !vel::runsInstalled(program.parent_path()))
        return {};
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString();
}

// A patrol from a terminal stops cleanly on Ctrl+C or a service's stop: what
// the handler touches is an atomic flag and the client's abort pipe.
std::atomic<bool> g_stopRequested{false};
vel::HttpClient* g_patrolClient = nullptr;

extern "C" void requestStop(int)
{
    g_stopRequested.store(true);
    if (g_patrolClient)
        g_patrolClient->abort();
}

// Everything the command line asks for that needs no window: no Qt
// application is made and no display is needed.
int runWithoutWindow(const vel::CommandLine& line)
{
    // libcurl is set up before any other thread starts.
    const vel::CurlGlobal curl;
    vel::HttpClient client;
    vel::CurlDownloader downloader;
    vel::CommandContext context;
    std::error_code error;
    context.startFolder = std::filesystem::current_path(error);
    context.codePageToUtf8 = [](std::string_view bytes) {
        return vel::toQString(bytes).toStdString();
    };
    context.client = &client;
    context.downloader = &downloader;
    context.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    context.userDownloads = userDownloadsIfInstalled();
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    if (localtime_r(&now, &today))
        context.dateFolder =
            vel::dateFolderName(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    context.stop = &g_stopRequested;
    g_patrolClient = &client;
    struct sigaction action {};
    action.sa_handler = requestStop;
    // A second signal ends the program at once.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const int status = vel::runCommand(line, context);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    g_patrolClient = nullptr;
    return status;
}

// The address `vel URL` shows, as a browser reads what is typed into its
// address bar; a path names a file from the folder VEL is started in (the
// VEL that shows it may run elsewhere). Empty when it is no address.
QString pageAddress(const std::string& given)
{
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(given), QDir::currentPath());
    return url.isValid() ? url.toString() : QString();
}

int badPageAddress(const std::string& given)
{
    std::fprintf(stderr, "vel: not an address: %s\n%s", given.c_str(),
                 vel::commandLineUsage().c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const vel::CommandLine line = vel::parseCommandLine(arguments);
    if (line.mode != vel::CommandMode::Window)
        return runWithoutWindow(line);
    const QString page = line.page ? pageAddress(*line.page) : QString();
    if (line.page && page.isEmpty())
        return badPageAddress(*line.page);
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

    // Qt sees the program name alone: the options are VEL's.
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("vel"), nullptr};
    vel::VelApplication app(qtArgc, qtArgv);

    vel::SingleInstance instance;
    if (!instance.acquire()) {
        // VEL runs already: it shows the address, and this one ends.
        if (page.isEmpty() || instance.handOver(page))
            return 0;
        std::fprintf(stderr, "vel: the VEL that runs did not take the address\n");
        return 1;
    }

    QCoreApplication::setApplicationName(QStringLiteral("VEL"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(
        vel::kVelVersion.data(), static_cast<qsizetype>(vel::kVelVersion.size())));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QApplication::setFont(vel::uiFont());

    vel::MainWindowServices services;
    services.browser = new vel::WebEnginePane;
    services.httpClient = std::make_unique<vel::HttpClient>();
    services.downloader = std::make_unique<vel::CurlDownloader>();
    services.patrolHttpClient = std::make_unique<vel::HttpClient>();
    services.patrolDownloader = std::make_unique<vel::CurlDownloader>();
    services.programDirectory = vel::programDirectory(
        QCoreApplication::applicationDirPath().toStdString(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    services.userDownloads = userDownloadsIfInstalled();
    services.pictureCacheFolder =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString();
    if (!services.pictureCacheFolder.empty())
        services.pictureCacheFolder /= "pictures";
    vel::MainWindow window(std::move(services));
    QObject::connect(&instance, &vel::SingleInstance::pageHandedOver, &window,
                     [&window](const QString& url) {
                         window.openPage(url);
                         vel::raiseWindow(&window);
                     });
    if (!page.isEmpty())
        window.openPage(page);
    window.show();
    return app.exec();
}
