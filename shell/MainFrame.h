#pragma once

#include <QAbstractNativeEventFilter>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureSelection.h"
#include "capture/CaptureTracker.h"
#include "capture/X11ScreenCanvas.h"
#include "imagefile/DisplayPicture.h"

#include "framework/FrameWnd.h"
#include "imagefile/ProgressSink.h"
#include "shell/RestoreConfirm.h"
#include "shell/SystemTray.h"

class QLabel;
class QProgressBar;

// Private messages of the main window.
constexpr int WM_HOME_PAGE = 1233;
constexpr int TRAY_CALLBACK_MESSAGE = 1224;
// Posted when a region selection is finished: grab now.
constexpr int WM_CAPTURE_SELECTION_DONE = 1229;

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

    // --- the capture controller ---------------------------------------------------------
    // A hotkey forwarded by the hook library: the action index (or -1), the key's code.
    void OnForwardedHotkey(long index, long virtualKey);
    // A pointer event forwarded during a selection: its mouse message and packed position.
    void OnForwardedMouse(long message, long position);
    // Turns the finished selection into a picture and delivers it.
    int CaptureCompose();
    void AfterCaptureWindowState(bool show);
    void CaptureOutput();
    // "Ctrl+Alt+R" for the action's live hotkey; empty when it has none.
    std::string HotkeyDisplayText(int index) const;
    // The action's menu text without its mnemonic; false when no action has that index.
    bool CaptureActionText(int index, std::string& text) const;
    // Faults in the memory of a desktop-sized capture ahead of time.
    void ReserveCaptureMemory(bool first = false);
    // Called when a capture's deliveries are done, for the timing report.
    void CaptureDelivered();
    // A step of the capture's timing report (only when it is asked for).
    void Mark(const char* what);

    int closeToTray = 0;
    int m_bTrayMenuCapture = 0;
    bool m_exitRequested = false;

    std::unique_ptr<CDisplayPicture> m_bmpCapture;
    bool m_bMenuByHotkey = false;
    bool m_bKeepHidden = false;
    int m_nShapeKind = 0;
    void (CMainFrame::*m_pfnLastCapture)() = nullptr;
    int m_nDblClkTimer = 0;
    // The selection engine, and the selection's progress (anchored, move mode, track mode,
    // the polygon's click ticks).
    CCaptureTracker m_tracker;
    std::unique_ptr<CCaptureSelection> m_selection;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // The thirteen action handlers.
    void OnCaptureActiveWindow();
    void OnCaptureActiveClient();
    void OnCaptureControl();
    void OnCaptureSquare();
    void OnCaptureRectangle();
    void OnCaptureCircle();
    void OnCaptureEllipse();
    void OnCapturePolygon();
    void OnCaptureMenu();
    void OnCaptureDesktop();
    void OnCaptureSingleWindow();
    void OnCaptureRepeatLast();
    void OnCaptureDefault();
    void RunCaptureAction(int index);
    void CaptureActiveWindow(bool clientArea);
    void StartSelection(int index, void (CMainFrame::*handler)());
    void HideAndSettle(int settleMs);
    void Sleep(int ms);
    void InstallHotkeys();
    unsigned long CaptureCursor(int resource);
    // False, after telling the user, where there is no X display to capture from.
    bool CanCapture();
    void StopPolygonTimer();

    void ShowAndActivate();
    // Shows the window again when the window manager took it away after a restore.
    void Reshow();

    void OnPasteAsNewImage();
    void OnCloseAll();
    void OnExploreOutput();

    CSystemTray m_tray;
    CRestoreConfirm m_restore{this, [this] { Reshow(); }};
    QBasicTimer m_selectionTimer;
    QBasicTimer m_dblClkTimer;

    // Menu command -> (action index, menu text), from the notification-area menu.
    std::map<int, std::pair<int, std::string>> m_captureCommandMap;
    CScreenConnection m_screen;
    std::unique_ptr<CScreenCanvas> m_canvas;
    std::map<int, unsigned long> m_cursors;
    uint32_t m_forwardKeyboardAtom = 0;
    uint32_t m_forwardMouseAtom = 0;
    // Timing of one capture, with the prescribed settle delays left out.
    QElapsedTimer m_captureClock;
    qint64 m_settledMs = 0;
    bool m_reportTiming = false;
    QProgressBar* m_progress = nullptr;
    uint32_t m_activateAtom = 0;
};
