// Times the parameter dialogs' live preview on a 3840 x 2160 picture: from a trackbar step to
// the preview repainted, for every step across each dialog's range (offscreen). Also how long
// the dialog takes to give its preview the picture, and, for comparison, what one step would
// cost if the filter ran on the full-size picture.
#include <QApplication>
#include <QSlider>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "BenchPictures.h"
#include "dialogs/AdjustDlg.h"
#include "dialogs/RotateDlg.h"
#include "editor/Filters.h"
#include "imagefile/DisplayPicture.h"

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* name, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-11s steps %4zu  median %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", name,
                times.size(), times[times.size() / 2], times[times.size() * 95 / 100],
                times.back());
}

// Drags the first trackbar across its whole range, one step at a time.
void Drag(const char* name, CPreviewDlg& dialog, const CPicture& picture) {
    dialog.show();
    // Exposed first, so that a repaint paints.
    while (!dialog.windowHandle() || !dialog.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    auto start = Clock::now();
    dialog.Preview()->SetSource(&picture);
    dialog.Preview()->repaint();
    std::printf("%-11s preview ready after opening: %.1f ms\n", name, Ms(Clock::now() - start));
    QSlider* trackbar = dialog.Rows()[0]->Trackbar();
    std::vector<double> times;
    for (int v = trackbar->minimum(); v <= trackbar->maximum(); ++v) {
        start = Clock::now();
        trackbar->setValue(v);
        dialog.Preview()->repaint();
        times.push_back(Ms(Clock::now() - start));
    }
    Report(name, times);
    dialog.hide();
}

void FullSize(const char* name, ImageFilter&& filter, const CPicture& picture) {
    CDisplayPicture result;
    filter.Apply(picture, result); // the destination's memory, once
    const auto start = Clock::now();
    filter.Apply(picture, result);
    std::printf("%-11s the filter on the full-size picture: %.1f ms\n", name,
                Ms(Clock::now() - start));
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CDisplayPicture picture;
    bench::MakePhotoLike(picture, 3840, 2160);
    {
        CRotateDlg d(nullptr);
        Drag("Rotate", d, picture);
    }
    {
        CBrightnessDlg d(nullptr);
        Drag("Brightness", d, picture);
    }
    {
        CContrastDlg d(nullptr);
        Drag("Contrast", d, picture);
    }
    {
        CIntensityDlg d(nullptr);
        // The intensity row at 20 changes nothing; drag it with a steeper curve.
        d.Rows()[2]->Trackbar()->setValue(20);
        Drag("Intensity", d, picture);
    }
    FullSize("Rotate", RotateFilter(30 * RotateFilter::kRadiansPerDegree, 0xFFFF00FF), picture);
    FullSize("Brightness", BrightnessFilter(18), picture);
    FullSize("Contrast", ContrastFilter(1.5, 140), picture);
    FullSize("Intensity", IntensityFilter(60, 100, 1.5), picture);
    return 0;
}
