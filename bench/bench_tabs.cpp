// Switching between 20 open 1920 x 1080 captures by clicking their tabs: the click, the
// activation of the image window and the repaint that follows, until the event queue is empty.
// Runs wherever Qt finds a display (a private X session: tests/e2e/run_in_xsession.py), and on
// the offscreen platform without one.
#include <QApplication>
#include <QMdiSubWindow>
#include <QTest>
#include <benchmark/benchmark.h>

#include "ImageHost.h"
#include "shell/ViewManager.h"

namespace {

constexpr int kImages = 20;

struct Fixture {
    explicit Fixture(bool maximized) {
        host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 1920, 1080); };
        bar = new CViewManager(&host.Frame(), host.Frame().MDIClient());
        host.Frame().addToolBar(Qt::TopToolBarArea, bar);
        host.Frame().resize(1920, 1080);
        for (int i = 0; i < kImages; ++i) {
            host.NewImage();
            QMdiSubWindow* child = host.Frame().MDIClient()->activeSubWindow();
            if (maximized) child->showMaximized();
        }
        bar->OnIdleUpdate();
        QCoreApplication::processEvents();
    }
    // The tabs a person can click without scrolling the row.
    std::vector<int> VisibleTabs() const {
        std::vector<int> out;
        for (int i = 0; i < bar->TabCtrl()->count(); ++i)
            if (bar->TabCtrl()->rect().contains(bar->TabCtrl()->tabRect(i))) out.push_back(i);
        return out;
    }
    ImageHost host;
    CViewManager* bar = nullptr;
};

void BM_ClickTab(benchmark::State& state) {
    Fixture f(state.range(0) != 0);
    const std::vector<int> tabs = f.VisibleTabs();
    if (tabs.size() < 2) {
        state.SkipWithError("fewer than two tabs in view");
        return;
    }
    CViewTabCtrl* ctrl = f.bar->TabCtrl();
    QMdiArea* mdi = f.host.Frame().MDIClient();
    size_t next = 0;
    for (auto _ : state) {
        const int tab = tabs[next++ % tabs.size()];
        QTest::mouseClick(ctrl, Qt::LeftButton, {}, ctrl->tabRect(tab).center());
        f.bar->OnIdleUpdate();
        QCoreApplication::processEvents();
        if (mdi->activeSubWindow() != ctrl->Window(tab)) {
            state.SkipWithError("the click did not activate the tab's window");
            return;
        }
    }
    state.SetLabel(std::string(state.range(0) ? "maximized" : "restored") + ", " +
                   QGuiApplication::platformName().toStdString());
}
BENCHMARK(BM_ClickTab)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
