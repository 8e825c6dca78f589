#include "app/TilletCaptureApp.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/AppServices.h"
#include "app/DocManagerEx.h"
#include "app/HelpWindow.h"
#include "app/InstanceChannel.h"
#include "app/InstanceChecker.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/AdjustDlg.h"
#include "dialogs/NewImageDlg.h"
#include "framework/MessageBox.h"
#include "hook/TilletHook.h"
#include "imagefile/TextException.h"
#include "print/PicturePrinter.h"
#include "print/PrintLayoutDlg.h"
#include "shell/MainFrame.h"
#include "view/ImageView.h"
#include "view/ViewPrinting.h"

namespace {
const char* kDocString = "\nOrvcap\nOrvcap\n\n\nOrvane Screen.Document\nOrvcap Document";
}

CTilletCaptureApp::CTilletCaptureApp() : CFrameworkApp("Orvane Screen") {
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_FILE_NEW, [this] { OnFileNewImage(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommand(ID_HELP_FINDER, [this] { WinHelp(); });
    SetImageDocHost(this);
    InstalledViewPrinting() = [this](int commandId, CTilletCaptureView& view) {
        CTilletCaptureDoc* doc = view.GetDocument();
        if (doc && doc->GetPicture()) PrintPicture(commandId, *doc->GetPicture());
    };
}

CTilletCaptureApp::~CTilletCaptureApp() {
    SetImageDocHost(nullptr);
    InstalledViewPrinting() = nullptr;
    delete m_help; // null when it was closed or went with the dialog that owned it
    // A frame still on screen (the session ended under it) is hidden first, while all of it
    // lives: hiding it on the way out of its destructor reaches parts already gone.
    if (m_pMainWnd) m_pMainWnd->hide();
    // Documents and their windows go before the frame that holds them.
    m_pDocManager.reset();
    delete m_pMainWnd;
    m_pMainWnd = nullptr;
}

CMainFrame* CTilletCaptureApp::MainFrame() const {
    return static_cast<CMainFrame*>(m_pMainWnd);
}

bool CTilletCaptureApp::InitInstance() {
    SetRegistryKey("Orvane");
    LoadStdProfileSettings(6);
    settings.Load(RegNames());

    InstallOperationDialogs();
    auto tmpl = std::make_unique<CMultiDocTemplate>(
        129, kDocString, [] { return new CTilletCaptureDoc; }, [] { return new CChildFrame; },
        [] { return new CTilletCaptureView; });
    m_pDocTemplate = tmpl.get();
    auto manager = std::make_unique<CDocManagerEx>(*this);
    manager->AddDocTemplate(std::move(tmpl));
    SetDocManager(std::move(manager));

    auto* frame = new CMainFrame(*this);
    SetMainWnd(frame);
    if (!frame->Create()) return false;
    frame->OnUpdateFrameTitle();

    const char* display = std::getenv("DISPLAY");
    CInstanceChecker checker(AppName().toStdString(), display ? display : "");
    if (checker.PreviousInstanceRunning(uint64_t(frame->winId()))) {
        if (!HandOver(checker)) startExitCode = 1;
        return false;
    }
    // Later starts of the program reach this one through its main window.
    m_channel = std::make_unique<CInstanceChannel>(
        [frame] { QTimer::singleShot(0, frame, [frame] { frame->RestoreAndActivate(); }); },
        [this, frame](const std::string& bytes) {
            StartRequest request;
            if (!DecodeStartRequest(bytes, request) || request.Empty()) return false;
            QTimer::singleShot(0, frame, [this, request] { CarryOut(request); });
            return true;
        });

    if (settings.autoSave.options & ASO_RESET_COUNTER_ON_STARTUP) settings.autoSave.startNO = 1;

    // Starting in the notification area: the window is never mapped at all, which spares a
    // flash on screen; it appears when the icon, a second start or a capture asks for it.
    if (!(settings.optionsA & OPTA_TRAY_ON_STARTUP) || !frame->HasTray()) frame->show();
    // A command line asking for something is served once the program runs, as if a later
    // start had asked.
    if (!startRequest.Empty()) QTimer::singleShot(0, frame, [this] { CarryOut(startRequest); });
    return true;
}

bool CTilletCaptureApp::HandOver(CInstanceChecker& checker) {
    // A plain start only asks the other instance to come forward, as it always has.
    if (startRequest.Empty()) {
        checker.ActivatePreviousInstance();
        return true;
    }
    const char* why = nullptr;
    switch (checker.ActivatePreviousInstance(EncodeStartRequest(startRequest))) {
    case CInstanceChecker::Answer::Accepted:
        return true;
    case CInstanceChecker::Answer::Refused:
        why = "the running instance refused the request";
        break;
    case CInstanceChecker::Answer::NoAnswer:
        why = "the running instance did not answer in time; the request may not be carried out";
        break;
    case CInstanceChecker::Answer::Unreachable:
        why = "the running instance could not be reached";
        break;
    }
    std::fprintf(stderr, "OrvaneScreen: %s\n", why);
    return false;
}

void CTilletCaptureApp::CarryOut(const StartRequest& request) {
    CMainFrame* frame = MainFrame();
    if (!frame) return;
    if (request.captureAction >= 0) {
        // Exactly what the action's hotkey does; the virtual-key code plays no part.
        frame->PostHotkey(request.captureAction, 0);
        return;
    }
    if (request.files.empty() || !m_pDocManager) return;
    // The window comes up first: the files open into it, and a file that cannot be read is
    // reported over it, as File > Open does.
    frame->RestoreAndActivate();
    for (const std::string& file : request.files)
        m_pDocManager->OpenDocumentFile(QFile::decodeName(QByteArray::fromStdString(file)));
}

void CTilletCaptureApp::SaveSettings() {
    // The live table is the hook library's: it holds what the user set since the start.
    if (MainFrame()) ORV_GetCaptureHotKey(settings.hotkeys.keys);
    settings.Save(RegNames());
}

int CTilletCaptureApp::ExitInstance() {
    SaveSettings();
    int code = CFrameworkApp::ExitInstance();
    if (settings.optionsA & OPTA_RESET_MRU_ON_EXIT) ClearRecentFileList();
    return code;
}

bool CTilletCaptureApp::SaveAllModified() {
    CMainFrame* frame = MainFrame();
    if (frame && frame->closeToTray) {
        frame->closeToTray = 0;
        // Hidden straight away: a minimize first would be answered by the window manager
        // late, possibly after a restore had shown the window again.
        frame->HideToTray();
        return false;
    }
    if (!(settings.optionsA & OPTA_PROMPT_SAVE)) return true;
    int modified = 0;
    for (CDocument* d : m_pDocManager->Documents())
        if (d->IsModified()) ++modified;
    if (modified > 1) {
        QString text = QString("There are %1 images that haven't been saved or have changed "
                               "since they are saved. Would you like to be prompted  to save "
                               "each image?")
                           .arg(modified);
        auto answer =
            AfxMessageBox(frame, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                          QMessageBox::Information, QMessageBox::Yes);
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::No) return true;
    }
    return CFrameworkApp::SaveAllModified();
}

void CTilletCaptureApp::ClearRecentFileList() {
    if (!m_pRecentFileList) return;
    m_pRecentFileList->Clear();
    // The File menu rebuilds its entries each time it opens, so it shows the change.
    SaveStdProfileSettings();
}

CDisplayPicture& CTilletCaptureApp::PendingImage() {
    if (!pendingImage) pendingImage = std::make_unique<CDisplayPicture>();
    return *pendingImage;
}

void CTilletCaptureApp::OpenNewImage(std::unique_ptr<CDisplayPicture> picture, bool fromCapture) {
    if (!m_pDocTemplate) return;
    pendingImage = std::move(picture);
    pendingFromCapture = fromCapture;
    m_pDocTemplate->OpenDocumentFile(QString());
    pendingFromCapture = false;
}

std::unique_ptr<CDisplayPicture> CTilletCaptureApp::TakePendingImage() {
    PendingImage();
    return std::move(pendingImage);
}

ProgressSink* CTilletCaptureApp::Progress() {
    return MainFrame();
}

void CTilletCaptureApp::DeliverCapture(CTilletCaptureDoc* doc) {
    const DWORD options = settings.optionsA;
    if (CMainFrame* frame = MainFrame()) frame->Capture().Mark("delivery");
    if ((options & OPTA_COPY_TO_CLIPBOARD) && doc->GetPicture())
        doc->GetPicture()->CopyToClipboard();
    if (CMainFrame* frame = MainFrame()) frame->Capture().Mark("clipboard");
    if (options & OPTA_SAVE_TO_FILE) {
        autoSavePending = true;
        doc->DoFileSave();
    }
    if ((options & OPTA_PRINT) && doc->GetPicture()) {
        if (options & OPTA_SKIP_PRINT_DIALOG) {
            // Nobody is asked anything: without a printer the PDF goes beside the capture.
            const QString pdf =
                CapturePdfName(doc->GetPathName(), QString::fromUtf8(settings.autoSave.path),
                               QString::fromUtf8(settings.autoSave.leadFileName),
                               int(settings.autoSave.digitCount));
            PrintUnattended(Printer(), *doc->GetPicture(), settings.printLayout, pdf, m_pMainWnd);
        } else {
            PrintPicture(ID_FILE_PRINT, *doc->GetPicture());
        }
    }
    if (CMainFrame* frame = MainFrame()) frame->Capture().CaptureDelivered();
}

QWidget* CTilletCaptureApp::MainWindow() {
    return m_pMainWnd;
}

void CTilletCaptureApp::OnAppAbout() {
    CAboutDlg dlg(m_pMainWnd && m_pMainWnd->isVisible() ? m_pMainWnd : nullptr);
    dlg.exec();
}

void CTilletCaptureApp::OnFileNewImage() {
    CNewImageDlg dlg(m_pMainWnd);
    if (dlg.exec() != QDialog::Accepted) return;
    CDisplayPicture& picture = PendingImage();
    try {
        picture.Create(dlg.PixelWidth(), dlg.PixelHeight(), 32, false);
    } catch (const CTextException& e) {
        ReleasePendingImage();
        QMessageBox::warning(m_pMainWnd, AppName(), QString::fromStdString(e.GetText()));
        return;
    }
    // A blank image is white.
    for (int y = 0; y < picture.GetHeight(); ++y)
        std::memset(picture.GetLineArray()[y], 0xFF, size_t(picture.GetWidth()) * 4);
    CFrameworkApp::OnFileNew();
}

QPrinter& CTilletCaptureApp::Printer() {
    if (!m_printer) m_printer = std::make_unique<QPrinter>();
    return *m_printer;
}

void CTilletCaptureApp::PrintPicture(int commandId, const CDisplayPicture& picture) {
    PrintRun how = PrintRun::Dialog;
    if (commandId == ID_FILE_PRINT_PREVIEW)
        how = PrintRun::Preview;
    else if (commandId == ID_FILE_PRINT_DIRECT || (settings.optionsA & OPTA_SKIP_PRINT_DIALOG))
        how = PrintRun::Direct;
    RunPrint(how, Printer(), picture, settings.printLayout, m_pMainWnd);
}

void CTilletCaptureApp::OnFilePrintSetup() {
    // The layout previews the active picture, when there is one.
    const CDisplayPicture* picture = nullptr;
    if (CMainFrame* frame = MainFrame())
        if (auto* doc = dynamic_cast<CTilletCaptureDoc*>(frame->GetActiveDocument()))
            picture = doc->GetPicture();
    CPrintSetupEx dlg(&Printer(), settings.printLayout, picture, m_pMainWnd);
    dlg.exec();
    if (!m_printer->isValid()) QMessageBox::critical(m_pMainWnd, AppName(), PrinterTroubleText());
}

void CTilletCaptureApp::WinHelp() {
    ShowHelp(HelpTopicPath(0));
}

void CTilletCaptureApp::HelpTopic(int topic) {
    ShowHelp(HelpTopicPath(topic));
}

void CTilletCaptureApp::ShowHelp(const std::string& topicPath) {
    ShowHelpPage(m_help, QString::fromStdString(HelpLocation(settings.programPath, topicPath)),
                 AppName() + " Help");
}

bool CTilletCaptureApp::IsStartedWithSystem() {
    return ::IsStartedWithSystem();
}

void CTilletCaptureApp::SetStartWithSystem(bool on) {
    ::SetStartWithSystem(on, settings.programPath);
}
