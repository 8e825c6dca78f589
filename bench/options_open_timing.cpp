// Times opening the Options dialog: from building the host and its pages to the first page
// painted, twenty times. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/HotkeyText.h"
#include "dialogs/OptionPages.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSettings settings{std::string()};
    uint16_t hook[HOTKEY_TABLE_SIZE] = {};
    std::memcpy(hook, settings.hotkeys.keys, sizeof hook);
    OptionServices services;
    services.isStartedWithSystem = [] { return false; };
    services.captureActionText = [](int index) { return "Action " + std::to_string(index); };
    services.getHotkeys = [&](uint16_t* t) { std::memcpy(t, hook, sizeof hook); };
    services.keyNames = KeyNameTable();

    using Clock = std::chrono::steady_clock;
    std::vector<double> times, hotkeyTimes;
    for (int run = 0; run < 20; ++run) {
        const auto start = Clock::now();
        COptionsSheet sheet(nullptr, settings, services);
        CPrefsDlg& dlg = sheet.dlg;
        dlg.InitDialog();
        dlg.show();
        while (!dlg.windowHandle() || !dlg.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        dlg.grab(); // the first paint of every widget
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        // The Hotkey page is the largest: thirteen rows with a key list each.
        const auto hotkeyStart = Clock::now();
        dlg.ShowPage(1);
        dlg.grab();
        hotkeyTimes.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - hotkeyStart).count());
        dlg.hide();
    }
    std::printf("first open %.2f ms\n", times.front());
    std::sort(times.begin(), times.end());
    std::printf("open (%zu runs): median %.2f ms  max %.2f ms\n", times.size(),
                times[times.size() / 2], times.back());
    std::sort(hotkeyTimes.begin(), hotkeyTimes.end());
    std::printf("Hotkey page first shown: median %.2f ms  max %.2f ms\n",
                hotkeyTimes[hotkeyTimes.size() / 2], hotkeyTimes.back());
    return 0;
}
