#pragma once

#include "dialogs/AdjustDlg.h"
#include "dialogs/ColorSwatch.h"

// "Rotate Any Angle" (dialog 150): whole degrees and the colour of the uncovered corners.
class CRotateDlg : public CPreviewDlg {
public:
    explicit CRotateDlg(QWidget* parent);
    CColorSwatch* Swatch() const { return m_swatch; }

    int m_degrees = 0;
    uint32_t m_background; // 0x00BBGGRR

protected:
    void ReadValues() override;
    std::unique_ptr<ImageFilter> MakeFilter() const override;

private:
    // The colour dialog: a colour chosen becomes the background; the preview stays as it is.
    void ChooseColor();

    CColorSwatch* m_swatch;
};
