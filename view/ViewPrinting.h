#pragma once

#include <functional>

class CTilletCaptureView;

// Printing lives above the view, so the program installs the function that runs Print, Print
// Direct and Print Preview (by command ID) for a view. Without one the commands do nothing.
inline std::function<void(int commandId, CTilletCaptureView&)>& InstalledViewPrinting() {
    static std::function<void(int, CTilletCaptureView&)> printing;
    return printing;
}
