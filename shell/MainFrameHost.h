#pragma once

#include <memory>

#include "imagefile/DisplayPicture.h"
#include "platform/AppSettings.h"

// What the main frame needs of the application object that owns it.
class MainFrameHost {
public:
    virtual ~MainFrameHost() = default;
    virtual AppSettings& Settings() = 0;
    // Whether new image windows can be made (the document template exists).
    virtual bool HasDocTemplate() = 0;
    // Opens a new untitled image window holding picture. fromCapture: the picture is a
    // capture, whose deliveries (clipboard, file, printer) the new window then runs.
    virtual void OpenNewImage(std::unique_ptr<CDisplayPicture> picture, bool fromCapture) = 0;
    // Writes the settings (with the live hotkey table) to the store now.
    virtual void SaveSettings() = 0;
    // The entry that starts the program with the desktop session.
    virtual bool IsStartedWithSystem() = 0;
    virtual void SetStartWithSystem(bool on) = 0;
    virtual void ClearRecentFileList() = 0;
};
