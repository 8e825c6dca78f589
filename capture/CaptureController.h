#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "capture/CaptureSelection.h"
#include "capture/CaptureTracker.h"
#include "capture/ScreenGrab.h"
#include "imagefile/DisplayPicture.h"
#include "platform/AppSettings.h"

class CScreenCanvas;

// Posted by a region selection when it is finished: the grab runs when it arrives.
constexpr int WM_CAPTURE_SELECTION_DONE = 1229;

// What capture control needs of the program's main window.
class CaptureHost {
public:
    enum class MessageIcon { Plain, Information, Warning };

    virtual ~CaptureHost() = default;
    virtual const AppSettings& CaptureSettings() = 0;
    // The main window's X id: forwarded mouse messages go to it, and it is never taken as
    // the window to capture.
    virtual unsigned long MainWindowId() = 0;
    virtual bool MainWindowVisible() = 0;
    virtual void HideMainWindow() = 0;
    // Shown in its normal state, raised and active (a capture that pops the window up).
    virtual void ShowMainWindow() = 0;
    // Restored and brought to the front as the notification-area icon does.
    virtual void RestoreMainWindow() = 0;
    // Without a notification area a hidden window could never come back.
    virtual bool HasTray() = 0;
    // A message box with an OK button.
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;
    // The finished picture goes to the editor, the clipboard, a file or the printer.
    virtual void CaptureOutput(std::unique_ptr<CDisplayPicture> picture) = 0;
};

// Capture control: hotkeys and commands start capture actions, which hide the program, find
// or select what to capture, grab it and hand the picture to the host. Owns the selection
// engine, the screen canvas and its X connection.
class CCaptureController : public QObject {
public:
    using Handler = void (CCaptureController::*)();

    explicit CCaptureController(CaptureHost& host);
    ~CCaptureController() override;

    // Opens the X connection and the canvas; false where there is no X display (every
    // capture then says so).
    bool Open();
    // The keyboard hook goes live with this hotkey table.
    void InstallHotkeys(const uint16_t* table);

    // A hotkey forwarded by the hook library: the action index (or -1), the key's code.
    void OnForwardedHotkey(long index, long virtualKey);
    // A pointer event forwarded during a selection: its mouse message and packed position.
    void OnForwardedMouse(long message, long position);
    // A capture command (menu, tool bar, notification-area menu): the action of that index.
    void RunCaptureAction(int index);

    // Turns the finished selection into a picture and delivers it.
    int CaptureCompose();
    void AfterCaptureWindowState(bool show);
    void CaptureOutput();

    // A selection that is still running ends as if it had never begun: its feedback is
    // erased, the pointer released and the hook removed.
    void EndSelection();
    bool SelectionRunning() const { return m_selection && m_selection->IsRunning(); }

    // "Ctrl+Alt+R" for the action's live hotkey; empty when it has none.
    static std::string HotkeyDisplayText(int index);
    // Faults in the memory of a desktop-sized capture ahead of time.
    void ReserveCaptureMemory(bool first = false);
    // Called when a capture's deliveries are done, for the timing report.
    void CaptureDelivered();
    // A step of the capture's timing report (only when it is asked for).
    void Mark(const char* what);

    int m_bTrayMenuCapture = 0;
    bool m_bMenuByHotkey = false;
    bool m_bKeepHidden = false;
    int m_nShapeKind = 0;
    Handler m_pfnLastCapture = nullptr;
    int m_nDblClkTimer = 0;

protected:
    bool event(QEvent* event) override;
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
    void CaptureActiveWindow(bool clientArea);
    void StartSelection(int index, Handler handler);
    void HideAndSettle(int settleMs);
    void Sleep(int ms);
    unsigned long CaptureCursor(int resource);
    // False, after telling the user, where there is no X display to capture from.
    bool CanCapture();
    void StopPolygonTimer();

    CaptureHost& m_host;
    std::unique_ptr<CDisplayPicture> m_bmpCapture;
    // The selection engine, and the selection's progress (anchored, move mode, track mode,
    // the polygon's click ticks).
    CCaptureTracker m_tracker;
    std::unique_ptr<CCaptureSelection> m_selection;
    QBasicTimer m_dblClkTimer;
    CScreenConnection m_screen;
    std::unique_ptr<CScreenCanvas> m_canvas;
    std::map<int, unsigned long> m_cursors;
    // Timing of one capture, with the prescribed settle delays left out.
    QElapsedTimer m_captureClock;
    qint64 m_settledMs = 0;
    bool m_reportTiming = false;
};
