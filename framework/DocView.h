#pragma once

#include <QAbstractScrollArea>
#include <QMdiSubWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "framework/CmdTarget.h"

class CView;
class CMDIChildWnd;
class CMultiDocTemplate;

// A document: its data, title, file and modified flag, and the views that show it. Owned by
// its template; closing its last frame (or OnCloseDocument) deletes it.
class CDocument : public CCmdTarget {
public:
    virtual ~CDocument();

    const QString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const QString& title);
    const QString& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const QString& path, bool addToMRU = true);
    virtual bool IsModified() const { return m_bModified; }
    virtual void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const QString& path);
    virtual bool OnSaveDocument(const QString& path);
    virtual void DeleteContents() {}
    virtual void OnCloseDocument();
    // Asks to save a modified document: Yes saves (false when that fails), Cancel is false.
    virtual bool SaveModified();
    // Saves under path, or asks for a name when path is empty.
    bool DoSave(const QString& path);
    bool DoFileSave();

    void UpdateAllViews(CView* sender, long hint = 0);
    const std::vector<CView*>& GetViews() const { return m_views; }
    CMultiDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    // Called by the framework.
    void AddView(CView* view);
    void RemoveView(CView* view);
    void UpdateFrameTitles();

protected:
    CDocument();

private:
    friend class CMultiDocTemplate;
    QString m_strTitle;
    QString m_strPathName;
    bool m_bModified = false;
    std::vector<CView*> m_views;
    CMultiDocTemplate* m_pDocTemplate = nullptr;
};

// A view: draws its document in a scrollable area. OnDraw gets a painter in document
// coordinates (scrolling already applied).
class CView : public QAbstractScrollArea, public CCmdTarget {
public:
    CView();
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CMDIChildWnd* GetParentFrame() const;
    virtual void OnDraw(QPainter& painter) = 0;
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
    virtual void OnUpdate(CView* sender, long hint);
    void SetScrollSizes(QSize total);
    QSize GetTotalSize() const { return m_total; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    friend class CDocument;
    friend class CMultiDocTemplate;
    friend class CMDIChildWnd;
    void UpdateBars();
    CDocument* m_pDocument = nullptr;
    QSize m_total;
};

// An MDI child frame holding one view. Closing the last frame of a document asks the
// document to save and then closes it.
class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget {
public:
    CMDIChildWnd();
    CView* GetActiveView() const { return m_pView; }
    CDocument* GetActiveDocument() const { return m_pView ? m_pView->GetDocument() : nullptr; }
    void OnUpdateFrameTitle();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Fits the window's own menu to the program: no key of a command on its items, so that
    // the main frame's accelerators reach their commands whatever windows are open. A frame
    // that replaces the window menu (setSystemMenu) calls it again.
    void SetUpWindowMenu();

private:
    friend class CMultiDocTemplate;
    friend class CDocument;
    CView* m_pView = nullptr;
    bool m_bClosingByDocument = false;
};

// Makes documents with their frames and views. The document string holds, separated by new
// lines: window title, document name (untitled documents are named after it with a number),
// file-new name, filter name, filter extension, file type id and file type name.
class CMultiDocTemplate {
public:
    CMultiDocTemplate(int resourceId, QString docString, std::function<CDocument*()> makeDocument,
                      std::function<CMDIChildWnd*()> makeFrame, std::function<CView*()> makeView);
    ~CMultiDocTemplate();

    int GetResourceId() const { return m_nIDResource; }
    QString GetDocString(int index) const;
    // An empty path makes a new untitled document.
    CDocument* OpenDocumentFile(const QString& path, bool makeVisible = true);
    CMDIChildWnd* CreateNewFrame(CDocument* doc);
    const std::vector<CDocument*>& GetDocuments() const { return m_docs; }
    void RemoveDocument(CDocument* doc);

private:
    int m_nIDResource;
    QString m_docString;
    std::function<CDocument*()> m_makeDocument;
    std::function<CMDIChildWnd*()> m_makeFrame;
    std::function<CView*()> m_makeView;
    std::vector<CDocument*> m_docs;
    int m_nUntitledCount = 0;
};

// Every template and every open document.
class CDocManager {
public:
    virtual ~CDocManager() = default;
    void AddDocTemplate(std::unique_ptr<CMultiDocTemplate> tmpl);
    CMultiDocTemplate* FirstTemplate() const {
        return m_templates.empty() ? nullptr : m_templates.front().get();
    }
    std::vector<CDocument*> Documents() const;
    int GetOpenDocumentCount() const { return int(Documents().size()); }

    virtual void OnFileNew();
    virtual void OnFileOpen();
    virtual CDocument* OpenDocumentFile(const QString& path);
    // Asks each modified document in turn; false when the user cancels.
    virtual bool SaveAllModified();
    void CloseAllDocuments();
    // The file dialogs; the image layer supplies its own.
    virtual QString PromptOpenFileName();
    virtual QString PromptSaveFileName(const QString& suggested);

private:
    std::vector<std::unique_ptr<CMultiDocTemplate>> m_templates;
};
