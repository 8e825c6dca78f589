// Writes the program icon for the desktop's icon theme: a PNG for every size and a scalable
// SVG, all from the drawing the program itself shows, so the installed icons and the window's
// icon never disagree.
//
//   make_program_icons OUTPUT_DIR NAME
// writes OUTPUT_DIR/hicolor/<size>x<size>/apps/NAME.png and
// OUTPUT_DIR/hicolor/scalable/apps/NAME.svg.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "framework/CommandImages.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_program_icons OUTPUT_DIR NAME\n");
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]) + "/hicolor/";
    const QString name = QString::fromLocal8Bit(argv[2]);

    for (int size : kProgramIconSizes) {
        const QString dir = out + QStringLiteral("%1x%1/apps").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.scale(size / 16.0, size / 16.0);
        PaintProgramIcon(p);
        p.end();
        if (!QDir().mkpath(dir) || !image.save(dir + "/" + name + ".png")) {
            std::fprintf(stderr, "make_program_icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }

    const QString dir = out + "scalable/apps";
    QSvgGenerator svg;
    svg.setFileName(dir + "/" + name + ".svg");
    svg.setSize(QSize(16, 16));
    svg.setViewBox(QRectF(0, 0, 16, 16));
    svg.setTitle(QStringLiteral("Orvane Screen"));
    if (!QDir().mkpath(dir)) return 1;
    QPainter p;
    if (!p.begin(&svg)) {
        std::fprintf(stderr, "make_program_icons: cannot write %s\n", qPrintable(dir));
        return 1;
    }
    PaintProgramIcon(p);
    return p.end() ? 0 : 1;
}
