#pragma once

#include <QAbstractNativeEventFilter>
#include <QBasicTimer>
#include <memory>

#include "framework/FrameWnd.h"
#include "imagefile/ProgressSink.h"
#include "shell/SystemTray.h"

class QLabel;
class QProgressBar;

// Private messages of the main window.
constexpr int WM_HOME_PAGE = 1233;
constexpr int TRAY_CALLBACK_MESSAGE = 1224;

// The program's top-level window: menus, tool bar, status bar, the notification-area icon,
// and the window-level behaviour (Close and minimize go to the notification area).
class CMainFrame : public CMDIFrameWnd, public QAbstractNativeEventFilter, public ProgressSink {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds the bars, menus, icon and timer; false when a required part cannot be made.
    bool Create();
    // Whether the desktop gave us a notification-area icon. Without one the window is never
    // hidden: nothing could bring it back.
    bool HasTray() const { return m_tray.Enabled(); }
    // Show, restore and bring to the front (or the modal dialog that is open).
    void RestoreAndActivate();
    // Hide into the notification area (only when there is one).
    void HideToTray();
    // Sets the X class name before the window is first mapped.
    void ApplyWindowClass();

    void OnProgress(double fraction) override;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

    int closeToTray = 0;
    int m_bTrayMenuCapture = 0;
    bool m_exitRequested = false;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnPasteAsNewImage();
    void OnCloseAll();
    void OnExploreOutput();

    CSystemTray m_tray;
    QBasicTimer m_selectionTimer;
    QProgressBar* m_progress = nullptr;
    uint32_t m_activateAtom = 0;
};
