#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "dialogs/ParamRow.h"
#include "dialogs/PicturePreview.h"

class CTilletCaptureDoc;
class ImageFilter;
class QGridLayout;
class QPushButton;
class QVBoxLayout;

// A parameter dialog with a live preview: each change of a value is shown at once on the
// document's picture; OK hands the values back only when something was changed, so a dialog
// left untouched causes no operation.
class CPreviewDlg : public QDialog {
public:
    // Gives the preview the document's picture (null: nothing to preview).
    void SetDocument(CTilletCaptureDoc* doc);
    bool IsChanged() const { return m_changed; }
    CPicturePreview* Preview() const { return m_preview; }
    // The parameter rows, in order.
    const std::vector<std::unique_ptr<CParamRow>>& Rows() const { return m_rows; }

protected:
    // okText/cancelText: the button texts; helpTopic 0: the Help button does nothing.
    CPreviewDlg(QWidget* parent, int templateId, const QString& title, const QString& okText,
                const QString& cancelText, int helpId, int helpTopic);
    CParamRow& AddRow(const QString& label, const int ids[3], int lower, int upper, int initial,
                      int editLimit);
    // Reads the values from the controls.
    virtual void ReadValues() = 0;
    // The filter the preview shows, with the values read last.
    virtual std::unique_ptr<ImageFilter> MakeFilter() const = 0;
    // Called once the controls are made; connects the rows and shows the picture.
    void FinishControls();

    QGridLayout* m_grid;
    QVBoxLayout* m_buttons;
    CTilletCaptureDoc* m_doc = nullptr;

private:
    void OnParamChanged();

    std::vector<std::unique_ptr<CParamRow>> m_rows;
    CPicturePreview* m_preview;
    bool m_changed = false;
};

// "Brightness" (dialog 158).
class CBrightnessDlg : public CPreviewDlg {
public:
    explicit CBrightnessDlg(QWidget* parent);
    int m_brightness = 0;

protected:
    void ReadValues() override;
    std::unique_ptr<ImageFilter> MakeFilter() const override;
};

// "Contrast" (dialog 159): the contrast in tenths and the level it stretches about.
class CContrastDlg : public CPreviewDlg {
public:
    explicit CContrastDlg(QWidget* parent);
    double m_contrast = 10;
    int m_offset = 125;

protected:
    void ReadValues() override;
    std::unique_ptr<ImageFilter> MakeFilter() const override;
};

// "Intensity" (dialog 160).
class CIntensityDlg : public CPreviewDlg {
public:
    explicit CIntensityDlg(QWidget* parent);
    double m_intensity = 20.0;
    double m_exponent = 1.0;
    uint8_t m_offset = 128;

protected:
    void ReadValues() override;
    std::unique_ptr<ImageFilter> MakeFilter() const override;
};

// Lets the document run the dialogs of the Operations menu: Resize, Scale, Stretch, Rotate Any
// Angle, Brightness, Contrast and Intensity.
void InstallOperationDialogs();
