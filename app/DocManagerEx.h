#pragma once

#include "framework/DocView.h"

class CTilletCaptureApp;

// The document manager of the program: a capture being saved automatically gets its name
// from the automatic naming instead of a Save As dialog.
class CDocManagerEx : public CDocManager {
public:
    explicit CDocManagerEx(CTilletCaptureApp& app) : m_app(app) {}
    QString PromptSaveFileName(const QString& suggested) override;

private:
    CTilletCaptureApp& m_app;
};
