#include "app/HelpWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

QTextBrowser* ShowHelpPage(QPointer<QTextBrowser>& window, const QString& location,
                           const QString& title) {
    const QString file = location.section('#', 0, 0);
    if (!QFileInfo::exists(file)) return nullptr; // no pages installed: nothing to show
    QWidget* modal = QApplication::activeModalWidget();
    if (window && window->parentWidget() != modal) delete window; // owned by the wrong window
    if (!window) {
        window = new QTextBrowser(modal);
        window->setWindowFlag(Qt::Window);
        // Without an owner the window is the program's to delete, which it does when closed.
        if (!modal) window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName("OrvaneHelp");
        window->setWindowTitle(title);
        window->setOpenExternalLinks(true);
        window->resize(640, 520);
    }
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(location.section('#', 1));
    window->setSource(url);
    if (!url.fragment().isEmpty()) window->scrollToAnchor(url.fragment());
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
