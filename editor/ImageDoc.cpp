#include "editor/ImageDoc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

#include "framework/Commands.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureEncoder.h"
#include "imagefile/TextException.h"

namespace {
ImageDocHost* g_host = nullptr;

void PostToMainWindow(int type) {
    if (g_host && g_host->MainWindow())
        QCoreApplication::postEvent(g_host->MainWindow(), new QEvent(QEvent::Type(type)));
}
} // namespace

void SetImageDocHost(ImageDocHost* host) {
    g_host = host;
}
ImageDocHost* GetImageDocHost() {
    return g_host;
}

void LoadPictureFile(const QString& path, CDisplayPicture& picture) {
    static ImageDecoder decoder;
    decoder.MakePictureFromFile(path.toStdString(), picture, 0,
                                g_host ? g_host->Progress() : nullptr);
}

void SavePictureFile(const QString& path, const CDisplayPicture& picture) {
    // A name whose extension no encoder knows is a failed save, never a silent one.
    if (!EncodePictureByExtension(path.toStdString(), picture))
        throw CTextException(CTextException::NotSupported,
                             "Unknown file type: use the extension jpg, tif, png, bmp or gif.");
}

CTilletCaptureDoc::CTilletCaptureDoc() {
    OnCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnUpdate(ID_FILE_SAVE, [this](CCmdUI& ui) { ui.Enable(IsModified()); });
    OnCommand(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
    OnCommand(ID_FILE_CLOSE, [this] {
        if (SaveModified()) OnCloseDocument();
    });
}

CTilletCaptureDoc::~CTilletCaptureDoc() = default;

void CTilletCaptureDoc::SetTitle(const QString& title) {
    m_baseTitle = title;
    CDocument::SetTitle(title);
    UpdateTitle();
}

void CTilletCaptureDoc::SetModifiedFlag(bool modified) {
    CDocument::SetModifiedFlag(modified);
    UpdateTitle();
}

void CTilletCaptureDoc::UpdateTitle() {
    if (m_baseTitle.isEmpty() && !GetTitle().isEmpty()) m_baseTitle = GetTitle();
    if (m_baseTitle.isEmpty()) return;
    QString title = m_baseTitle + (IsModified() ? " *" : "");
    if (title != GetTitle()) CDocument::SetTitle(title);
}

bool CTilletCaptureDoc::OnNewDocument() {
    bool ok = CDocument::OnNewDocument();
    if (ok) {
        try {
            std::unique_ptr<CDisplayPicture> pending;
            if (g_host) pending = g_host->TakePendingImage();
            if (!m_picture) m_picture = std::make_unique<CDisplayPicture>();
            if (g_host) fromCapture = g_host->TakePendingCaptureFlag() ? 1 : 0;
            // The handed-over picture becomes the document's own, without a copy.
            if (pending && pending->GetWidth() > 0) m_picture = std::move(pending);
        } catch (const CTextException&) {
            QMessageBox::warning(g_host ? g_host->MainWindow() : nullptr,
                                 QCoreApplication::applicationName(),
                                 "Handle error in Document class!");
            DeleteContents();
            ok = false;
        }
    }
    PostToMainWindow(WM_DOC_COUNT_CHANGED);
    SetModifiedFlag(true);
    UpdateTitle();
    return ok;
}

bool CTilletCaptureDoc::OnOpenDocument(const QString& path) {
    DeleteContents();
    m_picture = std::make_unique<CDisplayPicture>();
    bool ok = true;
    try {
        LoadPictureFile(path, *m_picture);
        SetModifiedFlag(false);
    } catch (const CTextException& e) {
        QMessageBox::warning(g_host ? g_host->MainWindow() : nullptr,
                             QCoreApplication::applicationName(),
                             QString::fromStdString(e.GetText()));
        DeleteContents();
        ok = false;
    }
    PostToMainWindow(WM_DOC_COUNT_CHANGED);
    return ok;
}

bool CTilletCaptureDoc::OnSaveDocument(const QString& path) {
    if (!m_picture) return false;
    try {
        SavePictureFile(path, *m_picture);
    } catch (const CTextException& e) {
        QMessageBox::warning(
            g_host ? g_host->MainWindow() : nullptr, QCoreApplication::applicationName(),
            QString("Error saving the file: %1").arg(QString::fromStdString(e.GetText())));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CTilletCaptureDoc::DeleteContents() {
    m_picture.reset();
    CDocument::DeleteContents();
}

void CTilletCaptureDoc::OnCloseDocument() {
    PostToMainWindow(WM_DOC_COUNT_CHANGED);
    CDocument::OnCloseDocument();
}
