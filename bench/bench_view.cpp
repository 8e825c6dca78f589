// Repainting the image view: a 1920 x 1080 client showing a 3840 x 2160 picture at each zoom
// step with fast and with smooth scaling, and one step of dragging a 400 x 300 selection.
// Runs on the offscreen platform: the numbers are the drawing into the window's back buffer.
#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>

#include "editor/ImageDoc.h"
#include "view/ImageView.h"

namespace {

class BenchHost : public ImageDocHost {
public:
    std::unique_ptr<CDisplayPicture> TakePendingImage() override {
        auto picture = std::make_unique<CDisplayPicture>();
        picture->Create(3840, 2160, 32, false);
        for (int y = 0; y < 2160; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(picture->GetLineArray()[y]);
            for (int x = 0; x < 3840; ++x) row[x] = 0xFF000000u | uint32_t(x * 2654435761u >> 8);
        }
        return picture;
    }
    QWidget* MainWindow() override { return nullptr; }
    uint32_t ViewBackgroundColor() override { return 0x00C0C000; }
};

struct Fixture {
    Fixture() {
        SetImageDocHost(&host);
        doc.OnNewDocument();
        view = new CTilletCaptureView;
        doc.AddView(view);
        view->resize(1920, 1080);
        view->show();
        view->OnInitialUpdate();
        QCoreApplication::processEvents();
    }
    ~Fixture() {
        delete view;
        SetImageDocHost(nullptr);
    }
    BenchHost host;
    CTilletCaptureDoc doc;
    CTilletCaptureView* view = nullptr;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_FullRepaint(benchmark::State& state) {
    Fixture& f = Shared();
    // A palette display is what makes the view smooth its scaling.
    f.view->SetScreenDepth(state.range(1) ? 8 : 32);
    f.view->SetZoom(state.range(0) / 100.0);
    QCoreApplication::processEvents();
    for (auto _ : state) f.view->viewport()->repaint();
    state.SetLabel(state.range(1) ? "smooth" : "fast");
}
BENCHMARK(BM_FullRepaint)
    ->ArgsProduct({{25, 50, 100, 200, 400}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void Mouse(QWidget* w, QEvent::Type type, QPoint p) {
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void BM_DragStep(benchmark::State& state) {
    Fixture& f = Shared();
    f.view->SetScreenDepth(32);
    f.view->SetZoom(1.0);
    f.view->SetSelectionMode(true);
    QWidget* vp = f.view->viewport();
    const QPoint a = f.view->LogicalToDevice(QPoint(1000, 600));
    Mouse(vp, QEvent::MouseButtonPress, a);
    Mouse(vp, QEvent::MouseMove, a + QPoint(400, 300));
    Mouse(vp, QEvent::MouseButtonRelease, a + QPoint(400, 300));
    QCoreApplication::processEvents();
    Mouse(vp, QEvent::MouseButtonPress, a + QPoint(10, 10));
    int step = 0;
    for (auto _ : state) {
        const int dx = (step++ & 1) ? -3 : 3;
        Mouse(vp, QEvent::MouseMove, a + QPoint(10 + dx, 10 + dx));
        vp->repaint(vp->rect() & f.view->LogicalToDevice(QRect(990, 590, 430, 330)));
    }
    Mouse(vp, QEvent::MouseButtonRelease, a + QPoint(10, 10));
    f.view->SetSelectionMode(false);
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond);

// Undo of one operation on the picture: the snapshot copied back. Redo (the operation run
// again) is outside the timing.
void BM_UndoStep(benchmark::State& state) {
    Fixture& f = Shared();
    f.doc.OnCmdMsg(ID_OP_INVERT, nullptr);
    for (auto _ : state) {
        f.doc.OnCmdMsg(ID_EDIT_UNDO, nullptr);
        state.PauseTiming();
        f.doc.OnCmdMsg(ID_EDIT_REDO, nullptr);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
