#pragma once

#include <QAbstractNativeEventFilter>
#include <QBasicTimer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureController.h"
#include "framework/FrameWnd.h"
#include "imagefile/ProgressSink.h"
#include "shell/MainFrameHost.h"
#include "shell/RestoreConfirm.h"
#include "shell/SystemTray.h"

class QLabel;
class CViewManager;
class CEditorBackground;
class QProgressBar;

// Private messages of the main window.
constexpr int WM_HOME_PAGE = 1233;
constexpr int TRAY_CALLBACK_MESSAGE = 1224;

// The program's top-level window: menus, tool bar, status bar, the notification-area icon,
// and the window-level behaviour (Close and minimize go to the notification area). Capture
// control is a part of its own that works through the window.
class CMainFrame : public CMDIFrameWnd,
                   public QAbstractNativeEventFilter,
                   public ProgressSink,
                   public CaptureHost {
public:
    explicit CMainFrame(MainFrameHost& host);
    ~CMainFrame() override;

    // Builds the bars, menus, icon and timer; false when a required part cannot be made.
    bool Create();
    // The menus, the tool bar and the accelerator table: the first step of Create.
    void CreateCommandBars();
    // Whether the desktop gave us a notification-area icon. Without one the window is never
    // hidden: nothing could bring it back.
    bool HasTray() override { return m_tray.Enabled(); }
    // Show, restore and bring to the front (or the modal dialog that is open), and see that
    // the window really stays on screen.
    void RestoreAndActivate();
    // Hide into the notification area (only when there is one).
    void HideToTray();
    // Sets the X class name before the window is first mapped.
    void ApplyWindowClass();

    void OnProgress(double fraction) override;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
    void OnInitMenuPopup(QMenu* menu) override;
    void SetPaneText(int pane, const QString& text) override;
    void OnIdleUpdate() override;
    void OnChildCreated(CMDIChildWnd* child) override;
    CViewManager* ViewManager() const { return m_viewManager; }

    CCaptureController& Capture() { return *m_capture; }
    // A capture hotkey as the hook library forwards it (action index, key code): run once the
    // current event is done, as every hotkey is. The command line's captures come here too.
    void PostHotkey(long index, long virtualKey);

    // CaptureHost
    const AppSettings& CaptureSettings() override { return m_host.Settings(); }
    unsigned long MainWindowId() override { return static_cast<unsigned long>(winId()); }
    bool MainWindowVisible() override { return isVisible(); }
    void HideMainWindow() override { hide(); }
    void ShowMainWindow() override;
    void RestoreMainWindow() override { RestoreAndActivate(); }
    void ShowMessage(const QString& text, MessageIcon icon) override;
    void CaptureOutput(std::unique_ptr<CDisplayPicture> picture) override;

    int closeToTray = 0;
    bool m_exitRequested = false;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void InstallHotkeys();

    void ShowAndActivate();
    // Shows the window again when the window manager took it away after a restore.
    void Reshow();

    // Message 1228: the tab bar shows while it holds a tab.
    void ShowTabBarForCount();
    void WriteChildWinState();
    void OnSaveAll();
    void OnPasteAsNewImage();
    void OnCloseAll();
    void OnExploreOutput();
    void OnCaptureOptions();

    MainFrameHost& m_host;
    std::unique_ptr<CCaptureController> m_capture;
    CSystemTray m_tray;
    CRestoreConfirm m_restore{this, [this] { Reshow(); }};
    QBasicTimer m_selectionTimer;

    // Menu command -> (action index, menu text), from the notification-area menu.
    std::map<int, std::pair<int, std::string>> m_captureCommandMap;
    uint32_t m_forwardKeyboardAtom = 0;
    uint32_t m_forwardMouseAtom = 0;
    QProgressBar* m_progress = nullptr;
    QLabel* m_panes[3] = {};
    CViewManager* m_viewManager = nullptr;
    CEditorBackground* m_background = nullptr;
    // Whether the last image window to close was maximized ("TVChildWinState").
    int m_childWinState = 1;
    int m_childCount = 0;
};
