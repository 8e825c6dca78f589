#include "shell/SystemTray.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "dialogs/AboutDlg.h"
#include "shell/MainFrame.h"
#include "shell/Menus.h"

CSystemTray::CSystemTray() = default;

CSystemTray::~CSystemTray() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    RemoveIcon();
}

bool CSystemTray::Create(CMainFrame* parent, int, const QString& tip, const QIcon& icon, int id) {
    m_parent = parent;
    m_id = id;
    m_menu.reset(parent->BuildPopup(TrayMenu(), nullptr));
    // The banner: the product's address drawn as the default item; it runs nothing.
    if (QAction* banner = m_menu->actions().value(0)) {
        QFont bold = banner->font();
        bold.setBold(true);
        banner->setFont(bold);
        m_menu->setDefaultAction(banner);
    }
    // Before the menu shows, the main window learns that its commands come from the tray.
    QObject::connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        QEvent opening{QEvent::Type(WM_TRAY_MENU_OPENING)};
        QCoreApplication::sendEvent(m_parent, &opening);
    });
    // A menu closed without a choice leaves no trace: the flag goes once a chosen command
    // (which runs after the menu hides) has seen it.
    QObject::connect(m_menu.get(), &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, m_parent, [p = m_parent] { p->Capture().m_bTrayMenuCapture = 0; });
    });
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tip);
    m_icon->setContextMenu(m_menu.get());
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason r) { OnActivated(r); });
    m_icon->show();

    // A notification area announces itself with a MANAGER message to the root window and
    // goes away with its window; both come through the toolkit's connection.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* c = x11 ? x11->connection() : nullptr) {
        static const char name[] = "MANAGER";
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        m_managerAtom = reply ? reply->atom : 0;
        std::free(reply);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    m_enabled = QSystemTrayIcon::isSystemTrayAvailable() && m_icon->isVisible();
    return m_enabled;
}

void CSystemTray::RemoveIcon() {
    m_removed = true;
    if (m_icon) m_icon->hide();
    m_enabled = false;
}

bool CSystemTray::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t" || m_recheckQueued || m_removed) return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    const uint8_t kind = ev->response_type & 0x7f;
    bool relevant = kind == XCB_DESTROY_NOTIFY;
    if (kind == XCB_CLIENT_MESSAGE)
        relevant = reinterpret_cast<xcb_client_message_event_t*>(ev)->type == m_managerAtom;
    if (relevant) {
        // Asked once the toolkit has seen the event too.
        m_recheckQueued = true;
        QTimer::singleShot(0, this, [this] { Recheck(); });
    }
    return false;
}

void CSystemTray::Recheck() {
    m_recheckQueued = false;
    if (m_removed || !m_icon) return;
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == m_enabled) return;
    m_enabled = available;
    if (m_onAvailability) m_onAvailability(available);
}

void CSystemTray::SetIcon(const QIcon& icon) {
    if (m_enabled) m_icon->setIcon(icon);
}

int CSystemTray::DefaultCommand() const {
    if (!m_defaultByPos) return m_defaultItem;
    QAction* a = m_menu ? m_menu->actions().value(m_defaultItem) : nullptr;
    return a ? a->data().toInt() : 0;
}

void CSystemTray::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::DoubleClick || !m_parent) return;
    m_parent->RestoreAndActivate();
    if (int id = DefaultCommand()) m_parent->ExecuteCommand(id);
}
