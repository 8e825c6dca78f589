#pragma once

#include "framework/DocView.h"

class CTilletCaptureApp;

// The document manager of the program: opening asks with the dialog that previews the
// pictures, saving with a Save As dialog of the writable formats, and a capture being saved
// automatically gets its name from the automatic naming without a dialog.
class CDocManagerEx : public CDocManager {
public:
    explicit CDocManagerEx(CTilletCaptureApp& app) : m_app(app) {}
    QString PromptOpenFileName() override;
    QString PromptSaveFileName(const QString& suggested) override;

private:
    CTilletCaptureApp& m_app;
};
