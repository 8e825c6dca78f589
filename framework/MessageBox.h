#pragma once

#include <QMessageBox>

// A message box with the program's title. As on the desktop the texts were written for,
// Ctrl+C copies the box's title and text to the clipboard.
QMessageBox::StandardButton AfxMessageBox(QWidget* parent, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButton defaultButton);
