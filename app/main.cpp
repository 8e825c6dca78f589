#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/CommandLine.h"
#include "app/SessionGuard.h"
#include "app/TilletCaptureApp.h"
#include "app/X11Session.h"
#include "imagefile/MetafileTextQt.h"
#include "shell/MainFrame.h"

namespace {

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

} // namespace

int main(int argc, char** argv) {
    // The command line is understood before anything starts: a wrong one starts nothing.
    const CommandLine line =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), CurrentFolder());
    switch (line.outcome) {
    case CommandLine::Outcome::Help:
        std::fputs(CommandLineHelp().c_str(), stdout);
        return 0;
    case CommandLine::Outcome::Version:
        std::fputs(CommandLineVersion().c_str(), stdout);
        return 0;
    case CommandLine::Outcome::Error:
        std::fprintf(stderr, "OrvaneScreen: %s\nTry 'OrvaneScreen --help' for more information.\n",
                     line.error.c_str());
        return 2;
    case CommandLine::Outcome::Run:
        break;
    }
    const X11Check x11 = CheckX11Session(
        line.platform.empty() ? std::string(qgetenv("QT_QPA_PLATFORM")) : line.platform,
        line.display);
    if (!x11.problem.empty()) {
        ReportNoX11(NoX11Message(x11.problem), argv[0]);
        return 1;
    }

    SessionGuard::HoldSignals();
    // Captures and their copies are large blocks made and dropped again and again; kept in the
    // heap once freed, the next capture reuses them instead of faulting in fresh pages.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    // The platform chosen above comes last, so that it wins over the environment and any
    // -platform given.
    std::vector<char*> qtArgs(argv, argv + argc);
    std::string platformOption = "-platform";
    std::string platform = x11.platform;
    qtArgs.push_back(platformOption.data());
    qtArgs.push_back(platform.data());
    int qtArgc = int(qtArgs.size());
    qtArgs.push_back(nullptr);
    QApplication qapp(qtArgc, qtArgs.data());
    qapp.setApplicationName("Orvane Screen");
    qapp.setQuitOnLastWindowClosed(false);
    InstallMetafileTextRenderer(); // fonts need the application object
    int code = 0;
    {
        CTilletCaptureApp app;
        app.startRequest = line.request;
        // A failed start (another instance runs) still saves the settings it loaded.
        if (app.InitInstance()) {
            // The session may end under the running program: its settings are kept then too.
            SessionGuard guard([&app] { app.SaveSettings(); });
            code = qapp.exec();
        } else {
            SessionGuard::ReleaseSignals();
            code = app.startExitCode;
        }
        int exitCode = app.ExitInstance();
        if (code == 0) code = exitCode;
    }
    return code;
}
