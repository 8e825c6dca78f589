#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "framework/CmdTarget.h"
#include "framework/DocView.h"
#include "framework/RecentFileList.h"
#include "platform/RegProfile.h"

class CMDIFrameWnd;

// The application: owns the document manager and the recent-file list, knows the main window
// and the registry key, and is the last stop of every command's route.
class CFrameworkApp : public QObject, public CCmdTarget {
public:
    explicit CFrameworkApp(QString appName);
    ~CFrameworkApp() override;

    virtual bool InitInstance() = 0;
    virtual int ExitInstance();
    virtual bool SaveAllModified();
    virtual void WinHelp() {}
    // Opens the help at a dialog's topic (its Help button); without help pages, the index.
    virtual void HelpTopic(int topic) {
        (void)topic;
        WinHelp();
    }

    const QString& AppName() const { return m_appName; }
    RegistryNames RegNames() const { return {m_registryKey, m_appName.toStdString()}; }
    CMDIFrameWnd* GetMainWnd() const { return m_pMainWnd; }
    CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    void SetRegistryKey(const QString& company) { m_registryKey = company.toStdString(); }
    void LoadStdProfileSettings(int mruSize);
    void SaveStdProfileSettings();
    void AddToRecentFileList(const QString& path);

    void OnFileNew();
    void OnFileOpen();
    void OnAppExit();

    // Offers a command (ui null) or asks for its state along the route: active view, its
    // document, its child frame, the main frame, the application.
    bool RouteCommand(int id, CCmdUI* ui);
    // Asks for the idle update to run when the event loop next has nothing to do.
    void RequestIdleUpdate() { m_idlePending = true; }

    static CFrameworkApp* Instance() { return s_app; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void SetMainWnd(CMDIFrameWnd* frame) { m_pMainWnd = frame; }
    void SetDocManager(std::unique_ptr<CDocManager> manager) { m_pDocManager = std::move(manager); }

    QString m_appName;
    std::string m_registryKey;
    CMDIFrameWnd* m_pMainWnd = nullptr;
    std::unique_ptr<CDocManager> m_pDocManager;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;

private:
    void OnIdle();
    bool m_idlePending = true;
    static CFrameworkApp* s_app;
};

inline CFrameworkApp* AfxGetApp() {
    return CFrameworkApp::Instance();
}
