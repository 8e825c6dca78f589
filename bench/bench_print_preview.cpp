// Opening Print Preview on a 3840 x 2160 picture: from the command to the dialog drawn on
// screen with its pages, for "Fit to Margins" (one page) and a poster of 2 x 2 pages. Runs on
// the offscreen platform; the dialog is drawn once into an image, as a first show draws it.
#include <QApplication>
#include <QPrinter>
#include <QTimer>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdint>

#include "imagefile/DisplayPicture.h"
#include "print/PicturePrinter.h"

namespace {

CDisplayPicture& Picture() {
    static CDisplayPicture picture;
    static bool made = false;
    if (!made) {
        made = true;
        picture.Create(3840, 2160, 32, false);
        for (int y = 0; y < 2160; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(picture.GetLineArray()[y]);
            for (int x = 0; x < 3840; ++x) row[x] = 0xFF000000u | uint32_t(x * 2654435761u >> 8);
        }
    }
    return picture;
}

void BM_PrintPreviewOpens(benchmark::State& state) {
    CDisplayPicture& picture = Picture();
    PrintLayoutSettings layout;
    if (state.range(0) == 3) {
        layout.printMode = 3;
        layout.sizePrint = {3000, 4000}; // 2 x 2 pages of A4 less 12 mm margins
    }
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    bool drawn = false;
    for (auto _ : state) {
        layout.sizePage = {0, 0}; // set again as the preview lays out its pages
        QTimer::singleShot(0, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                drawn = !dialog->grab().isNull() && layout.sizePage.x == 2100;
                dialog->close();
            }
        });
        RunPrint(PrintRun::Preview, printer, picture, layout, nullptr);
    }
    if (!drawn) state.SkipWithError("the preview did not open");
    state.SetLabel(state.range(0) == 3 ? "poster 2 x 2" : "fit to margins");
}
BENCHMARK(BM_PrintPreviewOpens)
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
