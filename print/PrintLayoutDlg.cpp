#include "print/PrintLayoutDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>

#include "imagefile/DisplayPicture.h"

using print::Rect;
using print::Size;

namespace {
enum Field { X, Y, Left, Top, Right, Bottom };
} // namespace

// A field whose up and down steps follow the layout's rules instead of the spin box's own.
class CPrintLayoutDlg::Spin : public QDoubleSpinBox {
public:
    std::function<void(bool up)> step;
    void stepBy(int steps) override {
        for (int i = 0; i < std::abs(steps); ++i) step(steps > 0);
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class CPrintLayoutDlg::Preview : public QWidget {
public:
    explicit Preview(CPrintLayoutDlg& dlg) : m_dlg(dlg) { setMinimumSize(220, 260); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect area = rect().adjusted(1, 1, -1, -1);
        p.fillRect(area, QColor(192, 192, 192));
        const PrintLayoutSettings& l = m_dlg.m_layout;
        const long pageW = l.sizePage.x, pageH = l.sizePage.y;
        if (pageW <= 0 || pageH <= 0) return;
        const print::Placement placement = print::PlacementOf(l.printMode);
        if (placement == print::Placement::None) return;
        const print::PosterGrid grid = placement == print::Placement::FitToMargins
                                           ? print::PosterGrid{1, 1}
                                           : print::PosterGridOf(l);
        if (grid.Pages() == 0) return;
        const int cellW = area.width() / int(grid.columns);
        const int cellH = area.height() / int(grid.rows);
        const double scale = std::min(double(cellW) / double(pageW), double(cellH) / double(pageH));
        const Size picture = m_dlg.PictureSize();
        for (long page = 1; page <= grid.Pages(); ++page) {
            const int col = int((page - 1) % grid.columns), row = int((page - 1) / grid.columns);
            const int w = int(std::lround(double(pageW) * scale));
            const int h = int(std::lround(double(pageH) * scale));
            const QPoint origin(area.left() + col * cellW + (cellW - w) / 2,
                                area.top() + row * cellH + (cellH - h) / 2);
            const QRect sheet(origin, QSize(w, h));
            p.fillRect(sheet, Qt::white);
            p.setPen(Qt::black);
            p.drawRect(sheet.adjusted(0, 0, -1, -1));
            auto at = [&](long x, long y) {
                return QPoint(origin.x() + int(std::lround(double(x) * scale)),
                              origin.y() + int(std::lround(double(y) * scale)));
            };
            const Rect printable = print::PrintableRect(l);
            p.setPen(QColor(128, 128, 128));
            p.drawLine(at(printable.left, 0), at(printable.left, pageH));
            p.drawLine(at(printable.right, 0), at(printable.right, pageH));
            p.drawLine(at(0, printable.top), at(pageW, printable.top));
            p.drawLine(at(0, printable.bottom), at(pageW, printable.bottom));
            if (!m_dlg.m_picture || picture.width <= 0) continue;
            const auto slice = print::PageToPrint(picture, l, page);
            if (!slice) continue;
            const QRect dst = QRect(at(slice->destination.left, slice->destination.top),
                                    at(slice->destination.right, slice->destination.bottom))
                                  .adjusted(1, 1, -1, -1)
                                  .intersected(sheet);
            if (dst.isEmpty()) continue;
            const QRect src(int(slice->source.left), int(slice->source.top),
                            int(slice->source.Width()), int(slice->source.Height()));
            m_dlg.m_picture->DrawRegion(p, &dst, &src, true, 0, SRCCOPY);
        }
    }

private:
    CPrintLayoutDlg& m_dlg;
};

CPrintLayoutDlg::CPrintLayoutDlg(const PrintLayoutSettings& layout, const CDisplayPicture* picture,
                                 Size page, QWidget* parent)
    : QDialog(parent), m_layout(layout), m_picture(picture) {
    setWindowTitle("Print Layout");
    m_layout.sizePage = {page.width, page.height};
    if (m_layout.sizePrint.x == 0 && m_layout.sizePrint.y == 0) {
        const Size s = print::DefaultPrintSize(page, PictureSize());
        m_layout.sizePrint = {s.width, s.height};
    }

    auto* previewBox = new QGroupBox("Preview");
    m_preview = new Preview(*this);
    (new QVBoxLayout(previewBox))->addWidget(m_preview);

    auto* pageWidget = new QWidget;
    auto* grid = new QGridLayout(pageWidget);
    auto* unitsBox = new QGroupBox("Measurement units");
    m_inchButton = new QRadioButton("&Inches");
    m_cmButton = new QRadioButton("C&entimeters");
    m_cmButton->setChecked(true);
    auto* unitsLayout = new QHBoxLayout(unitsBox);
    unitsLayout->addWidget(m_inchButton);
    unitsLayout->addWidget(m_cmButton);
    auto* centerBox = new QGroupBox("Center Image On Page");
    m_centerH = new QCheckBox("&Horizontally");
    m_centerV = new QCheckBox("&Vertically");
    auto* centerLayout = new QHBoxLayout(centerBox);
    centerLayout->addWidget(m_centerH);
    centerLayout->addWidget(m_centerV);
    m_sizing = new QComboBox;
    m_sizing->addItems({"Fit to Margins", "Height and Width"});
    grid->addWidget(unitsBox, 0, 0, 1, 3);
    grid->addWidget(centerBox, 1, 0, 1, 3);
    auto* sizingLabel = new QLabel("&Sizing method:");
    sizingLabel->setBuddy(m_sizing);
    grid->addWidget(sizingLabel, 2, 0);
    grid->addWidget(m_sizing, 2, 1, 1, 2);
    const char* names[6] = {"&X:", "&Y:", "&Left:", "&Top:", "&Right:", "&Bottom:"};
    for (int i = 0; i < 6; ++i) {
        m_fields[i] = new Spin;
        m_fields[i]->setDecimals(2);
        m_fields[i]->setRange(0, 100000);
        m_fields[i]->setKeyboardTracking(true);
        m_units[i] = new QLabel;
        auto* label = new QLabel(names[i]);
        label->setBuddy(m_fields[i]);
        grid->addWidget(label, 3 + i, 0);
        grid->addWidget(m_fields[i], 3 + i, 1);
        grid->addWidget(m_units[i], 3 + i, 2);
    }
    auto* tabs = new QTabWidget;
    tabs->addTab(pageWidget, "Layout");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QHBoxLayout;
    top->addWidget(previewBox, 1);
    top->addWidget(tabs);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(buttons);

    connect(m_inchButton, &QRadioButton::toggled, this, [this](bool on) { SetInches(on); });
    connect(m_centerH, &QCheckBox::toggled, this, [this](bool on) {
        m_layout.imageCenterFlag =
            on ? m_layout.imageCenterFlag | 1 : m_layout.imageCenterFlag & ~1u;
        Stored();
    });
    connect(m_centerV, &QCheckBox::toggled, this, [this](bool on) {
        m_layout.imageCenterFlag =
            on ? m_layout.imageCenterFlag | 2 : m_layout.imageCenterFlag & ~2u;
        Stored();
    });
    connect(m_sizing, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_showing) return;
        m_layout.printMode = index == 1 ? 3 : 1;
        ShowValues();
    });
    long* targets[6] = {&m_layout.sizePrint.x, &m_layout.sizePrint.y,   &m_layout.margins.left,
                        &m_layout.margins.top, &m_layout.margins.right, &m_layout.margins.bottom};
    auto display = [this](long tenths) { return print::ToDisplayUnit(tenths, m_inches); };
    for (int i : {X, Y}) {
        long* target = targets[i];
        connect(m_fields[i], &QDoubleSpinBox::valueChanged, this, [this, target](double v) {
            if (m_showing) return;
            *target = print::FromDisplayUnit(v, m_inches);
            Stored();
        });
    }
    for (int i : {Left, Top, Right, Bottom}) {
        long* target = targets[i];
        long* opposite = targets[i == Left ? Right : i == Right ? Left : i == Top ? Bottom : Top];
        const bool across = i == Left || i == Right;
        Spin* field = m_fields[i];
        connect(field, &QDoubleSpinBox::valueChanged, this,
                [this, target, opposite, across, field, display](double v) {
                    if (m_showing) return;
                    // A typed margin that would cross the page keeps what the other one leaves.
                    const double pageDim =
                        display(across ? m_layout.sizePage.x : m_layout.sizePage.y);
                    const double kept = print::ClampMargin(v, display(*opposite), pageDim);
                    *target = print::FromDisplayUnit(kept, m_inches);
                    if (kept != v) {
                        m_showing = true;
                        field->setValue(kept);
                        m_showing = false;
                    }
                    Stored();
                });
    }
    for (int i : {X, Y})
        m_fields[i]->step = [this, i, display](bool up) {
            double x = display(m_layout.sizePrint.x), y = display(m_layout.sizePrint.y);
            print::SpinPrintSize(x, y, PictureSize(), i == X, up);
            m_layout.sizePrint = {print::FromDisplayUnit(x, m_inches),
                                  print::FromDisplayUnit(y, m_inches)};
            ShowValues();
        };
    for (int i : {Left, Top, Right, Bottom}) {
        long* target = targets[i];
        long* opposite = targets[i == Left ? Right : i == Right ? Left : i == Top ? Bottom : Top];
        const bool across = i == Left || i == Right;
        m_fields[i]->step = [this, target, opposite, across, display](bool up) {
            const double pageDim = display(across ? m_layout.sizePage.x : m_layout.sizePage.y);
            *target = print::FromDisplayUnit(
                print::SpinMargin(display(*target), display(*opposite), pageDim, up), m_inches);
            ShowValues();
        };
    }
    ShowValues();
}

Size CPrintLayoutDlg::PictureSize() const {
    if (!m_picture) return {};
    return {m_picture->GetWidth(), m_picture->GetHeight()};
}

void CPrintLayoutDlg::SetInches(bool inches) {
    m_inches = inches;
    (inches ? m_inchButton : m_cmButton)->setChecked(true);
    ShowValues();
}

void CPrintLayoutDlg::Stored() {
    m_preview->update();
}

void CPrintLayoutDlg::ShowValues() {
    m_showing = true;
    const long values[6] = {m_layout.sizePrint.x, m_layout.sizePrint.y,   m_layout.margins.left,
                            m_layout.margins.top, m_layout.margins.right, m_layout.margins.bottom};
    for (int i = 0; i < 6; ++i) {
        m_fields[i]->setValue(print::ToDisplayUnit(values[i], m_inches));
        m_fields[i]->setSingleStep(0.1);
        m_units[i]->setText(m_inches ? "In" : "Cm");
    }
    m_centerH->setChecked(m_layout.imageCenterFlag & 1);
    m_centerV->setChecked(m_layout.imageCenterFlag & 2);
    const bool poster = print::PlacementOf(m_layout.printMode) == print::Placement::HeightAndWidth;
    m_sizing->setCurrentIndex(poster ? 1 : 0);
    m_fields[X]->setEnabled(poster);
    m_fields[Y]->setEnabled(poster);
    m_showing = false;
    m_preview->update();
}

CPrintSetupEx::CPrintSetupEx(QPrinter* printer, PrintLayoutSettings& layout,
                             const CDisplayPicture* picture, QWidget* parent)
    : QPageSetupDialog(printer, parent), m_layout(layout), m_picture(picture) {
    setWindowTitle("Print Setup");
    if (auto* box = findChild<QDialogButtonBox*>()) {
        QPushButton* button = box->addButton("&Layout", QDialogButtonBox::ActionRole);
        connect(button, &QPushButton::clicked, this, [this] { OnLayout(); });
    }
}

void CPrintSetupEx::OnLayout() {
    const QSizeF mm = printer()->pageLayout().fullRect(QPageLayout::Millimeter).size();
    const Size page{long(std::lround(mm.width() * 10)), long(std::lround(mm.height() * 10))};
    CPrintLayoutDlg dlg(m_layout, m_picture, page, this);
    if (dlg.exec() == QDialog::Accepted) m_layout = dlg.Layout();
}
