#include "framework/FrameWnd.h"

#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>

#include "framework/DocView.h"
#include "framework/WinApp.h"

namespace {
constexpr const char* kMruMarker = "orvane-mru";
}

CMDIFrameWnd::CMDIFrameWnd() : m_mdi(new QMdiArea(this)) {
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    QObject::connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) {
        OnUpdateFrameTitle();
        RecalcMenu();
        if (AfxGetApp()) AfxGetApp()->RequestIdleUpdate();
    });
    OnCommand(ID_VIEW_TOOLBAR, [this] {
        if (!m_toolBars.empty()) m_toolBars.front()->setVisible(!m_toolBars.front()->isVisible());
    });
    OnUpdate(ID_VIEW_TOOLBAR, [this](CCmdUI& ui) {
        ui.Enable(!m_toolBars.empty());
        ui.SetCheck(!m_toolBars.empty() && m_toolBars.front()->isVisible());
    });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    OnUpdate(ID_VIEW_STATUS_BAR, [this](CCmdUI& ui) { ui.SetCheck(statusBar()->isVisible()); });
    OnCommand(ID_WINDOW_CASCADE, [this] { m_mdi->cascadeSubWindows(); });
    OnCommand(ID_WINDOW_TILE_HORZ, [this] { m_mdi->tileSubWindows(); });
    OnCommand(ID_WINDOW_ARRANGE, [this] { ArrangeMinimized(m_mdi); });
    for (int id : {ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE})
        OnUpdate(id, [this](CCmdUI& ui) { ui.Enable(m_mdi->activeSubWindow() != nullptr); });
    OnCommand(ID_NEXT_PANE, [this] { m_mdi->activateNextSubWindow(); });
    OnCommand(ID_PREV_PANE, [this] { m_mdi->activatePreviousSubWindow(); });
    OnCommand(ID_WINDOW_NEW, [this] {
        CDocument* doc = GetActiveDocument();
        if (!doc || !doc->GetDocTemplate()) return;
        if (CMDIChildWnd* f = doc->GetDocTemplate()->CreateNewFrame(doc)) {
            f->GetActiveView()->OnInitialUpdate();
            f->show();
            doc->UpdateFrameTitles();
        }
    });
    OnUpdate(ID_WINDOW_NEW, [this](CCmdUI& ui) { ui.Enable(GetActiveDocument() != nullptr); });
}

void ArrangeMinimized(QMdiArea* mdi) {
    const int width = mdi->viewport()->width();
    int x = 0;
    int rowBottom = mdi->viewport()->height();
    int rowHeight = 0;
    for (QMdiSubWindow* window : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized() || window->isHidden()) continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > width) {
            rowBottom -= rowHeight;
            x = 0;
            rowHeight = 0;
        }
        window->move(x, rowBottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const {
    return dynamic_cast<CMDIChildWnd*>(m_mdi->activeSubWindow());
}

CView* CMDIFrameWnd::GetActiveView() const {
    CMDIChildWnd* f = MDIGetActive();
    return f ? f->GetActiveView() : nullptr;
}

CDocument* CMDIFrameWnd::GetActiveDocument() const {
    CMDIChildWnd* f = MDIGetActive();
    return f ? f->GetActiveDocument() : nullptr;
}

void CMDIFrameWnd::ExecuteCommand(int id) {
    CFrameworkApp* app = AfxGetApp();
    if (!app) return;
    CCmdUI ui(id);
    if (!app->RouteCommand(id, &ui) || !ui.m_enabled) return;
    app->RouteCommand(id, nullptr);
    if (AfxGetApp()) AfxGetApp()->RequestIdleUpdate();
}

QAction* CMDIFrameWnd::MakeAction(int id, const QString& text, QObject* parent) {
    auto* a = new QAction(text, parent);
    a->setData(id);
    a->setStatusTip(CommandPrompt(id));
    QObject::connect(a, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
    return a;
}

void CMDIFrameWnd::UpdateMenu(QMenu* menu) {
    CFrameworkApp* app = AfxGetApp();
    if (!app) return;
    // The recent-file entries stand where the "Recent File" item is.
    if (CRecentFileList* mru = app->GetRecentFileList()) {
        QAction* placeholder = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->property(kMruMarker).toBool()) {
                menu->removeAction(a);
                a->deleteLater();
            } else if (a->data().toInt() == ID_FILE_MRU_FILE1) {
                placeholder = a;
            }
        }
        if (placeholder) {
            placeholder->setVisible(mru->IsEmpty());
            QAction* before = nullptr;
            const auto acts = menu->actions();
            int at = int(acts.indexOf(placeholder));
            if (at + 1 < acts.size()) before = acts[at + 1];
            for (int i = 0; i < mru->GetSize() && !(*mru)[i].empty(); ++i) {
                QString path = QString::fromStdString((*mru)[i]);
                QString text = QString("&%1 %2").arg(i + 1).arg(path);
                QAction* a = MakeAction(ID_FILE_MRU_FILE1 + i, text, menu);
                a->setProperty(kMruMarker, true);
                a->setIcon(QIcon());
                menu->insertAction(before, a);
            }
        }
    }
    for (QAction* a : menu->actions()) {
        int id = a->data().toInt();
        if (a->menu() || a->isSeparator() || id == 0) continue;
        CCmdUI ui(id);
        bool handled = app->RouteCommand(id, &ui);
        a->setEnabled(handled && ui.m_enabled);
        a->setCheckable(ui.m_checked);
        a->setChecked(ui.m_checked);
    }
}

void CMDIFrameWnd::OnIdleUpdate() {
    CFrameworkApp* app = AfxGetApp();
    if (!app) return;
    for (QToolBar* bar : m_toolBars) {
        if (!bar->isVisible()) continue;
        for (QAction* a : bar->actions()) {
            int id = a->data().toInt();
            if (id == 0) continue;
            CCmdUI ui(id);
            bool handled = app->RouteCommand(id, &ui);
            a->setEnabled(handled && ui.m_enabled);
            a->setCheckable(ui.m_checked);
            a->setChecked(ui.m_checked);
        }
    }
}

void CMDIFrameWnd::OnUpdateFrameTitle() {
    QString title = AfxGetApp() ? AfxGetApp()->AppName() : QString();
    if (CDocument* doc = GetActiveDocument()) title += " - " + doc->GetTitle();
    setWindowTitle(title);
}

QMenu* CMDIFrameWnd::BuildPopup(const MenuItem& popup, QWidget* parent) {
    auto* menu = new QMenu(QString::fromUtf8(popup.text), parent);
    for (const MenuItem& item : popup.children) {
        if (!item.children.empty()) {
            menu->addMenu(BuildPopup(item, menu));
        } else if (item.id == 0 && !item.text) {
            menu->addSeparator();
        } else {
            QAction* a = MakeAction(item.id, QString::fromUtf8(item.text), menu);
            a->setIcon(CommandIcon(item.id));
            menu->addAction(a);
        }
    }
    QObject::connect(menu, &QMenu::aboutToShow, this, [this, menu] { OnInitMenuPopup(menu); });
    return menu;
}

void CMDIFrameWnd::SetMenus(const std::vector<MenuItem>& defaultMenu,
                            const std::vector<MenuItem>& documentMenu) {
    QMenuBar* bar = menuBar();
    auto build = [this, bar](const std::vector<MenuItem>& popups) {
        std::vector<QAction*> menus;
        menus.reserve(popups.size());
        for (const MenuItem& p : popups) menus.push_back(BuildPopup(p, bar)->menuAction());
        return menus;
    };
    m_defaultMenus = build(defaultMenu);
    m_documentMenus = build(documentMenu);
    m_documentMenuShown = false;
    ShowMenus(m_defaultMenus);
}

void CMDIFrameWnd::ShowMenus(const std::vector<QAction*>& menus) {
    // Swapping whole menu bars would not do: the window deletes a menu bar it is given a new
    // one for, and a maximized image window's controls stay behind in the old one.
    QMenuBar* bar = menuBar();
    for (QAction* a : bar->actions())
        if (a->menu()) bar->removeAction(a);
    for (QAction* a : menus) bar->addAction(a);
}

void CMDIFrameWnd::RecalcMenu() {
    if (m_defaultMenus.empty()) return;
    bool hasDoc = AfxGetApp() && AfxGetApp()->GetDocManager() &&
                  AfxGetApp()->GetDocManager()->GetOpenDocumentCount() > 0;
    if (hasDoc == m_documentMenuShown) return;
    m_documentMenuShown = hasDoc;
    ShowMenus(hasDoc ? m_documentMenus : m_defaultMenus);
}

QToolBar* CMDIFrameWnd::BuildToolBar(const QString& name, const std::vector<int>& ids) {
    auto* bar = new QToolBar(name, this);
    bar->setObjectName(name);
    bar->setIconSize(QSize(16, 16));
    for (int id : ids) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        const CommandInfo* c = FindCommand(id);
        QString text = c ? QString::fromUtf8(c->text).remove('&') : QString::number(id);
        QAction* a = MakeAction(id, text, bar);
        a->setIcon(CommandIcon(id));
        a->setToolTip(CommandToolTip(id));
        bar->addAction(a);
    }
    addToolBar(Qt::TopToolBarArea, bar);
    m_toolBars.push_back(bar);
    return bar;
}

void CMDIFrameWnd::InstallAccelerators(const std::vector<int>& ids) {
    for (int id : ids) {
        QAction* a = MakeAction(id, QString(), this);
        a->setShortcuts(CommandShortcuts(id));
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
}
