#pragma once

#include <QPointer>
#include <memory>

#include "app/CommandLine.h"
#include "editor/ImageDoc.h"
#include "framework/WinApp.h"
#include "platform/AppSettings.h"
#include "shell/MainFrameHost.h"

class CMainFrame;
class CInstanceChannel;
class CInstanceChecker;
class QTextBrowser;
class QPrinter;

// The application object: settings, the one document template, the hand-over slot for new
// pictures, start-up and shut-down.
class CTilletCaptureApp : public CFrameworkApp, public ImageDocHost, public MainFrameHost {
public:
    CTilletCaptureApp();
    ~CTilletCaptureApp() override;

    bool InitInstance() override;
    int ExitInstance() override;
    bool SaveAllModified() override;
    void WinHelp() override;

    // Writes the settings, the hotkeys as the hook library holds them now.
    void SaveSettings() override;

    // Help for a dialog's Help button (topic numbers as the dialogs use them).
    void HelpTopic(int topic) override;
    // Empties the recent-file list, refreshes the menus and stores the empty list.
    void ClearRecentFileList() override;

    // The pending picture: created empty on first use.
    CDisplayPicture& PendingImage();
    void ReleasePendingImage() { pendingImage.reset(); }

    // ImageDocHost
    std::unique_ptr<CDisplayPicture> TakePendingImage() override;
    QWidget* MainWindow() override;
    uint32_t ViewBackgroundColor() override { return settings.colorViewBackground; }
    uint32_t ImageBackgroundColor() override { return settings.colorImageBackground; }
    uint32_t TransparencyColor() override { return settings.colorTransparency; }
    bool TakePendingCaptureFlag() override {
        const bool flag = pendingFromCapture;
        pendingFromCapture = false;
        return flag;
    }
    void DeliverCapture(CTilletCaptureDoc* doc) override;
    ProgressSink* Progress() override;

    // MainFrameHost
    AppSettings& Settings() override { return settings; }
    bool HasDocTemplate() override { return m_pDocTemplate != nullptr; }
    void OpenNewImage(std::unique_ptr<CDisplayPicture> picture, bool fromCapture) override;
    bool IsStartedWithSystem() override;
    void SetStartWithSystem(bool on) override;

    CMainFrame* MainFrame() const;

    AppSettings settings;
    CMultiDocTemplate* m_pDocTemplate = nullptr;
    std::unique_ptr<CDisplayPicture> pendingImage;
    bool autoSavePending = false;
    // The next new document takes a captured picture.
    bool pendingFromCapture = false;
    // What the command line asks for: done here, or handed to the instance already running.
    StartRequest startRequest;
    // The process's exit status when InitInstance fails: non-zero when a request could not be
    // handed over.
    int startExitCode = 0;

    // Carries out a request of the command line (this start's or a later one's).
    void CarryOut(const StartRequest& request);

private:
    void OnAppAbout();
    void OnFileNewImage();
    void OnFilePrintSetup();
    // The printer and its settings, kept for the run from the first print command on.
    QPrinter& Printer();
    void PrintPicture(int commandId, const CDisplayPicture& picture);
    void ShowHelp(const std::string& topicPath);

    // Whether the previous instance took the request (tells the user when it did not).
    bool HandOver(CInstanceChecker& checker);

    std::unique_ptr<CInstanceChannel> m_channel;
    QPointer<QTextBrowser> m_help;
    std::unique_ptr<QPrinter> m_printer;
};
