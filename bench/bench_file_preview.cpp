// How long the open dialog takes to show the preview of a 3840 x 2160 PNG after it is
// clicked in the file list, and how long the user interface thread was kept from other
// work meanwhile (the longest gap between the ticks of a 1 ms timer). Runs offscreen.
//
//     bench_file_preview [ROUNDS]

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchPictures.h"
#include "imagefile/DisplayPicture.h"
#include "imagefile/FilePreviewDlg.h"
#include "imagefile/PictureEncoder.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

QModelIndex FindInList(QListView* list, const QString& name) {
    const QModelIndex root = list->rootIndex();
    for (int r = 0; r < list->model()->rowCount(root); ++r) {
        const QModelIndex item = list->model()->index(r, 0, root);
        if (item.data().toString() == name) return item;
    }
    return {};
}

struct Stats {
    double median, worst;
};

Stats Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    QTemporaryDir dir;
    const QStringList names = {"screen.png", "photo.png"};
    {
        CDisplayPicture picture;
        bench::MakeScreenshotLike(picture, 3840, 2160);
        EncodePictureByExtension(dir.filePath(names[0]).toStdString(), picture);
        bench::MakePhotoLike(picture, 3840, 2160);
        EncodePictureByExtension(dir.filePath(names[1]).toStdString(), picture);
    }

    CFilePreviewDlg dialog(nullptr, "Open");
    dialog.resize(900, 500);
    dialog.setDirectory(dir.path());
    dialog.show();
    auto* list = dialog.findChild<QListView*>("listView");
    if (!list || !WaitFor([&] { return FindInList(list, names[1]).isValid(); }, 10000)) {
        std::fprintf(stderr, "the file list did not show the pictures\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start();

    std::vector<double> times[2], gaps[2];
    for (int i = 0; i < 2 * rounds; ++i) {
        const int which = i % 2;
        const int shownBefore = dialog.PicturesShown();
        WaitFor([] { return false; }, 20); // settle: the ticker runs freely
        QElapsedTimer t;
        lastTick = clock.nsecsElapsed();
        longestGap = 0;
        t.start();
        list->setCurrentIndex(FindInList(list, names[which]));
        if (!WaitFor([&] { return dialog.PicturesShown() > shownBefore; }, 10000)) {
            std::fprintf(stderr, "no preview for %s\n", qPrintable(names[which]));
            return 1;
        }
        times[which].push_back(t.nsecsElapsed() / 1e6);
        gaps[which].push_back(longestGap / 1e6);
    }
    std::printf("preview of a 3840 x 2160 PNG after the click, %d rounds each (ms):\n", rounds);
    for (int which = 0; which < 2; ++which) {
        const Stats t = Summarise(times[which]), g = Summarise(gaps[which]);
        std::printf("  %-11s shown after median %6.1f  worst %6.1f   "
                    "longest UI-thread gap median %5.1f  worst %5.1f\n",
                    qPrintable(names[which]), t.median, t.worst, g.median, g.worst);
    }
    return 0;
}
