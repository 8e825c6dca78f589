#include "shell/MainFrame.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHideEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <xcb/xcb.h>

#include "capture/CaptureActions.h"
#include "capture/HotkeyText.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/OptionPages.h"
#include "editor/ImageDoc.h"
#include "framework/MessageBox.h"
#include "framework/WinApp.h"
#include "hook/TilletHook.h"
#include "shell/EditorBackground.h"
#include "shell/Menus.h"
#include "shell/ViewManager.h"
#include "shell/WindowsDlg.h"
#include "view/ImageView.h"

namespace {

xcb_connection_t* Connection() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

uint32_t InternAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    uint32_t atom = reply ? reply->atom : 0;
    free(reply);
    return atom;
}

} // namespace

CMainFrame::CMainFrame(MainFrameHost& host)
    : m_host(host), m_capture(std::make_unique<CCaptureController>(*this)) {
    setObjectName("OrvaneMainFrameClass");
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);

    OnCommand(ID_CAPTURE_OPTIONS, [this] { OnCaptureOptions(); });
    OnCommand(ID_EXPLORE_OUTPUT, [this] { OnExploreOutput(); });
    OnCommand(ID_EDIT_PASTE_NEW, [this] { OnPasteAsNewImage(); });
    OnUpdate(ID_EDIT_PASTE_NEW, [](CCmdUI& ui) {
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
        ui.Enable(mime && (mime->hasImage() || mime->hasFormat("image/bmp")));
    });
    OnCommand(ID_FILE_CLOSE_ALL, [this] { OnCloseAll(); });
    OnCommand(ID_VIEW_TAB_BAR, [this] { m_viewManager->setVisible(!m_viewManager->isVisible()); });
    OnUpdate(ID_VIEW_TAB_BAR, [this](CCmdUI& ui) { ui.SetCheck(m_viewManager->isVisible()); });
    OnCommand(ID_WINDOW_TAB_BAR,
              [this] { m_viewManager->setVisible(!m_viewManager->isVisible()); });
    OnCommand(ID_WINDOW_NEXT, [this] { m_mdi->activateNextSubWindow(); });
    OnCommand(ID_WINDOW_PREVIOUS, [this] { m_mdi->activatePreviousSubWindow(); });
    OnCommand(ID_WINDOW_SAVE_ALL, [this] { OnSaveAll(); });
    OnCommand(ID_WINDOW_SAVE_CLOSE_ALL, [this] {
        OnSaveAll();
        AfxGetApp()->GetDocManager()->CloseAllDocuments();
    });
    for (int id :
         {ID_WINDOW_NEXT, ID_WINDOW_PREVIOUS, ID_WINDOW_SAVE_ALL, ID_WINDOW_SAVE_CLOSE_ALL})
        OnUpdate(id, [this](CCmdUI& ui) { ui.Enable(m_viewManager->GetCount() > 0); });
    OnCommand(ID_SHOW_MAIN_WINDOW, [this] { RestoreAndActivate(); });
    OnCommand(ID_HOME_PAGE, [this] {
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_HOME_PAGE)));
    });
    for (const CaptureAction& action : CaptureActionTable) {
        const int index = action.index;
        OnCommand(action.command, [this, index] { m_capture->RunCaptureAction(index); });
    }
    OnUpdate(ID_CAPTURE_REPEAT_LAST,
             [this](CCmdUI& ui) { ui.Enable(m_capture->m_pfnLastCapture != nullptr); });
    for (int id : {ID_HELP, ID_CONTEXT_HELP, ID_HELP_FINDER, ID_DEFAULT_HELP})
        OnCommand(id, [] { AfxGetApp()->WinHelp(); });
}

CMainFrame::~CMainFrame() {
    // Windows still open die with the frame, after it is no longer one.
    for (QMdiSubWindow* child : m_mdi->subWindowList()) child->disconnect(this);
    ORV_UnHookMouse();
    ORV_UnHookKeyboard();
    QCoreApplication::instance()->removeNativeEventFilter(this);
    m_tray.RemoveIcon();
}

void CMainFrame::CreateCommandBars() {
    SetMenus(DefaultMenu(), DocumentMenu());
    QToolBar* bar = BuildToolBar("Toolbar", MainToolBar());
    bar->setMovable(true);
    InstallAccelerators(AcceleratorCommands());

    // The tab bar sits on its own row under the tool bar.
    addToolBarBreak(Qt::TopToolBarArea);
    m_viewManager = new CViewManager(this, m_mdi);
    m_background = new CEditorBackground(m_mdi);
    addToolBar(Qt::TopToolBarArea, m_viewManager);
    m_viewManager->hide();
    m_viewManager->TabCtrl()->onContextMenu = [this](const QPoint& at) {
        QMenu* menu = BuildPopup(TabViewMenu(), this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    };
    connect(m_mdi, &QMdiArea::subWindowActivated, m_viewManager,
            [this] { m_viewManager->OnIdleUpdate(); });
}

void CMainFrame::OnIdleUpdate() {
    CMDIFrameWnd::OnIdleUpdate();
    if (m_viewManager) m_viewManager->OnIdleUpdate();
}

void CMainFrame::OnChildCreated(CMDIChildWnd* child) {
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    if ((m_childCount == 0 && m_childWinState) || (active && active->isMaximized()))
        child->setWindowState(child->windowState() | Qt::WindowMaximized);
    ++m_childCount;
    // The state is followed while the window lives: the closing itself may change it.
    auto maximized = std::make_shared<bool>(child->isMaximized());
    connect(child, &QMdiSubWindow::windowStateChanged, this,
            [maximized](Qt::WindowStates, Qt::WindowStates now) {
                *maximized = (now & Qt::WindowMaximized) != 0;
            });
    connect(child, &QObject::destroyed, this, [this, maximized] {
        if (--m_childCount > 0) return;
        m_childWinState = *maximized ? 1 : 0;
        WriteChildWinState();
    });
}

void CMainFrame::WriteChildWinState() {
    CFrameworkApp* app = AfxGetApp();
    if (!app) return;
    CRegProfile profile(app->RegNames(), false);
    if (!profile.OpenRootCreate(RegRoot::CurrentUser)) return;
    profile.SetSection("Settings");
    profile.IntValue("TVChildWinState", m_childWinState);
}

void CMainFrame::OnSaveAll() {
    // The plain save of each: a name is asked only for untitled or read-only files.
    for (CDocument* doc : AfxGetApp()->GetDocManager()->Documents())
        if (doc->IsModified()) doc->DoFileSave();
}

void CMainFrame::ShowTabBarForCount() {
    m_viewManager->OnIdleUpdate();
    m_viewManager->setVisible(m_viewManager->TabCtrl()->count() > 0);
}

bool CMainFrame::Create() {
    CreateCommandBars();
    if (CFrameworkApp* app = AfxGetApp()) {
        CRegProfile profile(app->RegNames(), true);
        if (profile.OpenRootReadOnly(RegRoot::CurrentUser)) {
            profile.SetSection("Settings");
            profile.IntValue("TVChildWinState", m_childWinState);
            m_background->Load(profile);
        }
    }

    QStatusBar* status = statusBar();
    const struct {
        const char* text;
        int width;
    } panes[3] = {{"  Mouse Position:", 150}, {"  Color:", 76}, {"  Image Size:", 120}};
    m_progress = new QProgressBar(status);
    m_progress->setRange(0, 1000);
    m_progress->setMaximumWidth(150);
    m_progress->hide();
    status->addPermanentWidget(m_progress);
    for (int i = 0; i < 3; ++i) {
        const auto& p = panes[i];
        auto* label = new QLabel(p.text, status);
        m_panes[i] = label;
        label->setObjectName(QString("StatusPane%1").arg(i + 1));
        label->setMinimumWidth(p.width);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        status->addPermanentWidget(label);
    }
    status->showMessage("Ready");

    resize(800, 600);
    ApplyWindowClass();
    QCoreApplication::instance()->installNativeEventFilter(this);

    // Without an X display the program still runs; each capture then says why it cannot.
    m_capture->Open();
    // Hotkeys are live before anything of the program shows: whoever presses one the moment
    // the icon or the window appears must not lose the press.
    InstallHotkeys();

    // Without a notification area the program still runs, with its window always reachable.
    m_tray.Create(this, TRAY_CALLBACK_MESSAGE, "Orvane Screen", ProgramIcon(), 155);
    // A window hidden into a notification area that goes away could never come back.
    m_tray.SetAvailabilityHandler([this](bool available) {
        if (!available && !isVisible()) RestoreAndActivate();
    });

    m_selectionTimer.start(300, this);
    return true;
}

void CMainFrame::ApplyWindowClass() {
    xcb_connection_t* c = Connection();
    if (!c) return;
    // WM_CLASS is instance and class, each with its terminator.
    static const char wmClass[] = "OrvaneScreen\0OrvaneMainFrameClass";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(winId()), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
    xcb_flush(c);
}

void CMainFrame::RestoreAndActivate() {
    ShowAndActivate();
    m_restore.Start();
}

void CMainFrame::Reshow() {
    // Taken for shown by the toolkit but withdrawn by the window manager: ask for the map
    // again, which the window manager answers by managing the window afresh.
    if (isVisible())
        if (xcb_connection_t* c = Connection()) xcb_map_window(c, xcb_window_t(winId()));
    ShowAndActivate();
}

void CMainFrame::ShowAndActivate() {
    if (isMinimized() || !isVisible()) showNormal();
    QWidget* target = QApplication::activeModalWidget();
    if (!target) target = this;
    target->show();
    target->raise();
    target->activateWindow();
    // Asking the window manager as a pager would makes the request count as the user's.
    if (xcb_connection_t* c = Connection()) {
        if (uint32_t active = InternAtom(c, "_NET_ACTIVE_WINDOW")) {
            xcb_client_message_event_t ev{};
            ev.response_type = XCB_CLIENT_MESSAGE;
            ev.format = 32;
            ev.window = xcb_window_t(target->winId());
            ev.type = active;
            ev.data.data32[0] = 2;
            ev.data.data32[1] = XCB_CURRENT_TIME;
            xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
            xcb_send_event(c, 0, screen->root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&ev));
            xcb_flush(c);
        }
    }
}

void CMainFrame::HideToTray() {
    if (!HasTray()) {
        // Nothing could bring a hidden window back: it stays on the task bar instead.
        if (!isMinimized()) showMinimized();
        return;
    }
    hide();
}

void CMainFrame::PostHotkey(long index, long virtualKey) {
    QTimer::singleShot(
        0, this, [this, index, virtualKey] { m_capture->OnForwardedHotkey(index, virtualKey); });
}

bool CMainFrame::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t") return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    if ((ev->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    auto* cm = reinterpret_cast<xcb_client_message_event_t*>(ev);
    // The hook library's messages run their handlers outside the native event dispatch,
    // which a capture's own event processing must not re-enter.
    const long wParam = long(int32_t(cm->data.data32[0]));
    const long lParam = long(int32_t(cm->data.data32[1]));
    if (m_forwardKeyboardAtom && cm->type == m_forwardKeyboardAtom) {
        PostHotkey(wParam, lParam);
        return true;
    }
    if (m_forwardMouseAtom && cm->type == m_forwardMouseAtom) {
        QTimer::singleShot(0, this,
                           [this, wParam, lParam] { m_capture->OnForwardedMouse(wParam, lParam); });
        return true;
    }
    return false;
}

void CMainFrame::SetPaneText(int pane, const QString& text) {
    if (pane >= 1 && pane <= 3 && m_panes[pane - 1]) m_panes[pane - 1]->setText(text);
}

void CMainFrame::OnProgress(double fraction) {
    if (!m_progress) return;
    if (fraction <= 0.0 || fraction >= 1.0) {
        m_progress->hide();
        return;
    }
    m_progress->show();
    m_progress->setValue(int(fraction * 1000));
}

bool CMainFrame::event(QEvent* e) {
    switch (int(e->type())) {
    case WM_DOC_COUNT_CHANGED:
        RecalcMenu();
        ShowTabBarForCount();
        return true;
    case WM_TRAY_MENU_OPENING:
        m_capture->m_bTrayMenuCapture = 1;
        return true;
    case WM_HOME_PAGE:
        QDesktopServices::openUrl(QUrl(CAboutDlg::kWebPage));
        return true;
    default:
        return CMDIFrameWnd::event(e);
    }
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // A close from the window system (Close box, Alt+F4) sends the window to the tray; only
    // Exit ends the program.
    if (e->spontaneous()) closeToTray = 1;
    if (!AfxGetApp()->SaveAllModified()) {
        e->ignore();
        return;
    }
    e->accept();
    if (CFrameworkApp* app = AfxGetApp()) {
        CRegProfile profile(app->RegNames(), false);
        if (profile.OpenRootCreate(RegRoot::CurrentUser)) m_background->Save(profile);
    }
    m_tray.RemoveIcon();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void CMainFrame::changeEvent(QEvent* e) {
    CMDIFrameWnd::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !isMinimized()) return;
    // Right after a restore a minimize is the window manager's late answer to an earlier
    // request, not the user's: hiding then would take the restored window away again.
    if (m_restore.Active()) return;
    if ((m_host.Settings().optionsA & OPTA_TRAY_ON_MINIMIZE) && HasTray())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !m_restore.Active()) hide();
        });
}

void CMainFrame::hideEvent(QHideEvent* e) {
    // The program hides the window on purpose (tray, capture): the restore is over.
    if (!e->spontaneous()) m_restore.Cancel();
    CMDIFrameWnd::hideEvent(e);
}

void CMainFrame::timerEvent(QTimerEvent* e) {
    if (e->timerId() != m_selectionTimer.timerId()) {
        CMDIFrameWnd::timerEvent(e);
        return;
    }
    if (auto* view = dynamic_cast<CTilletCaptureView*>(GetActiveView())) view->OnSelectionTimer();
}

void CMainFrame::OnPasteAsNewImage() {
    auto picture = std::make_unique<CDisplayPicture>();
    if (!picture->CreateFromClipboard(CF_BITMAP) || !m_host.HasDocTemplate()) return;
    m_host.OpenNewImage(std::move(picture), false);
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DOC_COUNT_CHANGED)));
    RestoreAndActivate();
}

void CMainFrame::OnCloseAll() {
    CFrameworkApp* app = AfxGetApp();
    if (app->SaveAllModified()) app->GetDocManager()->CloseAllDocuments();
}

void CMainFrame::OnExploreOutput() {
    QString dir = QString::fromUtf8(m_host.Settings().autoSave.path);
    if (!dir.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

// ---------------------------------------------------------------------------------------------
// Capture: the hotkeys, the window's part in a capture, and the delivery of its picture

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
    m_capture->InstallHotkeys(m_host.Settings().hotkeys.keys);
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

void CMainFrame::ShowMainWindow() {
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::ShowMessage(const QString& text, MessageIcon icon) {
    const QMessageBox::Icon boxIcon = icon == MessageIcon::Information ? QMessageBox::Information
                                      : icon == MessageIcon::Warning   ? QMessageBox::Warning
                                                                       : QMessageBox::NoIcon;
    AfxMessageBox(isVisible() ? this : nullptr, text, QMessageBox::Ok, boxIcon, QMessageBox::Ok);
}

void CMainFrame::CaptureOutput(std::unique_ptr<CDisplayPicture> picture) {
    if (!m_host.HasDocTemplate()) return;
    const DWORD options = m_host.Settings().optionsA;
    const bool clipboardOnly = (options & OPTA_COPY_TO_CLIPBOARD) &&
                               !(options & (OPTA_OPEN_IN_EDITOR | OPTA_PRINT | OPTA_SAVE_TO_FILE));
    if (clipboardOnly) {
        if (picture) picture->CopyToClipboard();
        picture.reset();
        m_capture->CaptureDelivered();
        return;
    }
    m_host.OpenNewImage(std::move(picture), true);
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DOC_COUNT_CHANGED)));
}

void CMainFrame::OnCaptureOptions() {
    OptionServices services;
    services.isStartedWithSystem = [this] { return m_host.IsStartedWithSystem(); };
    services.setStartWithSystem = [this](bool on) { m_host.SetStartWithSystem(on); };
    services.clearRecentFileList = [this] { m_host.ClearRecentFileList(); };
    services.captureActionText = [](int index) {
        for (const CaptureAction& action : CaptureActionTable)
            if (action.index == index) return StripMnemonics(action.menuText);
        return std::string();
    };
    services.getHotkeys = [](uint16_t* table) { ORV_GetCaptureHotKey(table); };
    services.setHotkeys = [](const uint16_t* table) { ORV_SetCaptureHotKey(table); };
    services.keyNames = KeyNameTable();
    if (!RunOptionsDialog(this, m_host.Settings(), services)) return;
    // Kept at once: a crash later must not lose what was just chosen.
    m_host.SaveSettings();
    if (CView* view = GetActiveView()) view->viewport()->update();
}
