#include <QApplication>

#include "app/TilletCaptureApp.h"
#include "shell/MainFrame.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    qapp.setApplicationName("Orvane Screen");
    qapp.setQuitOnLastWindowClosed(false);
    int code = 0;
    {
        CTilletCaptureApp app;
        // A failed start (another instance runs) still saves the settings it loaded.
        if (app.InitInstance()) code = qapp.exec();
        int exitCode = app.ExitInstance();
        if (code == 0) code = exitCode;
    }
    return code;
}
