#include "dialogs/ResizeDlg.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "editor/ImageDoc.h"
#include "editor/Resample.h"
#include "framework/Commands.h"
#include "framework/MessageBox.h"
#include "framework/WinApp.h"
#include "imagefile/TextException.h"

namespace {

// The help topic of the three dialogs.
constexpr int kHelpTopic = 2;

// Where the template puts things (dialog units).
constexpr int kRowTop = 9, kRowStep = 20;
constexpr int kButtonX = 210, kButtonW = 50, kButtonH = 14;
constexpr int kFrameW = 266, kFrameH = 78;
constexpr int kRadiusTop = 146, kFullH = 168;

QRect RowLabel(int y) {
    return {7, y + 2, 52, 8};
}
QRect RowEdit(int y) {
    return {62, y, 40, 13};
}
QRect RowTrackbar(int y) {
    return {106, y - 1, 96, 15};
}

ProgressSink* Progress() {
    return GetImageDocHost() ? GetImageDocHost()->Progress() : nullptr;
}

// The wait cursor while the picture is resampled.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A percentage of a side; a picture cannot have no rows or columns, so never below one.
int Percent(int side, int percent) {
    return std::max(1, int(int64_t(side) * percent / 100));
}

const ResizeDialogTemplate kResize = {
    142,
    "Resize Operation",
    1039,
    4,
    3,
    1037,
    5,
    {1040, 1041, 1042, 1043},
    {"Bilinear Resize...", "Box Resize...", "Gaussian Resize...", "Hamming Resize..."},
    {1034, 1035, 1036},
    500,
    0,
    "Stretch the image to size specified in pixels"};

const ResizeDialogTemplate kScale = {
    151,
    "Scale Image Operation",
    1067,
    1056,
    1057,
    1058,
    1059,
    {1060, 1062, 1061, 1063},
    {"Bilinear Scale...", "Box Scale...", "Gaussian Scale...", "Hamming Scale..."},
    {1064, 1065, 1066},
    100,
    4,
    "Uniformly scale the image's width and height by a percentage"};

const ResizeDialogTemplate kStretch = {
    157,
    "Stretch Operation",
    1085,
    1075,
    1076,
    1074,
    1077,
    {1078, 1080, 1079, 1081},
    {"Bilinear Stretch...", "Box Stretch...", "Gaussian Stretch...", "Hamming Stretch..."},
    {1082, 1083, 1084},
    500,
    0,
    "Non-uniformly scale the image's width and/or height by percentages"};

} // namespace

// ---------------------------------------------------------------------------------------------
// ParamRow

int ParamRow::Value() const {
    return trackbar->value();
}

void ParamRow::SetValue(int value) {
    edit->setValue(value);
}

void ParamRow::SetEnabled(CExpandingDialog& dialog, bool enable) {
    dialog.EnableControl(label, enable);
    dialog.EnableControl(edit, enable);
    dialog.EnableControl(trackbar, enable);
}

// ---------------------------------------------------------------------------------------------
// CResizeTypeDlg

CResizeTypeDlg::CResizeTypeDlg(QWidget* parent, CTilletCaptureDoc* doc,
                               const ResizeDialogTemplate& t)
    : CExpandingDialog(parent, t.frameId, t.toggleId), m_doc(doc), m_t(t),
      m_method(t.methodIds[Bilinear]) {
    setWindowTitle(t.title);
    setObjectName(QString("dialog%1").arg(t.templateId));
}

CResizeTypeDlg::~CResizeTypeDlg() = default;

ParamRow CResizeTypeDlg::AddRow(const char* label, const int ids[3], int low, int high, int initial,
                                int limit, int y) {
    ParamRow row;
    row.label = Place(new QLabel(label, this), 0, RowLabel(y));
    row.edit = Place(new QSpinBox(this), ids[1], RowEdit(y));
    row.edit->setRange(low, high);
    row.edit->setValue(initial);
    QString name = label;
    name.chop(1); // the label without its colon
    row.edit->setAccessibleName(name);
    if (auto* line = row.edit->findChild<QLineEdit*>()) {
        line->setObjectName(QString::number(ids[0]));
        if (limit > 0) line->setMaxLength(limit);
    }
    row.label->setBuddy(row.edit);
    row.trackbar = Place(new QSlider(Qt::Horizontal, this), ids[2], RowTrackbar(y));
    row.trackbar->setRange(low, high);
    row.trackbar->setValue(initial);
    row.trackbar->setAccessibleName(name + " trackbar");
    QSpinBox* edit = row.edit;
    QSlider* trackbar = row.trackbar;
    // Moving the trackbar writes its position into the edit; the edit's text sets the
    // trackbar and counts as an edit of the parameter.
    connect(trackbar, &QSlider::valueChanged, edit, [edit](int v) { edit->setValue(v); });
    connect(edit, &QSpinBox::valueChanged, trackbar, [trackbar](int v) {
        const QSignalBlocker block(trackbar);
        trackbar->setValue(v);
    });
    return row;
}

void CResizeTypeDlg::Finish() {
    m_apply =
        Place(new QPushButton("&Apply", this), m_t.applyId, {kButtonX, 7, kButtonW, kButtonH});
    m_revert =
        Place(new QPushButton("&Revert", this), m_t.revertId, {kButtonX, 24, kButtonW, kButtonH});
    auto* done = Place(new QPushButton("&Done", this), 1, {kButtonX, 41, kButtonW, kButtonH});
    auto* help =
        Place(new QPushButton("&Help", this), m_t.helpId, {kButtonX, 58, kButtonW, kButtonH});
    Place(new QPushButton("A&dvance>>", this), m_t.toggleId, {7, 58, 60, kButtonH});
    Place(new QWidget(this), m_t.frameId, {0, 0, kFrameW, kFrameH});
    Place(new QGroupBox("Method", this), 0, {7, 82, kFrameW - 14, 58})->lower();
    for (int i = 0; i < 4; ++i) {
        m_methods[size_t(i)] = Place(new QRadioButton(m_t.methodTexts[size_t(i)], this),
                                     m_t.methodIds[size_t(i)], {15, 93 + 11 * i, 120, 10});
        connect(m_methods[size_t(i)], &QRadioButton::clicked, this,
                [this, i] { OnMethodClicked(i); });
    }
    m_methods[Bilinear]->setChecked(true);
    m_radius =
        AddRow("Radius:", m_t.radiusIds, 1, 1000, m_t.radiusInitial, m_t.radiusLimit, kRadiusTop);

    done->setDefault(true);
    m_apply->setEnabled(false);
    m_revert->setEnabled(false);
    connect(m_apply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_revert, &QPushButton::clicked, this, [this] { OnRevert(); });
    connect(done, &QPushButton::clicked, this, [this] { OnDone(); });
    connect(help, &QPushButton::clicked, this, [] {
        if (AfxGetApp()) AfxGetApp()->HelpTopic(kHelpTopic);
    });
    connect(m_radius.edit, &QSpinBox::textChanged, this, [this] {
        if (!m_filling) OnRadiusEdited();
    });
    FinishLayout({0, 0, kFrameW, kFullH});
    m_filling = false;
}

void CResizeTypeDlg::EnableMethods(bool enable) {
    for (QRadioButton* b : m_methods) EnableControl(b, enable);
    m_radius.SetEnabled(*this, enable);
}

void CResizeTypeDlg::OnSizeEdited() {
    m_apply->setEnabled(true);
    EnableMethods(true);
}

void CResizeTypeDlg::OnRadiusEdited() {
    if (m_method != m_t.methodIds[Bilinear]) m_apply->setEnabled(true);
}

void CResizeTypeDlg::OnMethodClicked(int index) {
    const int id = m_t.methodIds[size_t(index)];
    if (id == m_method) return;
    m_method = id;
    m_apply->setEnabled(true);
}

std::unique_ptr<ImageFilter> CResizeTypeDlg::MakeFilter(QSize size) const {
    const double radius = m_radius.Value() * 0.01;
    const int w = size.width(), h = size.height();
    if (m_method == m_t.methodIds[Box])
        return std::make_unique<BoxResizeFilter>(w, h, radius, Progress());
    if (m_method == m_t.methodIds[Gaussian])
        return std::make_unique<GaussianResizeFilter>(w, h, radius, Progress());
    if (m_method == m_t.methodIds[Hamming])
        return std::make_unique<HammingResizeFilter>(w, h, radius, Progress());
    return std::make_unique<BilinearResizeFilter>(w, h, Progress());
}

void CResizeTypeDlg::OnApply() {
    if (!m_doc || !m_doc->GetPicture() || !m_doc->GetBackup()) return;
    const QSize size = NewSize();
    if (size.width() < 1 || size.height() < 1) return;
    CDocCommandHistory& history = m_doc->History();
    {
        WaitCursor wait;
        // A second Apply starts again from the picture the dialog found: resampling the
        // first result would lose detail, and the step Done records must lead back to the
        // picture before the dialog.
        if (m_revert->isEnabled()) history.UndoTentative();
        try {
            auto* command = new CTilletCommand(m_doc, MakeFilter(size).release(), m_t.description);
            history.DoTentative(command, 1);
        } catch (const CTextException& e) {
            AfxMessageBox(this, QString::fromStdString(e.GetText()), QMessageBox::Ok,
                          QMessageBox::Warning, QMessageBox::Ok);
            m_revert->setEnabled(false);
            m_doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
            return;
        }
    }
    m_doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    m_apply->setEnabled(false);
    m_revert->setEnabled(true);
    EnableMethods(false);
}

void CResizeTypeDlg::OnRevert() {
    if (!m_doc) return;
    {
        WaitCursor wait;
        m_doc->History().UndoTentative();
    }
    m_doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    ShowRestoredSize();
    // Setting the size counts as an edit of it, also when the value stays the same.
    OnSizeEdited();
    m_apply->setEnabled(false);
    m_revert->setEnabled(false);
}

void CResizeTypeDlg::OnDone() {
    if (m_doc) m_doc->History().CommitTentative(m_revert->isEnabled() ? 1 : 0);
    accept();
}

void CResizeTypeDlg::reject() {
    if (m_doc) {
        if (m_revert->isEnabled()) {
            WaitCursor wait;
            m_doc->History().UndoTentative();
        }
        m_doc->History().CommitTentative(0);
        m_doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    }
    CExpandingDialog::reject();
}

// ---------------------------------------------------------------------------------------------
// CResizeDlg

CResizeDlg::CResizeDlg(QWidget* parent, CTilletCaptureDoc* doc)
    : CResizeTypeDlg(parent, doc, kResize) {
    const CPicture* picture = doc ? doc->GetPicture() : nullptr;
    const int w = picture && picture->GetWidth() <= 2048 ? picture->GetWidth() : 800;
    const int h = picture && picture->GetHeight() <= 2048 ? picture->GetHeight() : 600;
    const int widthIds[3] = {1028, 1029, 1032};
    const int heightIds[3] = {1030, 1031, 1033};
    m_width = AddRow("Width(pixels):", widthIds, 1, 2048, std::max(w, 1), 4, kRowTop);
    m_height = AddRow("Height(pixels):", heightIds, 1, 2048, std::max(h, 1), 4, kRowTop + kRowStep);
    for (QSpinBox* edit : {m_width.edit, m_height.edit})
        connect(edit, &QSpinBox::textChanged, this, [this] {
            if (!m_filling) OnSizeEdited();
        });
    Finish();
    m_width.edit->setFocus();
}

QSize CResizeDlg::NewSize() const {
    return {m_width.Value(), m_height.Value()};
}

void CResizeDlg::ShowRestoredSize() {
    m_width.SetValue(m_doc->GetPicture()->GetWidth());
    m_height.SetValue(m_doc->GetPicture()->GetHeight());
}

// ---------------------------------------------------------------------------------------------
// CScaleDlg

CScaleDlg::CScaleDlg(QWidget* parent, CTilletCaptureDoc* doc)
    : CResizeTypeDlg(parent, doc, kScale) {
    const int ids[3] = {1053, 1055, 1054};
    m_scale = AddRow("Scale:", ids, 1, 400, 100, 3, kRowTop);
    connect(m_scale.edit, &QSpinBox::textChanged, this, [this] {
        if (!m_filling) OnSizeEdited();
    });
    Finish();
    m_scale.edit->setFocus();
}

QSize CScaleDlg::NewSize() const {
    const CPicture* backup = m_doc->GetBackup();
    return {Percent(backup->GetWidth(), m_scale.Value()),
            Percent(backup->GetHeight(), m_scale.Value())};
}

void CScaleDlg::OnSizeEdited() {
    m_apply->setEnabled(true);
}

void CScaleDlg::OnRadiusEdited() {
    m_apply->setEnabled(true);
    EnableMethods(true);
}

void CScaleDlg::ShowRestoredSize() {
    const CPicture* backup = m_doc->GetBackup();
    if (!backup || backup->GetWidth() == 0) return;
    m_scale.SetValue(int(int64_t(m_doc->GetPicture()->GetWidth()) * 100 / backup->GetWidth()));
}

// ---------------------------------------------------------------------------------------------
// CStretchDlg

CStretchDlg::CStretchDlg(QWidget* parent, CTilletCaptureDoc* doc)
    : CResizeTypeDlg(parent, doc, kStretch) {
    const int hIds[3] = {1068, 1069, 1070};
    const int vIds[3] = {1071, 1072, 1073};
    m_horizontal = AddRow("Horizontal:", hIds, 1, 400, 100, 3, kRowTop);
    m_vertical = AddRow("Vertical:", vIds, 1, 400, 100, 3, kRowTop + kRowStep);
    for (QSpinBox* edit : {m_horizontal.edit, m_vertical.edit})
        connect(edit, &QSpinBox::textChanged, this, [this] {
            if (!m_filling) OnSizeEdited();
        });
    Finish();
    m_horizontal.edit->setFocus();
}

QSize CStretchDlg::NewSize() const {
    const CPicture* backup = m_doc->GetBackup();
    return {Percent(backup->GetWidth(), m_horizontal.Value()),
            Percent(backup->GetHeight(), m_vertical.Value())};
}

void CStretchDlg::ShowRestoredSize() {
    m_horizontal.SetValue(100);
    m_vertical.SetValue(100);
}

// ---------------------------------------------------------------------------------------------

void RunResizeTypeDialog(int commandId, CTilletCaptureDoc& doc, QWidget* parent) {
    std::unique_ptr<CResizeTypeDlg> dialog;
    if (commandId == ID_OP_RESIZE)
        dialog = std::make_unique<CResizeDlg>(parent, &doc);
    else if (commandId == ID_OP_SCALE)
        dialog = std::make_unique<CScaleDlg>(parent, &doc);
    else if (commandId == ID_OP_STRETCH)
        dialog = std::make_unique<CStretchDlg>(parent, &doc);
    if (dialog) dialog->exec();
}
