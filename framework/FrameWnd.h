#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QToolBar>
#include <map>
#include <vector>

#include "framework/CmdTarget.h"
#include "framework/Commands.h"

class CMDIChildWnd;
class CView;
class CDocument;

// Arrange Icons: the minimized windows in rows along the bottom of the area, from the left,
// in opening order; a row that is full continues above the last one.
void ArrangeMinimized(QMdiArea* mdi);

// The MDI main window: menus built from data, tool bars and shortcuts from the command table,
// and every command offered along the route before it runs.
class CMDIFrameWnd : public QMainWindow, public CCmdTarget {
public:
    CMDIFrameWnd();

    QMdiArea* MDIClient() const { return m_mdi; }
    CMDIChildWnd* MDIGetActive() const;
    CView* GetActiveView() const;
    CDocument* GetActiveDocument() const;

    // Offers the command to the route when it is enabled there, and runs it.
    void ExecuteCommand(int id);
    // Fills in the states of the menu's items (and refreshes the recent-file entries).
    void UpdateMenu(QMenu* menu);
    // The idle update: tool-bar buttons follow their commands' states.
    virtual void OnIdleUpdate();
    virtual void OnUpdateFrameTitle();
    // A new image window, in the MDI area but not shown yet.
    virtual void OnChildCreated(CMDIChildWnd* /*child*/) {}
    // Every pop-up menu, just before it shows; the default fills in the command states.
    virtual void OnInitMenuPopup(QMenu* menu) { UpdateMenu(menu); }

    // The two menu bars: without and with an open document.
    void SetMenus(const std::vector<MenuItem>& defaultMenu,
                  const std::vector<MenuItem>& documentMenu);
    QMenu* BuildPopup(const MenuItem& popup, QWidget* parent);
    QToolBar* BuildToolBar(const QString& name, const std::vector<int>& ids);
    void InstallAccelerators(const std::vector<int>& ids);
    // Shows the menu bar that fits: the document menu while a document is open.
    void RecalcMenu();

    QAction* MakeAction(int id, const QString& text, QObject* parent);
    // The status bar's panes after the message pane (1 to 3); nothing without a status bar.
    virtual void SetPaneText(int /*pane*/, const QString& /*text*/) {}

protected:
    QMdiArea* m_mdi;
    std::vector<QToolBar*> m_toolBars;

private:
    void ShowMenus(const std::vector<QAction*>& menus);
    // Both menu sets live in the window's one menu bar, which also carries the controls of a
    // maximized image window; only the set that fits is in it at a time.
    std::vector<QAction*> m_defaultMenus;
    std::vector<QAction*> m_documentMenus;
    bool m_documentMenuShown = false;
};
