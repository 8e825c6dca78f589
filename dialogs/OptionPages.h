#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/PrefsDlg.h"
#include "platform/AppSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class CColorSwatch;

// What the pages need from the program above them: the autostart entry, the recent-file
// list, the capture actions' names and the hook library's hotkey table.
struct OptionServices {
    std::function<bool()> isStartedWithSystem;
    std::function<void(bool)> setStartWithSystem;
    std::function<void()> clearRecentFileList;
    // The menu name of a capture action, without mnemonics.
    std::function<std::string(int)> captureActionText;
    // The whole table of HOTKEY_TABLE_SIZE words.
    std::function<void(uint16_t*)> getHotkeys;
    std::function<void(const uint16_t*)> setHotkeys;
    // Virtual-key codes with their names, in list order.
    std::vector<std::pair<int, std::string>> keyNames;
};

// General Options (dialog 344).
class CGeneralPage : public CPrefsSubDlg {
public:
    CGeneralPage(AppSettings& settings, const OptionServices& services)
        : CPrefsSubDlg(344), m_settings(settings), m_services(services) {}
    void OnInitDialog() override;
    void OnOK() override;

private:
    AppSettings& m_settings;
    const OptionServices& m_services;
    QCheckBox* m_flags[5] = {};
    QCheckBox* m_prompt = nullptr;
    QCheckBox* m_autostart = nullptr;
    QComboBox* m_action = nullptr;
};

// Hotkey Options (dialog 165).
class CHotkeyPage : public CPrefsSubDlg {
public:
    explicit CHotkeyPage(const OptionServices& services)
        : CPrefsSubDlg(165), m_services(services) {}
    void OnInitDialog() override;
    bool Validate() override;
    void OnOK() override;
    // Fills the rows from words in action-index order.
    void FillRows(const uint16_t* words);
    uint16_t RowWord(int index) const;

private:
    struct Row {
        QCheckBox* ctrl;
        QCheckBox* alt;
        QCheckBox* shift;
        QComboBox* key;
    };
    const OptionServices& m_services;
    Row m_rows[HOTKEY_ACTION_COUNT] = {};
};

// Capture Output (dialog 346).
class CCaptureOutputPage : public CPrefsSubDlg {
public:
    explicit CCaptureOutputPage(AppSettings& settings) : CPrefsSubDlg(346), m_settings(settings) {}
    void OnInitDialog() override;
    bool Validate() override;
    void OnOK() override;
    // The lead name as stored: cut at the first character a file name cannot hold.
    static std::string CutLeadName(const std::string& text);

private:
    void EnableSaveControls();
    QWidget* Control(int id) const;
    bool CheckNumber(QLineEdit* edit, int low, int high);

    AppSettings& m_settings;
    QCheckBox *m_editor = nullptr, *m_clipboard = nullptr, *m_print = nullptr,
              *m_skipPrint = nullptr, *m_save = nullptr, *m_autoName = nullptr,
              *m_replace = nullptr, *m_wrap = nullptr, *m_resetCounter = nullptr;
    QLineEdit *m_path = nullptr, *m_lead = nullptr, *m_digits = nullptr, *m_start = nullptr;
    QComboBox* m_type = nullptr;
};

// Color Select (dialog 349).
class CColorPage : public CPrefsSubDlg {
public:
    explicit CColorPage(AppSettings& settings) : CPrefsSubDlg(349), m_settings(settings) {}
    void OnInitDialog() override;
    void OnOK() override;

private:
    AppSettings& m_settings;
    CColorSwatch* m_swatches[3] = {};
};

// The Options dialog with its four pages, as Capture > Options shows it. The pages are declared
// after the dialog, so they leave it before it goes and it never deletes them.
struct COptionsSheet {
    COptionsSheet(QWidget* parent, AppSettings& settings, const OptionServices& services);

    CPrefsDlg dlg;
    CGeneralPage general;
    CHotkeyPage hotkey;
    CCaptureOutputPage output;
    CColorPage color;
};

// Runs the whole Options dialog over settings; true when it was closed with OK.
bool RunOptionsDialog(QWidget* parent, AppSettings& settings, const OptionServices& services);
