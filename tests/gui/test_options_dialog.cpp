// The Options dialog's pages against settings held in memory, the autostart entry in a
// temporary config folder and a hotkey table standing in for the hook library's.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

#include "app/AppServices.h"
#include "capture/HotkeyText.h"
#include "dialogs/ColorSwatch.h"
#include "dialogs/OptionPages.h"

namespace {

struct Options {
    QTemporaryDir config;
    AppSettings settings{std::string("/opt/orvane/OrvaneScreen")};
    uint16_t hook[HOTKEY_TABLE_SIZE] = {};
    OptionServices services;
    COptionsSheet sheet{nullptr, settings, services};
    CPrefsDlg& dlg = sheet.dlg;
    CGeneralPage& general = sheet.general;
    CHotkeyPage& hotkey = sheet.hotkey;
    CCaptureOutputPage& output = sheet.output;
    CColorPage& color = sheet.color;
    QStringList messages;

    Options() {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        std::memcpy(hook, settings.hotkeys.keys, sizeof hook);
        hook[20] = 0x1234; // a word past the rows must survive OK
        services.isStartedWithSystem = [] { return IsStartedWithSystem(); };
        services.setStartWithSystem = [this](bool on) {
            SetStartWithSystem(on, settings.programPath);
        };
        services.captureActionText = [](int index) { return "Action " + std::to_string(index); };
        services.getHotkeys = [this](uint16_t* t) { std::memcpy(t, hook, sizeof hook); };
        services.setHotkeys = [this](const uint16_t* t) { std::memcpy(hook, t, sizeof hook); };
        services.keyNames = KeyNameTable();
        dlg.InitDialog();
    }
    // Presses OK, answering every message box and noting its text. True when it closed.
    bool PressOK() {
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                messages << box->text();
                box->accept();
            }
        });
        closer.start(5);
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    }
    template <class T> T* Find(CPrefsSubDlg& page, int id) {
        T* w = page.findChild<T*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    void SetText(int id, const QString& text) { Find<QLineEdit>(output, id)->setText(text); }
};

TEST(OptionsDialog, OkAtOnceStoresOnlyTheGeneralPageAndRewritesAutostart) {
    Options o;
    const AppSettings before = o.settings;
    o.settings.autoSave.digitCount = 8; // the output page would store 1 if it stored anything
    ASSERT_FALSE(QFile::exists(QString::fromStdString(AutostartFile())));
    o.Find<QCheckBox>(o.general, 1244)->setChecked(true);
    ASSERT_TRUE(o.PressOK());
    EXPECT_TRUE(o.messages.isEmpty());
    EXPECT_TRUE(IsStartedWithSystem());
    EXPECT_EQ(o.settings.optionsA, before.optionsA);
    EXPECT_EQ(o.settings.defaultCaptureAction, before.defaultCaptureAction);
    EXPECT_EQ(o.settings.autoSave.digitCount, 8u);
    EXPECT_EQ(o.settings.colorViewBackground, before.colorViewBackground);
    EXPECT_EQ(o.hook[20], 0x1234);
    EXPECT_EQ(std::memcmp(o.hook, before.hotkeys.keys, 2 * HOTKEY_ACTION_COUNT), 0);
    EXPECT_EQ(o.output.findChild<QWidget*>(), nullptr) << "a page never shown has no controls";

    // A second run with the box cleared removes the entry again.
    Options again;
    again.Find<QCheckBox>(again.general, 1244)->setChecked(false);
    ASSERT_TRUE(again.PressOK());
    EXPECT_FALSE(IsStartedWithSystem());
}

TEST(OptionsDialog, GeneralPageStoresItsBoxesAndAction) {
    Options fresh;
    auto* list = fresh.Find<QComboBox>(fresh.general, 1196);
    ASSERT_EQ(list->count(), 11);
    EXPECT_EQ(list->itemData(2).toInt(), 9);
    EXPECT_EQ(list->currentData().toInt(), 9);
    fresh.Find<QCheckBox>(fresh.general, 1083)->setChecked(false);
    list->setCurrentIndex(5); // Rectangle
    ASSERT_TRUE(fresh.PressOK());
    EXPECT_FALSE(fresh.settings.optionsA & OPTA_ENABLE_SOUND);
    EXPECT_EQ(fresh.settings.defaultCaptureAction, 4);
}

TEST(OptionsDialog, HotkeyClashNeedsAKey) {
    Options o;
    o.dlg.ShowPage(1);
    auto setRow = [&](int ctrlId, bool ctrl, bool alt, int vk) {
        o.Find<QCheckBox>(o.hotkey, ctrlId)->setChecked(ctrl);
        o.Find<QCheckBox>(o.hotkey, ctrlId + 1)->setChecked(alt);
        o.Find<QCheckBox>(o.hotkey, ctrlId + 2)->setChecked(false);
        auto* key = o.Find<QComboBox>(o.hotkey, ctrlId + 3);
        key->setCurrentIndex(key->findData(vk));
    };
    setRow(1140, true, true, 'R'); // Rectangle
    setRow(1144, true, true, 'R'); // Square
    EXPECT_FALSE(o.PressOK());
    EXPECT_EQ(o.messages, QStringList{"There are the same hotkey between capture actions!"});
    EXPECT_EQ(o.dlg.CurrentPage(), 1);
    EXPECT_EQ(o.hook[3], o.settings.hotkeys.keys[3]) << "nothing stored on a refusal";

    setRow(1140, true, false, 0);
    setRow(1144, true, false, 0);
    o.messages.clear();
    ASSERT_TRUE(o.PressOK());
    EXPECT_TRUE(o.messages.isEmpty());
    EXPECT_EQ(o.hook[3], 0x8000);
    EXPECT_EQ(o.hook[4], 0x8000);
    EXPECT_EQ(o.hook[20], 0x1234);
}

TEST(OptionsDialog, HotkeyRowsShowTheTableAndReset) {
    Options o;
    o.hook[9] = 0;
    o.dlg.ShowPage(1);
    EXPECT_EQ(o.Find<QComboBox>(o.hotkey, 1159)->currentIndex(), -1) << "a word of 0";
    EXPECT_EQ(o.Find<QComboBox>(o.hotkey, 1143)->currentData().toInt(), 'R');
    EXPECT_EQ(o.Find<QComboBox>(o.hotkey, 1143)->itemText(0), "None");
    EXPECT_TRUE(o.Find<QCheckBox>(o.hotkey, 1141)->isChecked());
    o.Find<QPushButton>(o.hotkey, 1176)->click();
    EXPECT_EQ(o.hook[9], 0) << "Reset stores nothing before OK";
    ASSERT_TRUE(o.PressOK());
    EXPECT_EQ(o.hook[9], 0xA044);
}

TEST(OptionsDialog, LeadNameIsCutAtTheFirstForbiddenCharacter) {
    Options o;
    o.dlg.ShowPage(2);
    o.SetText(1177, "shot.png");
    ASSERT_TRUE(o.PressOK());
    EXPECT_STREQ(o.settings.autoSave.leadFileName, "shot");

    Options colon;
    colon.dlg.ShowPage(2);
    colon.SetText(1177, ":abc");
    ASSERT_TRUE(colon.PressOK());
    EXPECT_STREQ(colon.settings.autoSave.leadFileName, "");
}

TEST(OptionsDialog, PrintKeepsTheImageWindowFlag) {
    Options o;
    o.settings.optionsA &= ~(OPTA_SAVE_TO_FILE | OPTA_PRINT | OPTA_OPEN_IN_EDITOR);
    o.dlg.ShowPage(2);
    auto* editor = o.Find<QCheckBox>(o.output, 983);
    o.Find<QCheckBox>(o.output, 1170)->click();
    EXPECT_TRUE(editor->isChecked()) << "checking print checks the image-window box";
    editor->click();
    EXPECT_FALSE(editor->isChecked());
    ASSERT_TRUE(o.PressOK());
    EXPECT_TRUE(o.settings.optionsA & OPTA_OPEN_IN_EDITOR);
    EXPECT_TRUE(o.settings.optionsA & OPTA_PRINT);
}

TEST(OptionsDialog, SaveBoxesEnableTheirControls) {
    Options o;
    o.settings.optionsA &= ~(OPTA_SAVE_TO_FILE | OPTA_OPEN_IN_EDITOR);
    o.settings.optionsA |= OPTA_AUTO_NAME;
    o.dlg.ShowPage(2);
    auto* autoName = o.Find<QCheckBox>(o.output, 1183);
    auto* lead = o.Find<QLineEdit>(o.output, 1177);
    EXPECT_FALSE(autoName->isEnabled());
    EXPECT_FALSE(lead->isEnabled());
    o.Find<QCheckBox>(o.output, 1171)->click();
    EXPECT_TRUE(autoName->isEnabled());
    EXPECT_TRUE(lead->isEnabled());
    EXPECT_TRUE(o.Find<QCheckBox>(o.output, 983)->isChecked());
    autoName->click();
    EXPECT_FALSE(lead->isEnabled());
    EXPECT_TRUE(autoName->isEnabled());
}

TEST(OptionsDialog, DigitCountOutOfRangeFailsUntilFixed) {
    Options o;
    o.settings.autoSave.digitCount = 8;
    o.settings.autoSave.startNO = 1000007;
    o.dlg.ShowPage(2);
    EXPECT_EQ(o.Find<QLineEdit>(o.output, 1176)->text(), "1");
    EXPECT_EQ(o.Find<QLineEdit>(o.output, 1178)->text(), "7");
    EXPECT_FALSE(o.PressOK());
    EXPECT_EQ(o.messages, QStringList{"Please enter an integer between 2 and 6."});
    EXPECT_EQ(o.settings.autoSave.digitCount, 8u);
    o.SetText(1176, "x");
    o.messages.clear();
    EXPECT_FALSE(o.PressOK());
    EXPECT_EQ(o.messages, QStringList{"Please enter an integer."});
    o.SetText(1176, "3");
    o.SetText(1177, "thirteen_char");
    o.messages.clear();
    EXPECT_FALSE(o.PressOK());
    EXPECT_EQ(o.messages, QStringList{"Please enter no more than 12 characters."});
    o.SetText(1177, "shot");
    ASSERT_TRUE(o.PressOK());
    EXPECT_EQ(o.settings.autoSave.digitCount, 3u);
    EXPECT_EQ(o.settings.autoSave.startNO, 7);
}

TEST(OptionsDialog, ColorPageStoresItsSwatches) {
    Options o;
    o.dlg.ShowPage(3);
    o.color.findChild<CColorSwatch*>("1199")->SetColor(0x00123456);
    ASSERT_TRUE(o.PressOK());
    EXPECT_EQ(o.settings.colorImageBackground, 0x00123456u);
    EXPECT_EQ(o.settings.colorViewBackground, AppSettings(std::string()).colorViewBackground);
}

} // namespace
