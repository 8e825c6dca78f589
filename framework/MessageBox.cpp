#include "framework/MessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QShortcut>

#include "framework/WinApp.h"

QMessageBox::StandardButton AfxMessageBox(QWidget* parent, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButton defaultButton) {
    QString title = AfxGetApp() ? AfxGetApp()->AppName() : QGuiApplication::applicationName();
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    auto* copy = new QShortcut(QKeySequence::Copy, &box);
    QObject::connect(copy, &QShortcut::activated, &box, [&box] {
        QGuiApplication::clipboard()->setText(box.windowTitle() + "\n" + box.text() + "\n");
    });
    return QMessageBox::StandardButton(box.exec());
}
