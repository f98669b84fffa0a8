// Program start-up: command line, Qt platform choice, message box presenter.

#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/QtMessageBox.h>

#include <QApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

bool Application::displayAvailable()
{
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

Application::Application(int& argc, char** argv)
{
    SetProcessArguments(argc, argv);
    if (!displayAvailable() && !isSet("QT_QPA_PLATFORM")) {
        // No screen: the program still runs, windows and all, on the offscreen platform.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (!isSet("QT_NO_GLIB")) {
        // Qt's own event loop folds the wake-ups of many posts into one; the GLib loop
        // makes a system call per posted message, and the proxy posts per relayed chunk.
        ::setenv("QT_NO_GLIB", "1", 1);
    }
    if (!isSet("XDG_RUNTIME_DIR")) {
        // Headless sessions (ssh, cron, containers) often have none; Qt would use a
        // folder of its own in /tmp and warn about it at every start. A private folder
        // in the prefix's run folder serves instead.
        const HostPath runtime = runFolder() / "xdg-runtime";
        std::error_code error;
        std::filesystem::create_directories(runtime, error);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
        if (!error) {
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        }
    }
    m_app = std::make_unique<QApplication>(argc, argv);
    // Closing a dialog must not end a program that runs its main window modally.
    QApplication::setQuitOnLastWindowClosed(false);
    const QString platform = QGuiApplication::platformName();
    m_hasScreen = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    if (m_hasScreen) {
        installQtMessageBoxPresenter();
    }
}

Application::~Application() = default;

int Application::exec()
{
    return QApplication::exec();
}

} // namespace platform
