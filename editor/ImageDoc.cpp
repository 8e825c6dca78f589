#include "editor/ImageDoc.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <algorithm>

#include "editor/Filters.h"
#include "editor/OperationDialogs.h"
#include "framework/Commands.h"
#include "framework/MessageBox.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureEncoder.h"
#include "imagefile/TextException.h"

namespace {
ImageDocHost* g_host = nullptr;

void PostToMainWindow(int type) {
    if (g_host && g_host->MainWindow())
        QCoreApplication::postEvent(g_host->MainWindow(), new QEvent(QEvent::Type(type)));
}

QWidget* MainWindow() {
    return g_host ? g_host->MainWindow() : nullptr;
}

ProgressSink* Progress() {
    return g_host ? g_host->Progress() : nullptr;
}

// The wait cursor for the length of a long piece of work.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

template <class Filter> ImageFilter* Make(ProgressSink* progress) {
    return new Filter(progress);
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
    OnCommand(ID_OP_ROTATE_CW, [this] {
        RunColorOperation(
            [](ProgressSink* p) -> ImageFilter* {
                return new RotateFilter(-RotateFilter::kQuarterTurn, 0, p);
            },
            "Rotate the image clockwise by 90 degree");
    });
    OnCommand(ID_OP_ROTATE_CCW, [this] {
        RunColorOperation(
            [](ProgressSink* p) -> ImageFilter* {
                return new RotateFilter(RotateFilter::kQuarterTurn, 0, p);
            },
            "Rotate the image counter-clockwise by 90 degree");
    });
    OnCommand(ID_OP_FLIP_H, [this] {
        RunColorOperation(Make<FlipHorizontalFilter>, "Flips the image left to right");
    });
    OnCommand(ID_OP_FLIP_V, [this] {
        RunColorOperation(Make<FlipVerticalFilter>, "Flips the image top to bottom");
    });
    OnCommand(ID_OP_GRAYSCALE, [this] {
        RunColorOperation(Make<GrayscaleFilter>, "Convert the image to grayscale picture");
    });
    OnCommand(ID_OP_INVERT, [this] { RunColorOperation(Make<InvertFilter>, "Invert the image"); });
    for (int id : {ID_OP_RESIZE, ID_OP_SCALE, ID_OP_STRETCH})
        OnCommand(id, [this, id] { RunResizeDialog(id); });
    OnCommand(ID_OP_ROTATE_ANY, [this] {
        RotateDialogValues v;
        if (!RunOperationDialog(InstalledOperationDialogs().rotate, v)) return;
        // The colour reference 0x00BBGGRR becomes an opaque pixel 0xAARRGGBB.
        const uint32_t background = 0xFF000000u | (v.background & 0xFF) << 16 |
                                    (v.background & 0xFF00) | (v.background >> 16 & 0xFF);
        RunCommand(
            new RotateFilter(v.degrees * RotateFilter::kRadiansPerDegree, background, Progress()),
            "Rotate the image by the select angle");
    });
    OnCommand(ID_OP_BRIGHTNESS, [this] {
        BrightnessDialogValues v;
        if (!RunOperationDialog(InstalledOperationDialogs().brightness, v)) return;
        RunCommand(new BrightnessFilter(int(v.brightness * 0.36), Progress()),
                   "Change the image brightness");
    });
    OnCommand(ID_OP_CONTRAST, [this] {
        ContrastDialogValues v;
        if (!RunOperationDialog(InstalledOperationDialogs().contrast, v)) return;
        RunCommand(new ContrastFilter(v.contrast * 0.1, uint8_t(v.offset), Progress()),
                   "Adjust the image constrast");
    });
    OnCommand(ID_OP_INTENSITY, [this] {
        IntensityDialogValues v;
        if (!RunOperationDialog(InstalledOperationDialogs().intensity, v)) return;
        RunCommand(new IntensityFilter(v.intensity, v.offset, v.exponent, Progress()),
                   "Adjust the image intensity");
    });
    OnCommand(ID_EDIT_UNDO, [this] {
        if (!m_picture) return;
        WaitCursor wait;
        if (m_history.Undo()) StepFromSave(-1);
        UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    });
    OnUpdate(ID_EDIT_UNDO, [this](CCmdUI& ui) { ui.Enable(m_history.CanUndo()); });
    OnCommand(ID_EDIT_REDO, [this] {
        if (!m_picture) return;
        WaitCursor wait;
        try {
            if (m_history.Redo()) StepFromSave(1);
        } catch (const CTextException& e) {
            AfxMessageBox(MainWindow(), QString::fromStdString(e.GetText()), QMessageBox::Ok,
                          QMessageBox::Warning, QMessageBox::Ok);
        }
        UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    });
    OnUpdate(ID_EDIT_REDO, [this](CCmdUI& ui) { ui.Enable(m_history.CanRedo()); });
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
    // Once saved, the mark measures from the save: the file holds that picture.
    const bool away = m_stepsFromSave ? *m_stepsFromSave != 0 : m_history.GetCleanDistance() != 0;
    QString title = m_baseTitle + (IsModified() || away ? " *" : "");
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
        // The next open dialog starts where this file came from.
        QDir::setCurrent(QFileInfo(path).absolutePath());
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
    m_stepsFromSave = 0;
    SetModifiedFlag(false);
    return true;
}

void CTilletCaptureDoc::StepFromSave(int step) {
    if (!m_stepsFromSave) return;
    constexpr int kUnreachable = 1 << 20;
    int& steps = *m_stepsFromSave;
    if (step == 0) // a new command: a saved state ahead of us is gone with the redo branch
        steps = steps < 0 ? kUnreachable : std::min(steps + 1, kUnreachable);
    else if (steps != kUnreachable)
        steps += step;
    SetModifiedFlag(steps != 0);
}

void CTilletCaptureDoc::DeleteContents() {
    // The commands point at the picture: they go with it.
    m_history.Clear();
    m_stepsFromSave.reset();
    m_picture.reset();
    CDocument::DeleteContents();
}

void CTilletCaptureDoc::OnCloseDocument() {
    PostToMainWindow(WM_DOC_COUNT_CHANGED);
    CDocument::OnCloseDocument();
}

bool CTilletCaptureDoc::EnsureTrueColor() {
    if (!m_picture || m_picture->GetBitsPerPixel() == 32) return true;
    // Every operation is named "Resize" in the question.
    const QString text = QString("This is not a 24 bit per-pixel image, %1 operation must use "
                                 "24 bit per-pixel image,do you convert it to 24 bit "
                                 "per-pixel image?")
                             .arg("Resize");
    if (AfxMessageBox(MainWindow(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                      QMessageBox::Yes) != QMessageBox::Yes)
        return false;
    WaitCursor wait;
    CDisplayPicture converted;
    converted.CopyWithDepth(*m_picture, 32);
    m_picture->CopyWithDepth(converted, 0);
    UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    return true;
}

bool CTilletCaptureDoc::RunCommand(ImageFilter* filter, const std::string& description) {
    std::unique_ptr<ImageFilter> owned(filter);
    if (!m_picture) return false;
    WaitCursor wait;
    try {
        auto* command = new CTilletCommand(this, owned.release(), description);
        if (!m_history.Do(command, 1)) return false;
        StepFromSave(0);
    } catch (const CTextException& e) {
        // The picture is replaced only when a filter has finished: nothing changed.
        AfxMessageBox(MainWindow(), QString::fromStdString(e.GetText()), QMessageBox::Ok,
                      QMessageBox::Warning, QMessageBox::Ok);
        return false;
    }
    UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    return true;
}

void CTilletCaptureDoc::RunResizeDialog(int commandId) {
    const auto& run = InstalledOperationDialogs().resize;
    if (!m_picture || !run || !EnsureTrueColor()) return;
    MakeBackup();
    // Done pushes the applied change: the only way the position moves while the dialog is open.
    const int position = m_history.GetPosition();
    run(commandId, *this);
    DropBackup();
    if (m_history.GetPosition() != position) StepFromSave(0);
    UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
}

void CTilletCaptureDoc::RunColorOperation(ImageFilter* (*make)(ProgressSink*),
                                          const char* description) {
    if (!m_picture || !EnsureTrueColor()) return;
    RunCommand(make(Progress()), description);
}

template <class Values>
bool CTilletCaptureDoc::RunOperationDialog(
    const std::function<bool(CTilletCaptureDoc&, Values&)>& run, Values& values) {
    if (!m_picture || !run || !EnsureTrueColor()) return false;
    return run(*this, values);
}

void CTilletCaptureDoc::MoveRegion(const CRect& area, const CRect& source, const CRect& destination,
                                   bool copy) {
    if (!m_picture) return;
    const uint32_t fill = g_host ? g_host->ImageBackgroundColor() : 0x00C08000;
    RunCommand(new RegionMoveFilter(area, source, destination, fill, copy, Progress()),
               "Copy or move selected rectangle region from source position to destination "
               "position");
}

void CTilletCaptureDoc::PasteImage(const CPicture& pasted, const CRect& pastedArea,
                                   const CRect& destination) {
    if (!m_picture) return;
    RunCommand(new PasteFilter(pasted, pastedArea, destination, Progress()),
               "Paste the selected image to clipboard");
}

void CTilletCaptureDoc::MakeBackup() {
    if (!m_picture) {
        m_backupPicture.reset();
        return;
    }
    if (!m_backupPicture) m_backupPicture = std::make_unique<CDisplayPicture>();
    m_backupPicture->CopyWithDepth(*m_picture, 0);
}

void CTilletCaptureDoc::UpdateAllViews(int hint, CCommand*) {
    UpdateAllViews(nullptr, long(hint));
}

void CTilletCaptureDoc::SetStatusText(const std::string& text) {
    if (auto* main = qobject_cast<QMainWindow*>(MainWindow()))
        main->statusBar()->showMessage(QString::fromStdString(text));
}
