#include "dialogs/OptionPages.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/ColorSwatch.h"
#include "dialogs/ParamRow.h"
#include "framework/MessageBox.h"

namespace {

QCheckBox* AddCheck(QWidget* page, QLayout* layout, int id, const char* text, bool on) {
    auto* box = new QCheckBox(text, page);
    box->setObjectName(QString::number(id));
    box->setChecked(on);
    layout->addWidget(box);
    return box;
}

void Warn(QWidget* parent, const QString& text) {
    AfxMessageBox(parent, text, QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok);
}

} // namespace

// ---- General ----

namespace {
const struct {
    int id;
    DWORD flag;
    const char* text;
} kGeneralFlags[5] = {
    {239, OPTA_TRAY_ON_MINIMIZE, "&Minimize to system tray when main window minimized"},
    {1162, OPTA_TRAY_ON_STARTUP, "Minimize to system tray on &startup"},
    {238, OPTA_POPUP_AFTER_CAPTURE, "&Popup main window after capture"},
    {1083, OPTA_ENABLE_SOUND, "&Enable sounds after capture"},
    {1242, OPTA_RESET_MRU_ON_EXIT, "&Reset recent file list on exit"},
};
// The Default Capture Action list: the actions by kind, not by index.
const int kActionOrder[] = {0, 1, 9, 8, 2, 4, 3, 5, 6, 7, 10};
} // namespace

void CGeneralPage::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 5; ++i)
        m_flags[i] = AddCheck(this, layout, kGeneralFlags[i].id, kGeneralFlags[i].text,
                              m_settings.optionsA & kGeneralFlags[i].flag);
    const bool autostart = m_services.isStartedWithSystem && m_services.isStartedWithSystem();
    m_autostart = AddCheck(this, layout, 1244, "&Automatically run on Windows startup", autostart);
    m_prompt = AddCheck(this, layout, 1161, "Prompt to &save modified images",
                        m_settings.optionsA & OPTA_PROMPT_SAVE);
    auto* label = new QLabel("Default Capture Action:", this);
    layout->addWidget(label);
    m_action = new QComboBox(this);
    m_action->setObjectName("1196");
    label->setBuddy(m_action);
    for (int index : kActionOrder) {
        const std::string text =
            m_services.captureActionText ? m_services.captureActionText(index) : std::string();
        m_action->addItem(QString::fromStdString(text), index);
    }
    const int found = m_action->findData(m_settings.defaultCaptureAction);
    m_action->setCurrentIndex(found >= 0 ? found : 0);
    layout->addWidget(m_action);
    auto* reset = new QPushButton("Reset Recent File &List", this);
    reset->setObjectName("1243");
    connect(reset, &QPushButton::clicked, this, [this, reset] {
        if (m_services.clearRecentFileList) m_services.clearRecentFileList();
        reset->setEnabled(false);
    });
    layout->addWidget(reset, 0, Qt::AlignLeft);
    layout->addStretch(1);
}

void CGeneralPage::OnOK() {
    if (m_services.setStartWithSystem) m_services.setStartWithSystem(m_autostart->isChecked());
    for (int i = 0; i < 5; ++i) {
        if (m_flags[i]->isChecked())
            m_settings.optionsA |= kGeneralFlags[i].flag;
        else
            m_settings.optionsA &= ~kGeneralFlags[i].flag;
    }
    if (m_prompt->isChecked())
        m_settings.optionsA |= OPTA_PROMPT_SAVE;
    else
        m_settings.optionsA &= ~OPTA_PROMPT_SAVE;
    if (m_action->currentIndex() >= 0)
        m_settings.defaultCaptureAction = m_action->currentData().toInt();
}

// ---- Hotkey ----

namespace {
const struct {
    const char* name;
    int index;
    int firstId; // Ctrl; Alt, Shift and the key list follow
} kHotkeyRows[HOTKEY_ACTION_COUNT] = {
    {"Active Window", 0, 1124},
    {"Active Window Client", 1, 1132},
    {"Control, Child Window", 2, 1136},
    {"Square", 3, 1144},
    {"Rectangle", 4, 1140},
    {"Circle", 5, 1172},
    {"Ellipse", 6, 1148},
    {"Polygon", 7, 1164},
    {"Menu", 8, 1128},
    {"Desktop", 9, 1156},
    {"Single Window", 10, 1152},
    {"Repeat Last", 11, 1160},
    {"Default", 12, 1168},
};
constexpr uint16_t kCtrl = 0x8000, kShift = 0x4000, kAlt = 0x2000;
} // namespace

void CHotkeyPage::OnInitDialog() {
    auto* grid = new QGridLayout(this);
    for (int r = 0; r < HOTKEY_ACTION_COUNT; ++r) {
        const auto& def = kHotkeyRows[r];
        const QString name = def.name;
        grid->addWidget(new QLabel(name + ":", this), r, 0);
        Row& row = m_rows[def.index];
        row.ctrl = new QCheckBox("Ctrl+", this);
        row.alt = new QCheckBox("Alt+", this);
        row.shift = new QCheckBox("Shift+", this);
        row.key = new QComboBox(this);
        QWidget* parts[4] = {row.ctrl, row.alt, row.shift, row.key};
        for (int c = 0; c < 4; ++c) {
            parts[c]->setObjectName(QString::number(def.firstId + c));
            grid->addWidget(parts[c], r, c + 1);
        }
        // The boxes share their texts across rows; the row's name tells them apart.
        row.ctrl->setAccessibleName(name + " Ctrl+");
        row.alt->setAccessibleName(name + " Alt+");
        row.shift->setAccessibleName(name + " Shift+");
        row.key->setAccessibleName(name + " key");
    }
    auto* reset = new QPushButton("&Reset", this);
    reset->setObjectName("1176");
    connect(reset, &QPushButton::clicked, this, [this] { FillRows(HotkeyTable().keys); });
    grid->addWidget(reset, HOTKEY_ACTION_COUNT, 4, Qt::AlignRight);
    uint16_t table[HOTKEY_TABLE_SIZE] = {};
    if (m_services.getHotkeys) m_services.getHotkeys(table);
    FillRows(table);
}

void CHotkeyPage::FillRows(const uint16_t* words) {
    for (int i = 0; i < HOTKEY_ACTION_COUNT; ++i) {
        Row& row = m_rows[i];
        const uint16_t word = words[i];
        row.ctrl->setChecked(word & kCtrl);
        row.alt->setChecked(word & kAlt);
        row.shift->setChecked(word & kShift);
        row.key->clear();
        row.key->addItem("None", 0);
        for (const auto& [vk, name] : m_services.keyNames)
            row.key->addItem(QString::fromStdString(name), vk);
        if (word == 0) {
            row.key->setCurrentIndex(-1);
        } else {
            const int found = row.key->findData(int(word & 0xFF));
            row.key->setCurrentIndex(found >= 0 ? found : 0);
        }
    }
}

uint16_t CHotkeyPage::RowWord(int index) const {
    const Row& row = m_rows[index];
    uint16_t word = 0;
    if (row.ctrl->isChecked()) word |= kCtrl;
    if (row.alt->isChecked()) word |= kAlt;
    if (row.shift->isChecked()) word |= kShift;
    if (row.key->currentIndex() >= 0) word |= uint16_t(row.key->currentData().toInt() & 0xFF);
    return word;
}

bool CHotkeyPage::Validate() {
    uint16_t words[HOTKEY_TABLE_SIZE] = {};
    for (int i = 0; i < HOTKEY_ACTION_COUNT; ++i) words[i] = RowWord(i);
    // Modifiers alone never fire, so only words with a key can clash.
    for (int i = 0; i < HOTKEY_ACTION_COUNT; ++i)
        for (int j = i + 1; j < HOTKEY_ACTION_COUNT; ++j)
            if (words[i] == words[j] && (words[i] & 0xFF)) {
                AfxMessageBox(this, "There are the same hotkey between capture actions!",
                              QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok);
                return false;
            }
    return true;
}

void CHotkeyPage::OnOK() {
    uint16_t table[HOTKEY_TABLE_SIZE] = {};
    if (m_services.getHotkeys) m_services.getHotkeys(table);
    for (int i = 0; i < HOTKEY_ACTION_COUNT; ++i) table[i] = RowWord(i);
    if (m_services.setHotkeys) m_services.setHotkeys(table);
}

// ---- Capture Output ----

namespace {
const int kSaveControls[] = {1172, 1174, 1175, 1180, 1179, 1185, 1184, 1034, 1183,
                             1186, 266,  1241, 1173, 1177, 1176, 1178, 1098};
constexpr int kMaxPath = 250, kMaxLead = 12;
} // namespace

std::string CCaptureOutputPage::CutLeadName(const std::string& text) {
    return text.substr(0, text.find_first_of("\\/:*?\"<>|."));
}

QWidget* CCaptureOutputPage::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void CCaptureOutputPage::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    const DWORD a = m_settings.optionsA;
    const AutoSaveSettings& s = m_settings.autoSave;
    m_editor = AddCheck(this, layout, 983, "Create an image &window after capturing an image",
                        a & OPTA_OPEN_IN_EDITOR);
    m_clipboard =
        AddCheck(this, layout, 1169, "&Copy the image to the clipboard after capturing an image",
                 a & OPTA_COPY_TO_CLIPBOARD);
    m_print = AddCheck(this, layout, 1170, "&Print the image on a printer after capturing an image",
                       a & OPTA_PRINT);
    m_skipPrint =
        AddCheck(this, layout, 1106, "S&kip the Print dialog and use the current printer settings.",
                 a & OPTA_SKIP_PRINT_DIALOG);
    m_save = AddCheck(this, layout, 1171, "&Save the image to a file after capturing an image",
                      a & OPTA_SAVE_TO_FILE);
    m_autoName = AddCheck(
        this, layout, 1183,
        "&Automatically name and save the image using the following settings:", a & OPTA_AUTO_NAME);

    auto* form = new QGridLayout;
    auto addLabel = [&](int id, const char* text, int row, int col) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::number(id));
        form->addWidget(label, row, col);
        return label;
    };
    auto addEdit = [&](int id, const QString& text, const char* accessible) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(QString::number(id));
        edit->setAccessibleName(accessible);
        return edit;
    };
    addLabel(1172, "Directory:", 0, 0);
    m_path = addEdit(1173, QString::fromUtf8(s.path), "Directory");
    form->addWidget(m_path, 0, 1, 1, 3);
    auto* browse = new QPushButton("&Browse...", this);
    browse->setObjectName("1098");
    form->addWidget(browse, 0, 4);
    addLabel(1174, "Lead name:", 1, 0)->setBuddy(nullptr);
    m_lead = addEdit(1177, QString::fromUtf8(s.leadFileName), "Lead name");
    form->addWidget(m_lead, 1, 1);
    addLabel(1175, "Digits:", 1, 2);
    m_digits = addEdit(1176, QString::number(s.digitCount % 7), "Digits");
    // The up-downs start from the edit's text: setting their position here would overwrite
    // a stored value outside their range, which validation is there to point out.
    auto withUpDown = [&](QLineEdit* edit, int id, int low, int high) {
        auto* cell = new QHBoxLayout;
        cell->setSpacing(0);
        auto* upDown = new CUpDown(edit, this);
        upDown->setObjectName(QString::number(id));
        upDown->SetRange(low, high);
        cell->addWidget(edit);
        cell->addWidget(upDown);
        return cell;
    };
    form->addLayout(withUpDown(m_digits, 1184, 2, 6), 1, 3);
    addLabel(1180, "Start number:", 2, 0);
    m_start = addEdit(1178, QString::number(s.startNO % 1000000), "Start number");
    form->addLayout(withUpDown(m_start, 1185, 1, 999999), 2, 1);
    addLabel(1179, "Save image as:", 2, 2);
    m_type = new QComboBox(this);
    m_type->setObjectName("1034");
    m_type->setAccessibleName("Save image as");
    for (const OutputType& t : OutputTypeTable) m_type->addItem(t.name, t.code);
    const int found = m_type->findData(s.imageType);
    m_type->setCurrentIndex(found >= 0 ? found : 0);
    form->addWidget(m_type, 2, 3);
    layout->addLayout(form);
    m_replace =
        AddCheck(this, layout, 1186, "&Replace existing files", s.options & ASO_REPLACE_EXISTING);
    m_wrap = AddCheck(this, layout, 1241, "Wrap counter", s.options & ASO_WRAP_COUNTER);
    m_resetCounter = AddCheck(this, layout, 266, "Reset counter on startup",
                              s.options & ASO_RESET_COUNTER_ON_STARTUP);
    layout->addStretch(1);
    EnableSaveControls();

    connect(m_save, &QCheckBox::clicked, this, [this](bool on) {
        if (on && !m_editor->isChecked()) m_editor->setChecked(true);
        EnableSaveControls();
    });
    connect(m_autoName, &QCheckBox::clicked, this, [this] { EnableSaveControls(); });
    connect(m_print, &QCheckBox::clicked, this, [this](bool on) {
        if (on && !m_editor->isChecked()) m_editor->setChecked(true);
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir =
            QFileDialog::getExistingDirectory(this, "Choose directory:", m_path->text());
        if (!dir.isEmpty()) m_path->setText(dir);
    });
}

void CCaptureOutputPage::EnableSaveControls() {
    const bool save = m_save->isChecked();
    const bool naming = save && m_autoName->isChecked();
    for (int id : kSaveControls)
        if (QWidget* w = Control(id)) w->setEnabled(id == 1183 ? save : naming);
}

bool CCaptureOutputPage::CheckNumber(QLineEdit* edit, int low, int high) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        Warn(this, "Please enter an integer.");
    } else if (value < low || value > high) {
        Warn(this, QString("Please enter an integer between %1 and %2.").arg(low).arg(high));
        ok = false;
    }
    if (!ok) {
        edit->setFocus();
        edit->selectAll();
    }
    return ok;
}

bool CCaptureOutputPage::Validate() {
    for (auto [edit, limit] : {std::pair{m_path, kMaxPath}, std::pair{m_lead, kMaxLead}}) {
        if (edit->text().size() > limit) {
            Warn(this, QString("Please enter no more than %1 characters.").arg(limit));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    return CheckNumber(m_digits, 2, 6) && CheckNumber(m_start, 1, 999999);
}

void CCaptureOutputPage::OnOK() {
    DWORD& a = m_settings.optionsA;
    auto set = [](DWORD& bits, DWORD flag, bool on) { bits = on ? bits | flag : bits & ~flag; };
    set(a, OPTA_OPEN_IN_EDITOR,
        m_editor->isChecked() || m_print->isChecked() || m_save->isChecked());
    set(a, OPTA_COPY_TO_CLIPBOARD, m_clipboard->isChecked());
    set(a, OPTA_PRINT, m_print->isChecked());
    set(a, OPTA_SKIP_PRINT_DIALOG, m_skipPrint->isChecked());
    set(a, OPTA_SAVE_TO_FILE, m_save->isChecked());
    set(a, OPTA_AUTO_NAME, m_autoName->isChecked());
    AutoSaveSettings& s = m_settings.autoSave;
    set(s.options, ASO_REPLACE_EXISTING, m_replace->isChecked());
    set(s.options, ASO_WRAP_COUNTER, m_wrap->isChecked());
    set(s.options, ASO_RESET_COUNTER_ON_STARTUP, m_resetCounter->isChecked());
    CopyToBuffer(s.path, sizeof s.path, m_path->text().toStdString());
    CopyToBuffer(s.leadFileName, sizeof s.leadFileName, CutLeadName(m_lead->text().toStdString()));
    s.digitCount = unsigned(m_digits->text().trimmed().toInt() % 7);
    s.startNO = m_start->text().trimmed().toInt() % 1000000;
    if (m_type->currentIndex() >= 0) s.imageType = m_type->currentData().toInt();
}

// ---- Color ----

namespace {
const struct {
    const char* group;
    int swatch;
    int button;
} kColorRows[3] = {
    {"Background fill color of image &view window", 1198, 1197},
    {"Background fill color of &image ", 1199, 1196},
    {"&Background fill color of capture (transparent color)", 1200, 1195},
};
} // namespace

void CColorPage::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    const uint32_t colors[3] = {m_settings.colorViewBackground, m_settings.colorImageBackground,
                                m_settings.colorTransparency};
    for (int i = 0; i < 3; ++i) {
        auto* group = new QGroupBox(kColorRows[i].group, this);
        auto* row = new QHBoxLayout(group);
        auto* swatch = new CColorSwatch(group);
        swatch->setObjectName(QString::number(kColorRows[i].swatch));
        swatch->setMinimumSize(60, 24);
        swatch->SetColor(colors[i]);
        auto* button = new QPushButton("&Choose custom color", group);
        button->setObjectName(QString::number(kColorRows[i].button));
        row->addWidget(swatch, 1);
        row->addWidget(button);
        layout->addWidget(group);
        m_swatches[i] = swatch;
        auto choose = [this, swatch] {
            const QColor color =
                QColorDialog::getColor(ColorFromRef(swatch->Color()), this, QString());
            if (color.isValid()) swatch->SetColor(RefFromColor(color));
        };
        swatch->OnClicked(choose);
        connect(button, &QPushButton::clicked, this, choose);
    }
    layout->addStretch(1);
}

void CColorPage::OnOK() {
    m_settings.colorViewBackground = m_swatches[0]->Color();
    m_settings.colorImageBackground = m_swatches[1]->Color();
    m_settings.colorTransparency = m_swatches[2]->Color();
}

COptionsSheet::COptionsSheet(QWidget* parent, AppSettings& settings, const OptionServices& services)
    : dlg(parent), general(settings, services), hotkey(services), output(settings),
      color(settings) {
    dlg.AddPage(general, "General Options");
    dlg.AddPage(hotkey, "Hotkey Options");
    dlg.AddPage(output, "Capture Output");
    dlg.AddPage(color, "Color Select");
    dlg.SetTitle("Options");
    dlg.SetConstantText("Orvane Screen");
}

bool RunOptionsDialog(QWidget* parent, AppSettings& settings, const OptionServices& services) {
    COptionsSheet sheet(parent, settings, services);
    return sheet.dlg.exec() == QDialog::Accepted;
}
