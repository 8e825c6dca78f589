// The main frame as capture controller: hotkeys and commands start capture actions, which
// hide the program, find or select what to capture, grab it and deliver the picture.

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <cstdio>

#include "app/TilletCaptureApp.h"
#include "capture/CaptureActions.h"
#include "capture/CaptureSound.h"
#include "capture/HotkeyText.h"
#include "framework/MessageBox.h"
#include "hook/TilletHook.h"
#include "imagefile/PixelBlock.h"
#include "shell/MainFrame.h"
#include "shell/Menus.h"

namespace {

CTilletCaptureApp* App() {
    return static_cast<CTilletCaptureApp*>(AfxGetApp());
}

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

// The action handlers by index, in table order.
using Handler = void (CMainFrame::*)();

} // namespace

// ---------------------------------------------------------------------------------------------
// Hotkeys

void CMainFrame::InstallHotkeys() {
    // The command map takes the texts of the notification-area menu.
    m_captureCommandMap.clear();
    for (const CaptureAction& a : CaptureActionTable)
        m_captureCommandMap[a.command] = {a.index, ""};
    for (const MenuItem& item : TrayMenu().children) {
        auto it = m_captureCommandMap.find(item.id);
        if (it != m_captureCommandMap.end() && item.text && *item.text)
            it->second.second = item.text;
    }
    m_forwardKeyboardAtom = ORVM_ForwardKeyboardMessage;
    m_forwardMouseAtom = ORVM_ForwardMouseMessage;
    auto* app = App();
    ORV_HookKeyboard(static_cast<unsigned long>(winId()), app->settings.hotkeys.keys);
    ORV_SetCaptureHotKey(app->settings.hotkeys.keys);
    m_reportTiming = qEnvironmentVariableIsSet("ORVANE_CAPTURE_TIMING");
}

std::string CMainFrame::HotkeyDisplayText(int index) const {
    uint16_t table[ORV_HOTKEY_COUNT];
    ORV_GetCaptureHotKey(table);
    if (index < 0 || index >= ORV_HOTKEY_COUNT) return {};
    return ::HotkeyDisplayText(table[index]);
}

bool CMainFrame::CaptureActionText(int index, std::string& text) const {
    for (const auto& [command, row] : m_captureCommandMap) {
        if (row.first != index) continue;
        text = StripMnemonics(row.second);
        return true;
    }
    return false;
}

void CMainFrame::OnInitMenuPopup(QMenu* menu) {
    // Capture items show their live hotkeys, rebuilt at every opening.
    uint16_t table[ORV_HOTKEY_COUNT];
    ORV_GetCaptureHotKey(table);
    for (QAction* a : menu->actions()) {
        auto it = m_captureCommandMap.find(a->data().toInt());
        if (it == m_captureCommandMap.end() || it->second.second.empty()) continue;
        a->setText(
            QString::fromStdString(HotkeyMenuText(it->second.second, table[it->second.first])));
    }
    CMDIFrameWnd::OnInitMenuPopup(menu);
}

void CMainFrame::OnForwardedHotkey(long index, long) {
    // -1: Escape or Enter released during a selection, which cannot be cancelled.
    if (index < 0 || index >= CAPTURE_ACTION_COUNT) return;
    if (m_reportTiming) {
        m_captureClock.start();
        m_settledMs = 0;
    }
    if (index == CAPTURE_MENU) m_bMenuByHotkey = true;
    RunCaptureAction(int(index));
}

void CMainFrame::RunCaptureAction(int index) {
    static const Handler handlers[CAPTURE_ACTION_COUNT] = {
        &CMainFrame::OnCaptureActiveWindow, &CMainFrame::OnCaptureActiveClient,
        &CMainFrame::OnCaptureControl,      &CMainFrame::OnCaptureSquare,
        &CMainFrame::OnCaptureRectangle,    &CMainFrame::OnCaptureCircle,
        &CMainFrame::OnCaptureEllipse,      &CMainFrame::OnCapturePolygon,
        &CMainFrame::OnCaptureMenu,         &CMainFrame::OnCaptureDesktop,
        &CMainFrame::OnCaptureSingleWindow, &CMainFrame::OnCaptureRepeatLast,
        &CMainFrame::OnCaptureDefault,
    };
    if (index >= 0 && index < CAPTURE_ACTION_COUNT) (this->*handlers[index])();
}

// ---------------------------------------------------------------------------------------------
// Hide and settle

void CMainFrame::Sleep(int ms) {
    QThread::msleep(ulong(ms));
    m_settledMs += ms;
}

void CMainFrame::HideAndSettle(int settleMs) {
    while (isVisible()) {
        hide();
        Sleep(20);
    }
    // Whatever waits is handled now, forwarded messages included; the window's unmapping
    // reaches the server with it.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_screen.Get()) XSync(m_screen.Get(), False);
    // Windows that were under ours get the time to repaint.
    Sleep(settleMs);
}

unsigned long CMainFrame::CaptureCursor(int resource) {
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

void CMainFrame::OnCaptureActiveWindow() {
    CaptureActiveWindow(false);
}
void CMainFrame::OnCaptureActiveClient() {
    CaptureActiveWindow(true);
}

void CMainFrame::CaptureActiveWindow(bool clientArea) {
    const int index = clientArea ? 1 : 0;
    if (m_bTrayMenuCapture) {
        // The active window would be the notification area itself.
        AfxMessageBox(this, kMessage138.arg(QString::fromStdString(HotkeyDisplayText(index))),
                      QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok);
        m_bTrayMenuCapture = 0;
        RestoreAndActivate();
        return;
    }
    if (!CanCapture()) return;
    HideAndSettle(300);
    m_tracker.SetMode(clientArea ? TM_CLIENT_AREA : TM_ACTIVE_WINDOW);
    m_tracker.SetState(TS_NONE);
    m_pfnLastCapture =
        clientArea ? &CMainFrame::OnCaptureActiveClient : &CMainFrame::OnCaptureActiveWindow;
    if (m_tracker.TrackStep(*m_canvas, {})) {
        Sleep(clientArea ? 100 : 300);
        CaptureCompose();
    } else {
        if (clientArea) AfterCaptureWindowState(true);
        AfxMessageBox(isVisible() ? this : nullptr,
                      kMessage135.arg(QString::fromStdString(HotkeyDisplayText(index))),
                      QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok);
        RestoreAndActivate();
    }
    m_bTrayMenuCapture = 0;
}

void CMainFrame::OnCaptureDesktop() {
    if (!CanCapture()) return;
    HideAndSettle(300);
    Mark("settled");
    m_tracker.SetMode(TM_DESKTOP);
    m_tracker.SetState(TS_NONE);
    m_tracker.TrackStep(*m_canvas, {});
    m_pfnLastCapture = &CMainFrame::OnCaptureDesktop;
    CaptureCompose();
    m_bTrayMenuCapture = 0;
}

void CMainFrame::OnCaptureMenu() {
    if (!m_bMenuByHotkey) {
        // Opening our own menu would close the one to capture: only the hotkey can do it.
        AfxMessageBox(isVisible() ? this : nullptr,
                      kMessage132.arg(QString::fromStdString(HotkeyDisplayText(CAPTURE_MENU))) +
                          kMessage133,
                      QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok);
        return;
    }
    m_bMenuByHotkey = false;
    if (!CanCapture()) return;
    HideAndSettle(300);
    m_tracker.SetMode(TM_MENU);
    m_tracker.SetState(TS_NONE);
    m_pfnLastCapture = &CMainFrame::OnCaptureMenu;
    if (m_tracker.TrackStep(*m_canvas, {}))
        CaptureCompose();
    else
        AfxMessageBox(nullptr, kMessage134, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok);
    m_bTrayMenuCapture = 0;
}

void CMainFrame::OnCaptureControl() {
    StartSelection(2, &CMainFrame::OnCaptureControl);
}
void CMainFrame::OnCaptureSquare() {
    StartSelection(3, &CMainFrame::OnCaptureSquare);
}
void CMainFrame::OnCaptureRectangle() {
    StartSelection(4, &CMainFrame::OnCaptureRectangle);
}
void CMainFrame::OnCaptureCircle() {
    StartSelection(5, &CMainFrame::OnCaptureCircle);
}
void CMainFrame::OnCaptureEllipse() {
    StartSelection(6, &CMainFrame::OnCaptureEllipse);
}
void CMainFrame::OnCapturePolygon() {
    StartSelection(7, &CMainFrame::OnCapturePolygon);
}
void CMainFrame::OnCaptureSingleWindow() {
    StartSelection(10, &CMainFrame::OnCaptureSingleWindow);
}

void CMainFrame::StartSelection(int index, void (CMainFrame::*handler)()) {
    if (!CanCapture()) return;
    const CaptureAction& action = CaptureActionTable[index];
    // A selection already running keeps its mouse grab and switches to the new mode.
    const bool running = m_selection->IsRunning();
    HideAndSettle(index == 2 ? 400 : 300);
    Mark("settled");
    if (!running) m_canvas->BeginSelection();
    m_selection->Start(action.trackMode);
    m_pfnLastCapture = handler;
    ORV_HookMouse(static_cast<unsigned long>(winId()), CaptureCursor(action.cursor));
    if (action.kind == CaptureKind::Polygon) {
        m_dblClkTimer.start(QApplication::doubleClickInterval(), this);
        m_nDblClkTimer = 1;
    }
    m_bTrayMenuCapture = 0;
}

bool CMainFrame::CanCapture() {
    if (m_canvas && m_selection) return true;
    AfxMessageBox(isVisible() ? this : nullptr,
                  "Screen capture needs an X11 desktop session; none could be reached.",
                  QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok);
    return false;
}

void CMainFrame::StopPolygonTimer() {
    if (!m_nDblClkTimer) return;
    m_dblClkTimer.stop();
    m_nDblClkTimer = 0;
}

void CMainFrame::OnForwardedMouse(long message, long position) {
    if (!m_selection) return;
    // Something may have shown the main window: a selection keeps it out of the way.
    if (isVisible()) hide();
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

void CMainFrame::OnCaptureRepeatLast() {
    if (m_pfnLastCapture) (this->*m_pfnLastCapture)();
}

void CMainFrame::OnCaptureDefault() {
    const int index = DefaultActionIndex(App()->settings.defaultCaptureAction);
    if (index >= 0) RunCaptureAction(index);
}

// ---------------------------------------------------------------------------------------------
// Grab and delivery

int CMainFrame::CaptureCompose() {
    m_bTrayMenuCapture = 0;
    m_nShapeKind = m_tracker.GetShapeKind();
    auto* app = App();
    m_bmpCapture = std::make_unique<CDisplayPicture>();
    if (m_canvas) {
        const ScreenRect rect = m_tracker.GetRect();
        ShapeMask mask(m_nShapeKind, rect.Width(), rect.Height(), m_tracker.GetShapePoints());
        try {
            m_canvas->Grab(rect, mask, app->settings.colorTransparency, *m_bmpCapture);
        } catch (const CTextException& e) {
            m_bmpCapture.reset();
            AfxMessageBox(nullptr, QString::fromStdString(e.GetText()), QMessageBox::Ok,
                          QMessageBox::Warning, QMessageBox::Ok);
        }
        m_canvas->EndSelection();
    }
    // The selection starts afresh next time.
    m_tracker.Reset();

    Mark("grabbed");
    if (m_bmpCapture) CaptureOutput();
    Mark("document made");
    if (app->settings.optionsA & OPTA_ENABLE_SOUND) {
        QFile wave(":/sounds/339.wav");
        if (wave.open(QIODevice::ReadOnly)) {
            const QByteArray data = wave.readAll();
            PlayWaveAsync(std::vector<uint8_t>(data.begin(), data.end()));
        }
    }
    AfterCaptureWindowState(app->settings.optionsA & OPTA_POPUP_AFTER_CAPTURE);
    Mark("window state");
    return 1;
}

void CMainFrame::AfterCaptureWindowState(bool show) {
    // Without a notification area nothing could bring a hidden window back.
    if (show || !HasTray()) {
        if (!isVisible()) {
            showNormal();
            raise();
            activateWindow();
        }
        m_bKeepHidden = false;
    } else {
        m_bKeepHidden = true;
        if (isVisible()) {
            hide();
            Sleep(300);
        }
    }
}

void CMainFrame::CaptureOutput() {
    auto* app = App();
    if (!app->m_pDocTemplate) return;
    const DWORD options = app->settings.optionsA;
    const bool clipboardOnly = (options & OPTA_COPY_TO_CLIPBOARD) &&
                               !(options & (OPTA_OPEN_IN_EDITOR | OPTA_PRINT | OPTA_SAVE_TO_FILE));
    if (clipboardOnly) {
        if (m_bmpCapture) m_bmpCapture->CopyToClipboard();
        m_bmpCapture.reset();
        CaptureDelivered();
        return;
    }
    app->PendingImage();
    app->pendingImage = std::move(m_bmpCapture);
    app->pendingFromCapture = true;
    app->m_pDocTemplate->OpenDocumentFile(QString());
    app->pendingFromCapture = false;
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DOC_COUNT_CHANGED)));
}

void CMainFrame::Mark(const char* what) {
    if (!m_reportTiming || !m_captureClock.isValid()) return;
    std::fprintf(stderr, "  %s: %.1f ms\n", what,
                 double(m_captureClock.nsecsElapsed()) / 1e6 - double(m_settledMs));
}

void CMainFrame::ReserveCaptureMemory(bool first) {
    if (!m_canvas) return;
    const ScreenRect desktop = m_canvas->DesktopRect();
    const size_t bytes = size_t(desktop.Width()) * size_t(desktop.Height()) * 4;
    // The first capture needs a block for its picture and one for the clipboard's copy; later
    // ones reuse the copy they replace.
    ReservePixelBlock(bytes, first ? 2 : 1);
}

void CMainFrame::CaptureDelivered() {
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
