#pragma once

#include <QPointer>
#include <QString>

class QTextBrowser;

// Shows a help page (a file, with "#anchor" for a place on it) in the program's help window,
// creating the window when there is none. Asked from a modal dialog's Help button, the window
// belongs to that dialog, since a modal dialog would otherwise block every input to it. A
// page that is not there shows nothing. Returns the window, or null.
QTextBrowser* ShowHelpPage(QPointer<QTextBrowser>& window, const QString& location,
                           const QString& title);
