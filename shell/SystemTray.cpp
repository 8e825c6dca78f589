#include "shell/SystemTray.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QTimer>

#include "dialogs/AboutDlg.h"
#include "shell/MainFrame.h"
#include "shell/Menus.h"

CSystemTray::CSystemTray() = default;

CSystemTray::~CSystemTray() {
    RemoveIcon();
}

bool CSystemTray::Create(CMainFrame* parent, int, const QString& tip, const QIcon& icon, int id) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
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
    m_enabled = m_icon->isVisible();
    return m_enabled;
}

void CSystemTray::RemoveIcon() {
    if (!m_enabled) return;
    m_icon->hide();
    m_enabled = false;
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
