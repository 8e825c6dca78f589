#include "dialogs/AdjustDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/ResizeDlg.h"
#include "dialogs/RotateDlg.h"
#include "editor/Filters.h"
#include "editor/ImageDoc.h"
#include "editor/OperationDialogs.h"
#include "framework/WinApp.h"

CPreviewDlg::CPreviewDlg(QWidget* parent, int templateId, const QString& title,
                         const QString& okText, const QString& cancelText, int helpId,
                         int helpTopic)
    : QDialog(parent) {
    setWindowTitle(title);
    setObjectName(QString("dialog%1").arg(templateId));
    m_grid = new QGridLayout;
    m_preview = new CPicturePreview(this);
    // A fixed area: the reduced copy the preview works on is made for this size.
    m_preview->setFixedSize(242, 182);
    m_buttons = new QVBoxLayout;
    auto* ok = new QPushButton(okText, this);
    ok->setObjectName("1");
    ok->setDefault(true);
    auto* cancel = new QPushButton(cancelText, this);
    cancel->setObjectName("2");
    auto* help = new QPushButton("&Help", this);
    help->setObjectName(QString::number(helpId));
    m_buttons->addWidget(ok);
    m_buttons->addWidget(cancel);
    m_buttons->addWidget(help);
    m_buttons->addStretch();
    connect(ok, &QPushButton::clicked, this, [this] { done(m_changed ? Accepted : Rejected); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    if (helpTopic)
        connect(help, &QPushButton::clicked, this, [helpTopic] {
            if (AfxGetApp()) AfxGetApp()->HelpTopic(helpTopic);
        });
    auto* left = new QVBoxLayout;
    left->addLayout(m_grid);
    left->addWidget(m_preview, 0, Qt::AlignHCenter);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(m_buttons);
}

CParamRow& CPreviewDlg::AddRow(const QString& label, const int ids[3], int lower, int upper,
                               int initial, int editLimit) {
    const int row = int(m_rows.size());
    m_rows.push_back(std::make_unique<CParamRow>(this, m_grid, row, label, ids, lower, upper,
                                                 initial, editLimit));
    return *m_rows.back();
}

void CPreviewDlg::FinishControls() {
    for (auto& row : m_rows) row->onChange = [this] { OnParamChanged(); };
    ReadValues();
}

void CPreviewDlg::SetDocument(CTilletCaptureDoc* doc) {
    m_doc = doc;
    m_preview->SetSource(doc ? doc->GetPicture() : nullptr);
}

void CPreviewDlg::OnParamChanged() {
    ReadValues();
    m_changed = true;
    if (m_preview->HasSource()) {
        std::unique_ptr<ImageFilter> filter = MakeFilter();
        m_preview->ApplyFilter(*filter);
    }
}

CBrightnessDlg::CBrightnessDlg(QWidget* parent)
    : CPreviewDlg(parent, 158, "Brightness", "OK", "Cancel", 1091, 6) {
    const int ids[3] = {1088, 1089, 1090};
    AddRow("Brightness:", ids, -100, 100, 0, 3);
    FinishControls();
}

void CBrightnessDlg::ReadValues() {
    m_brightness = Rows()[0]->EditValue();
}

std::unique_ptr<ImageFilter> CBrightnessDlg::MakeFilter() const {
    return std::make_unique<BrightnessFilter>(int(m_brightness * 0.36));
}

CContrastDlg::CContrastDlg(QWidget* parent)
    : CPreviewDlg(parent, 159, "Contrast", "&Done", "&Cancel", 1091, 5) {
    const int contrastIds[3] = {1093, 1094, 1096};
    const int offsetIds[3] = {1095, 1097, 1098};
    AddRow("Contrast:", contrastIds, 1, 100, 10, 3);
    AddRow("Intensity:", offsetIds, 0, 255, 125, 3);
    FinishControls();
}

void CContrastDlg::ReadValues() {
    m_contrast = Rows()[0]->TrackbarPos();
    m_offset = Rows()[1]->TrackbarPos();
}

std::unique_ptr<ImageFilter> CContrastDlg::MakeFilter() const {
    return std::make_unique<ContrastFilter>(m_contrast * 0.1, uint8_t(m_offset));
}

CIntensityDlg::CIntensityDlg(QWidget* parent)
    : CPreviewDlg(parent, 160, "Intensity", "&Done", "&Cancel", 1091, 0) {
    const int intensityIds[3] = {1102, 1104, 1105};
    const int offsetIds[3] = {1095, 1097, 1098};
    const int exponentIds[3] = {1108, 1109, 1110};
    AddRow("Intensity:", intensityIds, 0, 255, 20, 3);
    AddRow("Offset:", offsetIds, 0, 255, 128, 3);
    AddRow("Exponent:", exponentIds, 1, 100, 10, 3);
    FinishControls();
}

void CIntensityDlg::ReadValues() {
    m_intensity = Rows()[0]->TrackbarPos();
    m_offset = uint8_t(Rows()[1]->TrackbarPos());
    m_exponent = Rows()[2]->TrackbarPos() * 0.1;
}

std::unique_ptr<ImageFilter> CIntensityDlg::MakeFilter() const {
    return std::make_unique<IntensityFilter>(m_intensity, m_offset, m_exponent);
}

namespace {
QWidget* DialogParent() {
    return GetImageDocHost() ? GetImageDocHost()->MainWindow() : nullptr;
}

template <class Dialog> bool RunDialog(Dialog& dialog, CTilletCaptureDoc& doc) {
    dialog.SetDocument(&doc);
    return dialog.exec() == QDialog::Accepted;
}
} // namespace

void InstallOperationDialogs() {
    OperationDialogs& dialogs = InstalledOperationDialogs();
    dialogs.resize = [](int commandId, CTilletCaptureDoc& doc) {
        RunResizeTypeDialog(commandId, doc, DialogParent());
    };
    dialogs.rotate = [](CTilletCaptureDoc& doc, RotateDialogValues& v) {
        CRotateDlg dialog(DialogParent());
        if (!RunDialog(dialog, doc)) return false;
        v.degrees = dialog.m_degrees;
        v.background = dialog.m_background;
        return true;
    };
    dialogs.brightness = [](CTilletCaptureDoc& doc, BrightnessDialogValues& v) {
        CBrightnessDlg dialog(DialogParent());
        if (!RunDialog(dialog, doc)) return false;
        v.brightness = dialog.m_brightness;
        return true;
    };
    dialogs.contrast = [](CTilletCaptureDoc& doc, ContrastDialogValues& v) {
        CContrastDlg dialog(DialogParent());
        if (!RunDialog(dialog, doc)) return false;
        v.contrast = dialog.m_contrast;
        v.offset = dialog.m_offset;
        return true;
    };
    dialogs.intensity = [](CTilletCaptureDoc& doc, IntensityDialogValues& v) {
        CIntensityDlg dialog(DialogParent());
        if (!RunDialog(dialog, doc)) return false;
        v.intensity = dialog.m_intensity;
        v.offset = dialog.m_offset;
        v.exponent = dialog.m_exponent;
        return true;
    };
}
