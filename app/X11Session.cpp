#include "app/X11Session.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The compositor's socket accepts connections: the toolkit's Wayland platform would start.
bool WaylandCompositorAnswers() {
    const std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty()) return false;
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    const std::string path = name[0] == '/' ? name : runtime.empty() ? "" : runtime + "/" + name;
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool WaylandPluginInstalled() {
    QStringList folders;
    for (const QString& dir : qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH").split(':'))
        if (!dir.isEmpty()) folders << dir;
    for (const QString& dir : qEnvironmentVariable("QT_PLUGIN_PATH").split(':'))
        if (!dir.isEmpty()) folders << dir + "/platforms";
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms";
    for (const QString& folder : folders)
        if (!QDir(folder).entryList({"libqwayland*.so"}, QDir::Files).isEmpty()) return true;
    return false;
}

} // namespace

X11Check CheckX11Session(const std::string& platform, const std::string& display) {
    X11Check check;
    std::string first = platform.substr(0, platform.find(';'));
    const std::string firstName = first.substr(0, first.find(':'));
    if (firstName == "offscreen" || firstName == "minimal") {
        check.platform = platform;
        return check;
    }
    // Options given to the X platform ("xcb:...") are kept.
    if (firstName == "xcb") check.platform = first;
    const std::string name = display.empty() ? Env("DISPLAY") : display;
    if (name.empty()) {
        check.problem = "no X display is set (DISPLAY is empty)";
        return check;
    }
    xcb_connection_t* c = xcb_connect(name.c_str(), nullptr);
    if (xcb_connection_has_error(c))
        check.problem = "the X display \"" + name + "\" cannot be opened";
    xcb_disconnect(c);
    return check;
}

std::string NoX11Message(const std::string& problem) {
    return "Orvane Screen needs an X11 session: its hotkeys, its captures and its windows go "
           "through the X server, and " +
           problem +
           ".\n\nIn a Wayland session it can run under XWayland (DISPLAY set, with "
           "QT_QPA_PLATFORM=xcb). There its global hotkeys only work while an X program has "
           "the keyboard, and the captures of other programs' windows (active window, window, "
           "control, menu) only see programs that run under XWayland too.";
}

void ReportNoX11(const std::string& message, char* programName) {
    std::fprintf(stderr, "%s\n", message.c_str());
    if (!WaylandCompositorAnswers() || !WaylandPluginInstalled()) return;
    // Should the Wayland platform fail after all, the fallback shows nothing and is left.
    int argc = 3;
    char platformOption[] = "-platform";
    char platformName[] = "wayland;offscreen";
    char* argv[] = {programName, platformOption, platformName, nullptr};
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != "wayland") return;
    QMessageBox::critical(nullptr, "Orvane Screen", QString::fromStdString(message));
}
