#pragma once

#include <QSize>
#include <array>
#include <memory>

#include "dialogs/ExpandingDialog.h"

class CTilletCaptureDoc;
class ImageFilter;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

// One numeric parameter: an edit with its up-down arrows (a spin box; its line edit carries
// the edit's ID) and a trackbar, kept at the same value.
struct ParamRow {
    QLabel* label = nullptr;
    QSpinBox* edit = nullptr;
    QSlider* trackbar = nullptr;
    int Value() const;
    void SetValue(int value);
    void SetEnabled(class CExpandingDialog& dialog, bool enable);
};

// What tells the three resize-type dialogs apart.
struct ResizeDialogTemplate {
    int templateId;
    const char* title;
    int frameId;
    int applyId, revertId, helpId, toggleId;
    // Bilinear, box, Gaussian, Hamming.
    std::array<int, 4> methodIds;
    std::array<const char*, 4> methodTexts;
    int radiusIds[3];
    int radiusInitial;
    int radiusLimit; // 0: no limit
    const char* description;
};

// The Resize, Scale and Stretch dialogs: Apply runs the resampling on the document's picture as
// the history's tentative command, Revert takes it back, Done records it as one step.
// Closing the dialog any other way (Escape, the window's close button) takes an applied
// change back and records nothing, so the picture is as it was before the dialog.
class CResizeTypeDlg : public CExpandingDialog {
public:
    enum Method { Bilinear = 0, Box = 1, Gaussian = 2, Hamming = 3 };

    // doc may be null: then Apply does nothing.
    CResizeTypeDlg(QWidget* parent, CTilletCaptureDoc* doc, const ResizeDialogTemplate& t);
    ~CResizeTypeDlg() override;

    // The control ID of the current method.
    int CurrentMethod() const { return m_method; }
    // The filter Apply would run now for the given size.
    std::unique_ptr<ImageFilter> MakeFilter(QSize size) const;

    void reject() override;

protected:
    // The size Apply resamples to.
    virtual QSize NewSize() const = 0;
    // Editing a size parameter; by default Apply, the methods and the radius become usable.
    virtual void OnSizeEdited();
    // Editing the radius; by default it enables Apply unless the method is bilinear.
    virtual void OnRadiusEdited();
    // Sets the size controls after Revert to the restored picture.
    virtual void ShowRestoredSize() = 0;

    ParamRow AddRow(const char* label, const int ids[3], int low, int high, int initial, int limit,
                    int y);
    // Ends construction: the methods, radius and buttons at the rows' right and below.
    void Finish();
    void EnableMethods(bool enable);

    CTilletCaptureDoc* m_doc;
    const ResizeDialogTemplate& m_t;
    ParamRow m_radius;
    QPushButton* m_apply = nullptr;
    QPushButton* m_revert = nullptr;
    std::array<QRadioButton*, 4> m_methods{};
    int m_method;
    // Filled while the dialog fills in its values, so that no edit counts as the user's.
    bool m_filling = true;

private:
    void OnApply();
    void OnRevert();
    void OnDone();
    void OnMethodClicked(int index);
};

class CResizeDlg : public CResizeTypeDlg {
public:
    CResizeDlg(QWidget* parent, CTilletCaptureDoc* doc);

protected:
    QSize NewSize() const override;
    void ShowRestoredSize() override;

private:
    ParamRow m_width, m_height;
};

class CScaleDlg : public CResizeTypeDlg {
public:
    CScaleDlg(QWidget* parent, CTilletCaptureDoc* doc);

protected:
    QSize NewSize() const override;
    void OnSizeEdited() override;
    void OnRadiusEdited() override;
    void ShowRestoredSize() override;

private:
    ParamRow m_scale;
};

class CStretchDlg : public CResizeTypeDlg {
public:
    CStretchDlg(QWidget* parent, CTilletCaptureDoc* doc);

protected:
    QSize NewSize() const override;
    void ShowRestoredSize() override;

private:
    ParamRow m_horizontal, m_vertical;
};

// Runs the dialog of a resize-type command (ID_OP_RESIZE, ID_OP_SCALE or ID_OP_STRETCH)
// modally on the document; the document has made its backup.
void RunResizeTypeDialog(int commandId, CTilletCaptureDoc& doc, QWidget* parent);
