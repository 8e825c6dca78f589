#include "app/DocManagerEx.h"

#include "app/TilletCaptureApp.h"
#include "capture/AutoSaveName.h"
#include "framework/FrameWnd.h"
#include "framework/MessageBox.h"
#include "imagefile/FilePreviewDlg.h"
#include "platform/RegProfile.h"

QString CDocManagerEx::PromptOpenFileName() {
    CFilePreviewDlg dialog(m_app.GetMainWnd(), QStringLiteral("Open"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString CDocManagerEx::PromptSaveFileName(const QString& suggested) {
    AppSettings& s = m_app.settings;
    if (!(m_app.autoSavePending && (s.optionsA & OPTA_AUTO_NAME))) {
        // The dialog path clears the request too, so that a later save of another untitled
        // image is not named automatically behind the user's back.
        m_app.autoSavePending = false;
        QFileDialog dialog(m_app.GetMainWnd(), QStringLiteral("Save As"));
        SetUpSaveAsDialog(dialog, suggested);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first();
    }
    m_app.autoSavePending = false;

    AutoSaveRequest request;
    request.directory = s.autoSave.path;
    request.leadName = s.autoSave.leadFileName;
    request.digitCount = uint16_t(s.autoSave.digitCount);
    request.options = s.autoSave.options;
    AppSettings::OutputExtension(s.autoSave.imageType, request.extension);
    QWidget* parent =
        m_app.MainWindow() && m_app.MainWindow()->isVisible() ? m_app.MainWindow() : nullptr;
    auto ask = [parent](int id, const std::string& argument) {
        const QString arg = QString::fromStdString(argument);
        switch (id) {
        case IDS_AUTOSAVE_NO_DIRECTORY:
            AfxMessageBox(parent,
                          QString("The Directory of %1 doesn't exist. Please choose correct "
                                  "directory from Options menu item.")
                              .arg(arg),
                          QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok);
            return AutoSaveAnswer::Cancel;
        case IDS_AUTOSAVE_FILE_EXISTS: {
            const auto answer = AfxMessageBox(
                parent, QString("File %1 has always existed. Would you like replace it?").arg(arg),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Information,
                QMessageBox::Yes);
            return answer == QMessageBox::Yes  ? AutoSaveAnswer::Yes
                   : answer == QMessageBox::No ? AutoSaveAnswer::No
                                               : AutoSaveAnswer::Cancel;
        }
        default:
            AfxMessageBox(parent, "The start number of file name reach maxium value!",
                          QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok);
            return AutoSaveAnswer::Cancel;
        }
    };
    uint32_t counter = uint32_t(s.autoSave.startNO);
    std::string name;
    const bool ok = MakeAutoSaveName(request, counter, ask, name);
    if (int(counter) != s.autoSave.startNO) {
        s.autoSave.startNO = int(counter);
        // Stored at once: after a crash the next start must not name (and, with replacing
        // on, overwrite) a file this run has already written.
        CRegProfile profile(m_app.RegNames(), false);
        profile.OpenRootCreate(RegRoot::CurrentUser);
        profile.SetSection("CaptureOptions");
        profile.IntValue("AutoSaveStartNO", s.autoSave.startNO);
    }
    return ok ? QString::fromStdString(name) : QString();
}
