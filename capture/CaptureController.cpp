// Capture control: hotkeys and commands start capture actions, which hide the program, find
// or select what to capture, grab it and hand the picture to the main window.

#include "capture/CaptureController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QStyleHints>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <cstdio>

#include "capture/CaptureActions.h"
#include "capture/CaptureSound.h"
#include "capture/HotkeyText.h"
#include "capture/X11ScreenCanvas.h"
#include "hook/TilletHook.h"
#include "imagefile/PixelBlock.h"
#include "imagefile/TextException.h"

namespace {

const QString kMessage132 =
    "To use menu capture mode:\n\t a) pull down the desired menu;\n\t b) use "
    "the menu capture hotey <%1>.";
const QString kMessage133 =
    "\n\nNote : This mode only captures true menus. Some applications (like the those in many "
    "microsoft product) do not have true menus. To capture these menus, use single window "
    "screen capture mode to capture the 'menu' manually.";
const QString kMessage134 =
    "Orvane Screen could not find any popup menu, please popup and capture it again!";
const QString kMessage135 = "Orvane Screen could not find active window. It is recommended that "
                            "using hotkey <%1> capture it when window activing!";
const QString kMessage138 = "This capture mode does not work in system tray popup menu. Popup "
                            "main window or use hotkey <%1> to capture it again!";

// The X cursor shown for each cursor resource of the actions.
unsigned CaptureCursorGlyph(int resource) {
    switch (resource) {
    case 261:
        return XC_hand2; // control
    case 233:
        return XC_tcross; // square
    case 9:
        return XC_crosshair; // rectangle
    case 340:
        return XC_circle; // circle
    case 7:
        return XC_cross; // ellipse
    case 255:
        return XC_pencil; // polygon
    case 10:
        return XC_target; // single window
    default:
        return XC_crosshair;
    }
}

} // namespace

CCaptureController::CCaptureController(CaptureHost& host) : m_host(host) {}

CCaptureController::~CCaptureController() {
    EndSelection();
}

bool CCaptureController::Open() {
    // Capture reads the screen on a connection of its own.
    if (!m_screen.Open()) return false;
    m_canvas = std::make_unique<CScreenCanvas>(m_screen.Get());
    m_canvas->SetOwnWindow(m_host.MainWindowId());
    // The first grab should not pay for setting up shared memory: do it now.
    m_canvas->PrepareGrab(m_canvas->DesktopRect());
    // Nor for the memory its picture takes.
    ReserveCaptureMemory(true);
    m_tracker.PrepareTip(*m_canvas,
                         "<Orvane Screen> => Left click on the mouse to start the capture",
                         "Size <%1,%2> => Right click to toggle between stretch and move");
    m_selection = std::make_unique<CCaptureSelection>(m_tracker, *m_canvas);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Hotkeys

void CCaptureController::InstallHotkeys(const uint16_t* table) {
    ORV_HookKeyboard(m_host.MainWindowId(), table);
    ORV_SetCaptureHotKey(table);
    m_reportTiming = qEnvironmentVariableIsSet("ORVANE_CAPTURE_TIMING");
}

std::string CCaptureController::HotkeyDisplayText(int index) {
    uint16_t table[ORV_HOTKEY_COUNT];
    ORV_GetCaptureHotKey(table);
    if (index < 0 || index >= ORV_HOTKEY_COUNT) return {};
    return ::HotkeyDisplayText(table[index]);
}

void CCaptureController::OnForwardedHotkey(long index, long) {
    // -1: Escape or Enter released during a selection, which cannot be cancelled.
    if (index < 0 || index >= CAPTURE_ACTION_COUNT) return;
    if (m_reportTiming) {
        m_captureClock.start();
        m_settledMs = 0;
    }
    if (index == CAPTURE_MENU) m_bMenuByHotkey = true;
    RunCaptureAction(int(index));
}

void CCaptureController::RunCaptureAction(int index) {
    static const Handler handlers[CAPTURE_ACTION_COUNT] = {
        &CCaptureController::OnCaptureActiveWindow, &CCaptureController::OnCaptureActiveClient,
        &CCaptureController::OnCaptureControl,      &CCaptureController::OnCaptureSquare,
        &CCaptureController::OnCaptureRectangle,    &CCaptureController::OnCaptureCircle,
        &CCaptureController::OnCaptureEllipse,      &CCaptureController::OnCapturePolygon,
        &CCaptureController::OnCaptureMenu,         &CCaptureController::OnCaptureDesktop,
        &CCaptureController::OnCaptureSingleWindow, &CCaptureController::OnCaptureRepeatLast,
        &CCaptureController::OnCaptureDefault,
    };
    if (index >= 0 && index < CAPTURE_ACTION_COUNT) (this->*handlers[index])();
}

// ---------------------------------------------------------------------------------------------
// Hide and settle

void CCaptureController::Sleep(int ms) {
    QThread::msleep(ulong(ms));
    m_settledMs += ms;
}

void CCaptureController::HideAndSettle(int settleMs) {
    while (m_host.MainWindowVisible()) {
        m_host.HideMainWindow();
        Sleep(20);
    }
    // Whatever waits is handled now, forwarded messages included; the window's unmapping
    // reaches the server with it.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_screen.Get()) XSync(m_screen.Get(), False);
    // Windows that were under ours get the time to repaint.
    Sleep(settleMs);
}

unsigned long CCaptureController::CaptureCursor(int resource) {
    auto it = m_cursors.find(resource);
    if (it != m_cursors.end()) return it->second;
    unsigned long cursor =
        m_screen.Get() ? XCreateFontCursor(m_screen.Get(), CaptureCursorGlyph(resource)) : 0;
    if (m_screen.Get()) XFlush(m_screen.Get());
    m_cursors[resource] = cursor;
    return cursor;
}

// ---------------------------------------------------------------------------------------------
// Actions

void CCaptureController::OnCaptureActiveWindow() {
    CaptureActiveWindow(false);
}
void CCaptureController::OnCaptureActiveClient() {
    CaptureActiveWindow(true);
}

void CCaptureController::CaptureActiveWindow(bool clientArea) {
    const int index = clientArea ? 1 : 0;
    EndSelection();
    if (m_bTrayMenuCapture) {
        // The active window would be the notification area itself.
        m_host.ShowMessage(kMessage138.arg(QString::fromStdString(HotkeyDisplayText(index))),
                           CaptureHost::MessageIcon::Plain);
        m_bTrayMenuCapture = 0;
        m_host.RestoreMainWindow();
        return;
    }
    if (!CanCapture()) return;
    HideAndSettle(300);
    m_tracker.SetMode(clientArea ? TM_CLIENT_AREA : TM_ACTIVE_WINDOW);
    m_tracker.SetState(TS_NONE);
    m_pfnLastCapture = clientArea ? &CCaptureController::OnCaptureActiveClient
                                  : &CCaptureController::OnCaptureActiveWindow;
    if (m_tracker.TrackStep(*m_canvas, {})) {
        Sleep(clientArea ? 100 : 300);
        CaptureCompose();
    } else {
        if (clientArea) AfterCaptureWindowState(true);
        m_host.ShowMessage(kMessage135.arg(QString::fromStdString(HotkeyDisplayText(index))),
                           CaptureHost::MessageIcon::Information);
        m_host.RestoreMainWindow();
    }
    m_bTrayMenuCapture = 0;
}

void CCaptureController::OnCaptureDesktop() {
    EndSelection();
    if (!CanCapture()) return;
    HideAndSettle(300);
    Mark("settled");
    m_tracker.SetMode(TM_DESKTOP);
    m_tracker.SetState(TS_NONE);
    m_tracker.TrackStep(*m_canvas, {});
    m_pfnLastCapture = &CCaptureController::OnCaptureDesktop;
    CaptureCompose();
    m_bTrayMenuCapture = 0;
}

void CCaptureController::OnCaptureMenu() {
    EndSelection();
    if (!m_bMenuByHotkey) {
        // Opening our own menu would close the one to capture: only the hotkey can do it.
        m_host.ShowMessage(
            kMessage132.arg(QString::fromStdString(HotkeyDisplayText(CAPTURE_MENU))) + kMessage133,
            CaptureHost::MessageIcon::Information);
        return;
    }
    m_bMenuByHotkey = false;
    if (!CanCapture()) return;
    HideAndSettle(300);
    m_tracker.SetMode(TM_MENU);
    m_tracker.SetState(TS_NONE);
    m_pfnLastCapture = &CCaptureController::OnCaptureMenu;
    if (m_tracker.TrackStep(*m_canvas, {}))
        CaptureCompose();
    else
        m_host.ShowMessage(kMessage134, CaptureHost::MessageIcon::Plain);
    m_bTrayMenuCapture = 0;
}

void CCaptureController::OnCaptureControl() {
    StartSelection(2, &CCaptureController::OnCaptureControl);
}
void CCaptureController::OnCaptureSquare() {
    StartSelection(3, &CCaptureController::OnCaptureSquare);
}
void CCaptureController::OnCaptureRectangle() {
    StartSelection(4, &CCaptureController::OnCaptureRectangle);
}
void CCaptureController::OnCaptureCircle() {
    StartSelection(5, &CCaptureController::OnCaptureCircle);
}
void CCaptureController::OnCaptureEllipse() {
    StartSelection(6, &CCaptureController::OnCaptureEllipse);
}
void CCaptureController::OnCapturePolygon() {
    StartSelection(7, &CCaptureController::OnCapturePolygon);
}
void CCaptureController::OnCaptureSingleWindow() {
    StartSelection(10, &CCaptureController::OnCaptureSingleWindow);
}

void CCaptureController::StartSelection(int index, Handler handler) {
    if (!CanCapture()) return;
    const CaptureAction& action = CaptureActionTable[index];
    // A selection already running keeps its mouse grab and switches to the new mode.
    const bool running = m_selection->IsRunning();
    const bool wasVisible = !running && m_host.MainWindowVisible();
    HideAndSettle(index == 2 ? 400 : 300);
    Mark("settled");
    if (!running) m_canvas->BeginSelection();
    m_selection->Start(action.trackMode);
    m_pfnLastCapture = handler;
    if (!ORV_HookMouse(m_host.MainWindowId(), CaptureCursor(action.cursor))) {
        // Another program holds the pointer (a drag, an open menu): without the pointer no
        // mouse message would ever come, and nothing could end the selection.
        m_selection->Cancel();
        m_canvas->EndSelection();
        m_canvas->Beep();
        m_canvas->Flush();
        if (wasVisible || !m_host.HasTray()) m_host.ShowMainWindow();
        m_bTrayMenuCapture = 0;
        return;
    }
    if (action.kind == CaptureKind::Polygon) {
        m_dblClkTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval(), this);
        m_nDblClkTimer = 1;
    }
    m_bTrayMenuCapture = 0;
}

void CCaptureController::EndSelection() {
    if (!SelectionRunning()) return;
    m_selection->Cancel();
    ORV_UnHookMouse();
    StopPolygonTimer();
    m_canvas->EndSelection();
}

bool CCaptureController::CanCapture() {
    if (m_canvas && m_selection) return true;
    m_host.ShowMessage("Screen capture needs an X11 desktop session; none could be reached.",
                       CaptureHost::MessageIcon::Warning);
    return false;
}

void CCaptureController::StopPolygonTimer() {
    if (!m_nDblClkTimer) return;
    m_dblClkTimer.stop();
    m_nDblClkTimer = 0;
}

void CCaptureController::timerEvent(QTimerEvent* e) {
    if (e->timerId() == m_dblClkTimer.timerId() && m_selection) {
        m_selection->OnTimerTick();
        return;
    }
    QObject::timerEvent(e);
}

bool CCaptureController::event(QEvent* e) {
    if (int(e->type()) != WM_CAPTURE_SELECTION_DONE) return QObject::event(e);
    CaptureCompose();
    return true;
}

void CCaptureController::OnForwardedMouse(long message, long position) {
    if (!m_selection) return;
    // Something may have shown the main window: a selection keeps it out of the way.
    if (m_host.MainWindowVisible()) m_host.HideMainWindow();
    switch (m_selection->OnMouseLParam(unsigned(message), position)) {
    case CCaptureSelection::SEL_FINISHED_POST_GRAB:
        ORV_UnHookMouse();
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_CAPTURE_SELECTION_DONE)));
        break;
    case CCaptureSelection::SEL_FINISHED_GRAB_NOW:
        ORV_UnHookMouse();
        StopPolygonTimer();
        CaptureCompose();
        break;
    default:
        break;
    }
}

void CCaptureController::OnCaptureRepeatLast() {
    if (m_pfnLastCapture) (this->*m_pfnLastCapture)();
}

void CCaptureController::OnCaptureDefault() {
    const int index = DefaultActionIndex(m_host.CaptureSettings().defaultCaptureAction);
    if (index >= 0) RunCaptureAction(index);
}

// ---------------------------------------------------------------------------------------------
// Grab and delivery

int CCaptureController::CaptureCompose() {
    m_bTrayMenuCapture = 0;
    m_nShapeKind = m_tracker.GetShapeKind();
    const AppSettings& settings = m_host.CaptureSettings();
    m_bmpCapture = std::make_unique<CDisplayPicture>();
    if (m_canvas) {
        const CRect rect = m_tracker.GetRect();
        ShapeMask mask(m_nShapeKind, rect.Width(), rect.Height(), m_tracker.GetShapePoints());
        try {
            m_canvas->Grab(rect, mask, settings.colorTransparency, *m_bmpCapture);
        } catch (const CTextException& e) {
            m_bmpCapture.reset();
            m_host.ShowMessage(QString::fromStdString(e.GetText()),
                               CaptureHost::MessageIcon::Warning);
        }
        m_canvas->EndSelection();
    }
    // The selection starts afresh next time.
    m_tracker.Reset();

    Mark("grabbed");
    if (m_bmpCapture) CaptureOutput();
    Mark("document made");
    if (settings.optionsA & OPTA_ENABLE_SOUND) {
        QFile wave(":/sounds/339.wav");
        if (wave.open(QIODevice::ReadOnly)) {
            const QByteArray data = wave.readAll();
            PlayWaveAsync(std::vector<uint8_t>(data.begin(), data.end()));
        }
    }
    AfterCaptureWindowState(settings.optionsA & OPTA_POPUP_AFTER_CAPTURE);
    Mark("window state");
    return 1;
}

void CCaptureController::AfterCaptureWindowState(bool show) {
    // Without a notification area nothing could bring a hidden window back.
    if (show || !m_host.HasTray()) {
        if (!m_host.MainWindowVisible()) m_host.ShowMainWindow();
        m_bKeepHidden = false;
    } else {
        m_bKeepHidden = true;
        if (m_host.MainWindowVisible()) {
            m_host.HideMainWindow();
            Sleep(300);
        }
    }
}

void CCaptureController::CaptureOutput() {
    m_host.CaptureOutput(std::move(m_bmpCapture));
}

void CCaptureController::Mark(const char* what) {
    if (!m_reportTiming || !m_captureClock.isValid()) return;
    std::fprintf(stderr, "  %s: %.1f ms\n", what,
                 double(m_captureClock.nsecsElapsed()) / 1e6 - double(m_settledMs));
}

void CCaptureController::ReserveCaptureMemory(bool first) {
    if (!m_canvas) return;
    const CRect desktop = m_canvas->DesktopRect();
    const size_t bytes = size_t(desktop.Width()) * size_t(desktop.Height()) * 4;
    // The first capture needs a block for its picture and one for the clipboard's copy; later
    // ones reuse the copy they replace.
    ReservePixelBlock(bytes, first ? 2 : 1);
}

void CCaptureController::CaptureDelivered() {
    // The open image window keeps this capture's memory; the next capture's is made ready
    // while the user looks at this one.
    QTimer::singleShot(250, this, [this] { ReserveCaptureMemory(); });
    if (!m_reportTiming || !m_captureClock.isValid()) return;
    const double ms = double(m_captureClock.nsecsElapsed()) / 1e6 - double(m_settledMs);
    std::fprintf(stderr,
                 "capture timing: %.1f ms from the hotkey to the delivered picture, "
                 "settle delays (%lld ms) excluded\n",
                 ms, static_cast<long long>(m_settledMs));
    m_captureClock.invalidate();
}
