#include "dialogs/NewImageDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <functional>

#include "framework/Commands.h"
#include "framework/WinApp.h"

CNewImageDlg::CNewImageDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Create New Image");
    setObjectName("dialog163");
    auto* grid = new QGridLayout;
    const char* labels[4] = {"Image Width", "Image Height", "Horizontal Res", "Vertical Res"};
    const char* ids[4] = {"1115", "1117", "1119", "1120"};
    const char* unitIds[4] = {"1116", "1118", "1121", "1122"};
    for (int i = 0; i < 4; ++i) {
        m_edits[i] = new QLineEdit(this);
        m_edits[i]->setObjectName(ids[i]);
        auto* validator = new QDoubleValidator(0, 1e9, 9, m_edits[i]);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(QLocale::c());
        m_edits[i]->setValidator(validator);
        m_units[i] = new QComboBox(this);
        m_units[i]->setObjectName(unitIds[i]);
        if (i < 2)
            m_units[i]->addItems({"Pixels", "Inches", "Centimeters"});
        else
            m_units[i]->addItems({"Pixels/Inch", "Pixels/cm"});
        grid->addWidget(new QLabel(labels[i], this), i, 0);
        grid->addWidget(m_edits[i], i, 1);
        grid->addWidget(m_units[i], i, 2);
    }
    WriteEdits();
    std::function<void(NewImageValues&, int)> setters[4] = {
        [](NewImageValues& v, int u) { v.SetWidthUnit(u); },
        [](NewImageValues& v, int u) { v.SetHeightUnit(u); },
        [](NewImageValues& v, int u) { v.SetHResUnit(u); },
        [](NewImageValues& v, int u) { v.SetVResUnit(u); },
    };
    for (int i = 0; i < 4; ++i) {
        connect(m_units[i], &QComboBox::currentIndexChanged, this, [this, i, setters](int unit) {
            ReadEdits();
            setters[i](m_values, unit);
            WriteEdits();
        });
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* create = buttons->addButton("Create", QDialogButtonBox::AcceptRole);
    create->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    QPushButton* help = buttons->addButton(QDialogButtonBox::Help);
    connect(create, &QPushButton::clicked, this, [this] { OnCreate(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] {
        if (AfxGetApp()) AfxGetApp()->WinHelp();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void CNewImageDlg::ReadEdits() {
    double* fields[4] = {&m_values.width, &m_values.height, &m_values.hres, &m_values.vres};
    for (int i = 0; i < 4; ++i) *fields[i] = QLocale::c().toDouble(m_edits[i]->text());
}

void CNewImageDlg::WriteEdits() {
    const double fields[4] = {m_values.width, m_values.height, m_values.hres, m_values.vres};
    for (int i = 0; i < 4; ++i) m_edits[i]->setText(QString::number(fields[i], 'g', 10));
}

void CNewImageDlg::OnCreate() {
    ReadEdits();
    m_values.ToPixels();
    const QSignalBlocker b0(m_units[0]), b1(m_units[1]);
    m_units[0]->setCurrentIndex(0);
    m_units[1]->setCurrentIndex(0);
    WriteEdits();
    // A resolution of 0 or a size outside what one picture can hold would make no image.
    if (!(m_values.width >= 1 && m_values.width <= kMaxSide && m_values.height >= 1 &&
          m_values.height <= kMaxSide)) {
        QMessageBox::warning(this, windowTitle(),
                             QString("Please enter a size from 1 to %1 pixels.").arg(kMaxSide));
        return;
    }
    accept();
}
