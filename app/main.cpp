#include <QApplication>
#include <malloc.h>

#include "app/SessionGuard.h"
#include "app/TilletCaptureApp.h"
#include "imagefile/MetafileTextQt.h"
#include "shell/MainFrame.h"

int main(int argc, char** argv) {
    SessionGuard::HoldSignals();
    // Captures and their copies are large blocks made and dropped again and again; kept in the
    // heap once freed, the next capture reuses them instead of faulting in fresh pages.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    QApplication qapp(argc, argv);
    qapp.setApplicationName("Orvane Screen");
    qapp.setQuitOnLastWindowClosed(false);
    InstallMetafileTextRenderer(); // fonts need the application object
    int code = 0;
    {
        CTilletCaptureApp app;
        // A failed start (another instance runs) still saves the settings it loaded.
        if (app.InitInstance()) {
            // The session may end under the running program: its settings are kept then too.
            SessionGuard guard([&app] { app.SaveSettings(); });
            code = qapp.exec();
        } else {
            SessionGuard::ReleaseSignals();
        }
        int exitCode = app.ExitInstance();
        if (code == 0) code = exitCode;
    }
    return code;
}
