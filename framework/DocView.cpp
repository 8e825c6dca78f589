#include "framework/DocView.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "framework/Commands.h"
#include "framework/FrameWnd.h"
#include "framework/MessageBox.h"
#include "framework/WinApp.h"

// ---------------------------------------------------------------------------------- CDocument

CDocument::CDocument() = default;

CDocument::~CDocument() {
    for (CView* v : m_views) v->m_pDocument = nullptr;
}

void CDocument::SetTitle(const QString& title) {
    m_strTitle = title;
    UpdateFrameTitles();
}

void CDocument::SetPathName(const QString& path, bool addToMRU) {
    m_strPathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(path).fileName());
    if (addToMRU && AfxGetApp()) AfxGetApp()->AddToRecentFileList(m_strPathName);
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const QString&) {
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const QString&) {
    SetModifiedFlag(false);
    return true;
}

void CDocument::OnCloseDocument() {
    // Frames go first (without asking again); then the document itself.
    std::vector<CView*> views = m_views;
    for (CView* v : views) {
        CMDIChildWnd* frame = v->GetParentFrame();
        v->m_pDocument = nullptr;
        if (frame) {
            frame->m_bClosingByDocument = true;
            frame->hide();
            frame->deleteLater();
        }
    }
    m_views.clear();
    DeleteContents();
    CMultiDocTemplate* tmpl = m_pDocTemplate;
    if (tmpl) tmpl->RemoveDocument(this);
    delete this;
    if (AfxGetApp()) {
        if (auto* main = AfxGetApp()->GetMainWnd()) main->RecalcMenu();
        AfxGetApp()->RequestIdleUpdate();
    }
}

bool CDocument::SaveModified() {
    if (!IsModified()) return true;
    QString name = m_strPathName.isEmpty() ? m_strTitle : QFileInfo(m_strPathName).fileName();
    // The title may carry the modified mark; the question names the document only.
    if (name.endsWith(" *")) name.chop(2);
    QWidget* parent = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
    auto answer = AfxMessageBox(parent, QString("Save changes to %1?").arg(name),
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Warning, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    return DoFileSave();
}

bool CDocument::DoFileSave() {
    return DoSave(m_strPathName);
}

bool CDocument::DoSave(const QString& path) {
    QString target = path;
    if (target.isEmpty()) {
        CDocManager* dm = AfxGetApp() ? AfxGetApp()->GetDocManager() : nullptr;
        QString suggested = m_strTitle;
        if (suggested.endsWith(" *")) suggested.chop(2);
        target = dm ? dm->PromptSaveFileName(suggested) : QString();
        if (target.isEmpty()) return false;
    }
    if (!OnSaveDocument(target)) return false;
    if (target != m_strPathName) SetPathName(target);
    return true;
}

void CDocument::UpdateAllViews(CView* sender, long hint) {
    for (CView* v : m_views)
        if (v != sender) v->OnUpdate(sender, hint);
}

void CDocument::AddView(CView* view) {
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CDocument::UpdateFrameTitles() {
    for (CView* v : m_views)
        if (CMDIChildWnd* f = v->GetParentFrame()) f->OnUpdateFrameTitle();
    if (AfxGetApp() && AfxGetApp()->GetMainWnd()) AfxGetApp()->GetMainWnd()->OnUpdateFrameTitle();
}

// -------------------------------------------------------------------------------------- CView

CView::CView() {
    setFrameShape(QFrame::NoFrame);
}

CView::~CView() {
    if (m_pDocument) m_pDocument->RemoveView(this);
}

CMDIChildWnd* CView::GetParentFrame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* f = dynamic_cast<CMDIChildWnd*>(w)) return f;
    return nullptr;
}

void CView::OnUpdate(CView*, long) {
    viewport()->update();
}

void CView::SetScrollSizes(QSize total) {
    m_total = total;
    UpdateBars();
    viewport()->update();
}

void CView::UpdateBars() {
    QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, m_total.width() - vp.width()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setRange(0, std::max(0, m_total.height() - vp.height()));
    verticalScrollBar()->setPageStep(vp.height());
}

void CView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    OnDraw(p);
}

void CView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateBars();
}

void CView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (AfxGetApp()) AfxGetApp()->RequestIdleUpdate();
}

// ------------------------------------------------------------------------------- CMDIChildWnd

CMDIChildWnd::CMDIChildWnd() {
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetUpWindowMenu();
}

void CMDIChildWnd::SetUpWindowMenu() {
    // The toolkit's window menu is also bound to this window, with the desktop's close keys on
    // Close: Ctrl+F4 and Ctrl+W. Ctrl+W is Paste As New Image, and two bindings of one key
    // cancel each other, so the menu keeps only the keys no command uses (Close stays on
    // Ctrl+F4). Its Stay on Top item has no place among image windows inside the main window:
    // the menu keeps Restore, Move, Size, Minimize, Maximize and Close.
    QMenu* menu = systemMenu();
    for (QAction* a : actions()) {
        if (a->isCheckable() && menu && menu->actions().contains(a)) {
            menu->removeAction(a);
            removeAction(a);
            continue;
        }
        QList<QKeySequence> keys = a->shortcuts();
        keys.removeIf([](const QKeySequence& k) { return IsCommandShortcut(k); });
        if (keys.size() != a->shortcuts().size()) a->setShortcuts(keys);
    }
}

void CMDIChildWnd::OnUpdateFrameTitle() {
    CDocument* doc = GetActiveDocument();
    if (!doc) return;
    QString title = doc->GetTitle();
    const auto& views = doc->GetViews();
    if (views.size() > 1) {
        auto it = std::find(views.begin(), views.end(), m_pView);
        title += QString(":%1").arg(int(it - views.begin()) + 1);
    }
    setWindowTitle(title);
}

void CMDIChildWnd::closeEvent(QCloseEvent* event) {
    if (m_bClosingByDocument) {
        event->accept();
        return;
    }
    CDocument* doc = GetActiveDocument();
    if (!doc) {
        event->accept();
        deleteLater();
        return;
    }
    if (doc->GetViews().size() > 1) {
        // Another window still shows the document: only this one goes.
        doc->RemoveView(m_pView);
        m_pView->m_pDocument = nullptr;
        doc->UpdateFrameTitles();
        event->accept();
        deleteLater();
        return;
    }
    if (!doc->SaveModified()) {
        event->ignore();
        return;
    }
    event->ignore(); // OnCloseDocument hides and deletes this frame itself
    doc->OnCloseDocument();
}

// -------------------------------------------------------------------------- CMultiDocTemplate

CMultiDocTemplate::CMultiDocTemplate(int resourceId, QString docString,
                                     std::function<CDocument*()> makeDocument,
                                     std::function<CMDIChildWnd*()> makeFrame,
                                     std::function<CView*()> makeView)
    : m_nIDResource(resourceId), m_docString(std::move(docString)),
      m_makeDocument(std::move(makeDocument)), m_makeFrame(std::move(makeFrame)),
      m_makeView(std::move(makeView)) {}

CMultiDocTemplate::~CMultiDocTemplate() {
    std::vector<CDocument*> docs = m_docs;
    m_docs.clear();
    for (CDocument* d : docs) {
        d->m_pDocTemplate = nullptr;
        delete d;
    }
}

QString CMultiDocTemplate::GetDocString(int index) const {
    return m_docString.section('\n', index, index);
}

void CMultiDocTemplate::RemoveDocument(CDocument* doc) {
    m_docs.erase(std::remove(m_docs.begin(), m_docs.end(), doc), m_docs.end());
}

CMDIChildWnd* CMultiDocTemplate::CreateNewFrame(CDocument* doc) {
    CFrameworkApp* app = AfxGetApp();
    CMDIFrameWnd* main = app ? app->GetMainWnd() : nullptr;
    if (!main) return nullptr;
    CMDIChildWnd* frame = m_makeFrame();
    CView* view = m_makeView();
    frame->setWidget(view);
    frame->m_pView = view;
    doc->AddView(view);
    main->MDIClient()->addSubWindow(frame);
    frame->OnUpdateFrameTitle();
    main->OnChildCreated(frame);
    return frame;
}

CDocument* CMultiDocTemplate::OpenDocumentFile(const QString& path, bool makeVisible) {
    CDocument* doc = m_makeDocument();
    doc->m_pDocTemplate = this;
    m_docs.push_back(doc);
    if (path.isEmpty()) {
        doc->m_strTitle = GetDocString(1) + QString::number(++m_nUntitledCount);
    }
    CMDIChildWnd* frame = CreateNewFrame(doc);
    if (!frame) {
        doc->OnCloseDocument();
        return nullptr;
    }
    bool ok = path.isEmpty() ? doc->OnNewDocument() : doc->OnOpenDocument(path);
    if (!ok) {
        doc->OnCloseDocument();
        return nullptr;
    }
    if (!path.isEmpty()) doc->SetPathName(path);
    frame->GetActiveView()->OnInitialUpdate();
    if (makeVisible) {
        frame->show();
        frame->setFocus();
        frame->widget()->setFocus();
    }
    if (CMDIFrameWnd* main = AfxGetApp()->GetMainWnd()) {
        main->RecalcMenu();
        main->OnUpdateFrameTitle();
    }
    AfxGetApp()->RequestIdleUpdate();
    return doc;
}

// -------------------------------------------------------------------------------- CDocManager

void CDocManager::AddDocTemplate(std::unique_ptr<CMultiDocTemplate> tmpl) {
    m_templates.push_back(std::move(tmpl));
}

std::vector<CDocument*> CDocManager::Documents() const {
    std::vector<CDocument*> all;
    for (const auto& t : m_templates)
        all.insert(all.end(), t->GetDocuments().begin(), t->GetDocuments().end());
    return all;
}

void CDocManager::OnFileNew() {
    if (CMultiDocTemplate* t = FirstTemplate()) t->OpenDocumentFile(QString());
}

void CDocManager::OnFileOpen() {
    QString path = PromptOpenFileName();
    if (!path.isEmpty()) OpenDocumentFile(path);
}

CDocument* CDocManager::OpenDocumentFile(const QString& path) {
    QString full = QFileInfo(path).absoluteFilePath();
    for (CDocument* d : Documents()) {
        if (d->GetPathName() == full && !d->GetViews().empty()) {
            if (CMDIChildWnd* f = d->GetViews().front()->GetParentFrame()) {
                f->mdiArea()->setActiveSubWindow(f);
            }
            return d;
        }
    }
    CMultiDocTemplate* t = FirstTemplate();
    return t ? t->OpenDocumentFile(full) : nullptr;
}

bool CDocManager::SaveAllModified() {
    for (CDocument* d : Documents())
        if (!d->SaveModified()) return false;
    return true;
}

void CDocManager::CloseAllDocuments() {
    for (CDocument* d : Documents()) d->OnCloseDocument();
}

QString CDocManager::PromptOpenFileName() {
    QWidget* parent = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
    return QFileDialog::getOpenFileName(parent, "Open", QString(),
                                        "Image files (*.bmp *.jpg *.jpeg *.png *.tif *.tiff "
                                        "*.gif);;All files (*)");
}

QString CDocManager::PromptSaveFileName(const QString& suggested) {
    QWidget* parent = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
    return QFileDialog::getSaveFileName(parent, "Save As", suggested + ".png",
                                        "PNG (*.png);;JPEG (*.jpg);;Bitmap (*.bmp);;"
                                        "TIFF (*.tif);;GIF (*.gif)");
}
