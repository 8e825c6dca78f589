#pragma once

#include <QDialog>
#include <QPageSetupDialog>

#include "print/PrintGeometry.h"

class CDisplayPicture;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QRadioButton;

// "Print Layout": how pictures are placed on paper, with a preview of the active picture on the
// current page. It works on a copy of the layout; the caller stores Layout() after OK.
class CPrintLayoutDlg : public QDialog {
public:
    CPrintLayoutDlg(const PrintLayoutSettings& layout, const CDisplayPicture* picture,
                    print::Size page, QWidget* parent = nullptr);
    const PrintLayoutSettings& Layout() const { return m_layout; }
    void SetInches(bool inches);

private:
    class Preview;
    class Spin;
    void ShowValues();
    void Stored();
    print::Size PictureSize() const;

    PrintLayoutSettings m_layout;
    const CDisplayPicture* m_picture;
    bool m_inches = false;
    bool m_showing = false;
    Preview* m_preview;
    QRadioButton* m_inchButton;
    QRadioButton* m_cmButton;
    QCheckBox* m_centerH;
    QCheckBox* m_centerV;
    QComboBox* m_sizing;
    Spin* m_fields[6]; // X, Y, left, top, right, bottom
    QLabel* m_units[6];
};

// "Print Setup": the printer's paper and orientation, with a "&Layout" button that opens the
// print layout on a copy of `layout` and stores it on OK.
class CPrintSetupEx : public QPageSetupDialog {
public:
    CPrintSetupEx(QPrinter* printer, PrintLayoutSettings& layout, const CDisplayPicture* picture,
                  QWidget* parent = nullptr);
    void OnLayout();

private:
    PrintLayoutSettings& m_layout;
    const CDisplayPicture* m_picture;
};
