#include "framework/WinApp.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>

#include "framework/FrameWnd.h"

CFrameworkApp* CFrameworkApp::s_app = nullptr;

CFrameworkApp::CFrameworkApp(QString appName) : m_appName(std::move(appName)) {
    s_app = this;
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    for (int i = 0; i < 6; ++i) {
        OnCommand(ID_FILE_MRU_FILE1 + i, [this, i] {
            if (!m_pRecentFileList || i >= m_pRecentFileList->GetSize()) return;
            QString path = QString::fromStdString((*m_pRecentFileList)[i]);
            if (path.isEmpty()) return;
            if (!QFileInfo::exists(path)) {
                // A file that is gone leaves the list.
                m_pRecentFileList->Remove(i);
                return;
            }
            if (m_pDocManager) m_pDocManager->OpenDocumentFile(path);
        });
    }
    if (auto* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                             [this] { OnIdle(); });
    }
}

CFrameworkApp::~CFrameworkApp() {
    if (s_app == this) s_app = nullptr;
}

int CFrameworkApp::ExitInstance() {
    SaveStdProfileSettings();
    return 0;
}

bool CFrameworkApp::SaveAllModified() {
    return m_pDocManager ? m_pDocManager->SaveAllModified() : true;
}

void CFrameworkApp::LoadStdProfileSettings(int mruSize) {
    m_pRecentFileList = std::make_unique<CRecentFileList>("Recent File List", "File", mruSize);
    m_pRecentFileList->ReadList(RegNames());
}

void CFrameworkApp::SaveStdProfileSettings() {
    if (m_pRecentFileList) m_pRecentFileList->WriteList(RegNames());
}

void CFrameworkApp::AddToRecentFileList(const QString& path) {
    if (m_pRecentFileList) m_pRecentFileList->Add(path.toStdString());
}

void CFrameworkApp::OnFileNew() {
    if (m_pDocManager) m_pDocManager->OnFileNew();
}

void CFrameworkApp::OnFileOpen() {
    if (m_pDocManager) m_pDocManager->OnFileOpen();
}

void CFrameworkApp::OnAppExit() {
    if (m_pMainWnd) m_pMainWnd->close();
}

bool CFrameworkApp::RouteCommand(int id, CCmdUI* ui) {
    if (m_pMainWnd) {
        if (CMDIChildWnd* frame = m_pMainWnd->MDIGetActive()) {
            if (CView* view = frame->GetActiveView()) {
                if (view->OnCmdMsg(id, ui)) return true;
                if (CDocument* doc = view->GetDocument())
                    if (doc->OnCmdMsg(id, ui)) return true;
            }
            if (frame->OnCmdMsg(id, ui)) return true;
        }
        if (m_pMainWnd->OnCmdMsg(id, ui)) return true;
    }
    return OnCmdMsg(id, ui);
}

bool CFrameworkApp::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::WindowActivate:
    case QEvent::Show:
        m_idlePending = true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CFrameworkApp::OnIdle() {
    if (!m_idlePending) return;
    m_idlePending = false;
    if (m_pMainWnd && m_pMainWnd->isVisible()) m_pMainWnd->OnIdleUpdate();
}
