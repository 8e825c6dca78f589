#pragma once

#include <cstdint>
#include <functional>

class CTilletCaptureDoc;

// What the parameter dialogs of the Operations menu hand back to the document, as the dialogs
// hold them; the document turns them into the filters' parameters.
struct RotateDialogValues {
    int degrees = 0;
    uint32_t background = 0x00FF00FF; // 0x00BBGGRR
};
struct BrightnessDialogValues {
    int brightness = 0;
};
struct ContrastDialogValues {
    double contrast = 10; // in tenths: the trackbar position
    int offset = 125;
};
struct IntensityDialogValues {
    double intensity = 20;
    uint8_t offset = 128;
    double exponent = 1.0;
};

// The dialogs live above the document, so the program installs the functions that run them.
// A dialog with a preview runs modally for the document and answers true when it ended with
// OK, its values filled in. A command whose dialog is not installed does nothing.
template <class Values> using OperationDialog = std::function<bool(CTilletCaptureDoc&, Values&)>;

struct OperationDialogs {
    // Resize, Scale or Stretch, by command ID: the dialog changes the picture itself, through
    // the history's tentative command, on a document that has made its backup.
    std::function<void(int commandId, CTilletCaptureDoc&)> resize;
    OperationDialog<RotateDialogValues> rotate;
    OperationDialog<BrightnessDialogValues> brightness;
    OperationDialog<ContrastDialogValues> contrast;
    OperationDialog<IntensityDialogValues> intensity;
};

inline OperationDialogs& InstalledOperationDialogs() {
    static OperationDialogs dialogs;
    return dialogs;
}
