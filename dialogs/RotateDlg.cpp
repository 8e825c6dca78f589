#include "dialogs/RotateDlg.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QPushButton>

#include "editor/Filters.h"
#include "editor/ImageDoc.h"

CRotateDlg::CRotateDlg(QWidget* parent)
    : CPreviewDlg(parent, 150, "Rotate Any Angle", "OK", "Cancel", 3, 3),
      m_background(GetImageDocHost() ? GetImageDocHost()->TransparencyColor() : 0x00FF00FF) {
    const int ids[3] = {1046, 1048, 1049};
    AddRow("Angle:", ids, -360, 360, 0, 4);
    auto* choose = new QPushButton("Background Color...", this);
    choose->setObjectName("1050");
    m_swatch = new CColorSwatch(this);
    m_swatch->setObjectName("1052");
    m_swatch->setAccessibleName("Background color");
    m_swatch->setFixedSize(40, 20);
    m_swatch->SetColor(m_background);
    m_grid->addWidget(choose, 1, 0, 1, 2);
    m_grid->addWidget(m_swatch, 1, 2, 1, 2, Qt::AlignLeft);
    connect(choose, &QPushButton::clicked, this, [this] { ChooseColor(); });
    m_swatch->OnClicked([this] { ChooseColor(); });
    FinishControls();
}

void CRotateDlg::ReadValues() {
    m_degrees = Rows()[0]->EditValue();
}

std::unique_ptr<ImageFilter> CRotateDlg::MakeFilter() const {
    const uint32_t pixel = 0xFF000000u | (m_background & 0xFF) << 16 | (m_background & 0xFF00) |
                           (m_background >> 16 & 0xFF);
    return std::make_unique<RotateFilter>(m_degrees * RotateFilter::kRadiansPerDegree, pixel);
}

void CRotateDlg::ChooseColor() {
    QColorDialog dialog(ColorFromRef(m_background), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return;
    m_background = RefFromColor(dialog.selectedColor());
    m_swatch->SetColor(m_background);
}
