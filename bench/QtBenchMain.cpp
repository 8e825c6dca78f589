// The main of the widget benchmarks: they need the application object. They draw offscreen, so
// that a run measures the program and not a display; one built to measure on a real display
// (ORVANE_BENCH_ON_DISPLAY) uses the display when there is one.
#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
#ifdef ORVANE_BENCH_ON_DISPLAY
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
