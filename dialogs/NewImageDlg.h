#pragma once

#include <QDialog>

#include "dialogs/NewImageUnits.h"

class QLineEdit;
class QComboBox;

// "Create New Image" (dialog 163): size and resolution, each with its unit list.
class CNewImageDlg : public QDialog {
public:
    explicit CNewImageDlg(QWidget* parent);
    int PixelWidth() const { return int(m_values.width); }
    int PixelHeight() const { return int(m_values.height); }
    // Largest side accepted; a larger blank image could not be had as one picture.
    static constexpr int kMaxSide = 16384;

private:
    void ReadEdits();
    void WriteEdits();
    void OnCreate();

    NewImageValues m_values;
    QLineEdit* m_edits[4];
    QComboBox* m_units[4];
};
