// Printing pictures to a PDF file, read back with poppler's pdfinfo and pdftoppm.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstring>

#include "imagefile/DisplayPicture.h"
#include "print/PicturePrinter.h"

namespace {

// 400 x 200: the left half red, the right half blue.
void MakePicture(CDisplayPicture& p) {
    p.Create(400, 200, 32, false);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x) {
            const uint32_t v = x < 200 ? 0xFFFF0000 : 0xFF0000FF;
            std::memcpy(p.GetLineArray()[y] + 4 * x, &v, 4);
        }
}

QString Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PageCountOf(const QString& pdf) {
    const QString info = Run("pdfinfo", {pdf});
    for (const QString& line : info.split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

// Page `page` at 254 dpi: one pixel is a tenth of a millimetre.
QImage Rasterise(const QString& pdf, int page, const QString& dir) {
    const QString prefix = dir + QString("/page%1").arg(page);
    Run("pdftoppm", {"-r", "254", "-png", "-singlefile", "-f", QString::number(page), "-l",
                     QString::number(page), pdf, prefix});
    return QImage(prefix + ".png");
}

// The extent of the non-white pixels on a row or column, within a tolerance of anti-aliasing.
std::pair<int, int> InkSpan(const QImage& img, bool horizontal, int at) {
    int first = -1, last = -1;
    const int n = horizontal ? img.width() : img.height();
    for (int i = 0; i < n; ++i) {
        const QColor c = horizontal ? img.pixelColor(i, at) : img.pixelColor(at, i);
        if (c.lightness() < 200) {
            if (first < 0) first = i;
            last = i;
        }
    }
    return {first, last + 1};
}

QPrinter& PdfPrinter(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    return printer;
}

} // namespace

TEST(PicturePrinter, FitToMarginsOnA4) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "poppler-utils missing";
    QTemporaryDir dir;
    CDisplayPicture picture;
    MakePicture(picture);
    PrintLayoutSettings layout; // Fit to Margins, 12 mm margins, centred
    QPrinter printer;
    const QString pdf = dir.path() + "/fit.pdf";
    ASSERT_TRUE(PrintPicture(PdfPrinter(printer, pdf), picture, layout));
    EXPECT_EQ(layout.sizePage.x, 2100);
    EXPECT_EQ(layout.sizePage.y, 2970);
    ASSERT_EQ(PageCountOf(pdf), 1);
    const QImage page = Rasterise(pdf, 1, dir.path());
    ASSERT_FALSE(page.isNull());
    // 1860 wide from x = 120, 930 high centred: top at 120 + (2730 - 930) / 2 = 1020.
    const auto across = InkSpan(page, true, 1485);
    EXPECT_NEAR(across.first, 120, 10);
    EXPECT_NEAR(across.second, 1980, 10);
    const auto down = InkSpan(page, false, 1000);
    EXPECT_NEAR(down.first, 1020, 10);
    EXPECT_NEAR(down.second, 1950, 10);
    // Left half red, right half blue.
    EXPECT_GT(page.pixelColor(500, 1485).red(), 200);
    EXPECT_GT(page.pixelColor(1600, 1485).blue(), 200);
}

TEST(PicturePrinter, PosterOfHeightAndWidth) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "poppler-utils missing";
    QTemporaryDir dir;
    CDisplayPicture picture;
    MakePicture(picture);
    PrintLayoutSettings layout;
    layout.printMode = 3;
    layout.sizePrint = {4100, 1000}; // 410 x 100 mm: 3 columns of 1860, one row
    QPrinter printer;
    const QString pdf = dir.path() + "/poster.pdf";
    ASSERT_TRUE(PrintPicture(PdfPrinter(printer, pdf), picture, layout));
    ASSERT_EQ(PageCountOf(pdf), 3);
    // Pages 1 and 2 are filled across the printable width, from the printable top, 1000 high.
    for (int p : {1, 2}) {
        const QImage page = Rasterise(pdf, p, dir.path());
        ASSERT_FALSE(page.isNull());
        const auto across = InkSpan(page, true, 500);
        EXPECT_NEAR(across.first, 120, 10) << p;
        EXPECT_NEAR(across.second, 1980, 10) << p;
        const auto down = InkSpan(page, false, 1000);
        EXPECT_NEAR(down.first, 120, 10) << p;
        EXPECT_NEAR(down.second, 1120, 10) << p;
    }
    // Page 3: the last 380 tenths of the 4100 (pixels 362 to 400), all blue.
    const QImage last = Rasterise(pdf, 3, dir.path());
    const auto across = InkSpan(last, true, 500);
    EXPECT_NEAR(across.first, 120, 10);
    EXPECT_NEAR(across.second, 120 + 380, 12);
    EXPECT_GT(last.pixelColor(300, 500).blue(), 200);
}

// The preview lays out its pages for the printer's paper and prints nothing. (How fast it opens
// for a screen-sized picture is measured by bench_print_preview.)
TEST(PicturePrinter, PreviewDrawsPagesAndPrintsNothing) {
    QTemporaryDir dir;
    CDisplayPicture picture;
    MakePicture(picture);
    PrintLayoutSettings layout;
    QPrinter printer;
    PdfPrinter(printer, dir.path() + "/never.pdf");
    bool shown = false;
    long drawnWidth = 0;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            shown = true;
            drawnWidth = layout.sizePage.x; // set while the preview's pages are drawn
            dialog->close();
        }
    });
    RunPrint(PrintRun::Preview, printer, picture, layout, nullptr);
    ASSERT_TRUE(shown);
    EXPECT_EQ(drawnWidth, 2100);
    EXPECT_FALSE(QFile::exists(dir.path() + "/never.pdf"));
}

// A capture printed with nobody to ask: its own PDF, and the file chosen for the print commands
// left for them.
TEST(PicturePrinter, UnattendedPrintWritesTheCapturesOwnPdf) {
    QTemporaryDir dir;
    const QString d = dir.path();
    EXPECT_EQ(CapturePdfName(d + "/Orvn00007.JPG", "/elsewhere", "Orvn", 5), d + "/Orvn00007.pdf");
    // Not saved: the first free number in the output folder.
    EXPECT_EQ(CapturePdfName({}, d, "Orvn", 5), d + "/Orvn00001.pdf");
    QFile(d + "/Orvn00001.pdf").open(QIODevice::WriteOnly);
    EXPECT_EQ(CapturePdfName({}, d, "Orvn", 5), d + "/Orvn00002.pdf");
    EXPECT_EQ(CapturePdfName({}, d, "100%1", 0), d + "/100%11.pdf");

    CDisplayPicture picture;
    MakePicture(picture);
    PrintLayoutSettings layout;
    QPrinter printer;
    PdfPrinter(printer, d + "/chosen.pdf");
    PrintUnattended(printer, picture, layout, d + "/Orvn00002.pdf", nullptr);
    EXPECT_EQ(PageCountOf(d + "/Orvn00002.pdf"), 1);
    EXPECT_EQ(printer.outputFileName(), d + "/chosen.pdf");
    EXPECT_FALSE(QFile::exists(d + "/chosen.pdf"));
}

// A stored print mode that names no placement prints nothing: no job, no blank sheet.
TEST(PicturePrinter, UnknownPrintModePrintsNothing) {
    QTemporaryDir dir;
    CDisplayPicture picture;
    MakePicture(picture);
    PrintLayoutSettings layout;
    layout.printMode = 7;
    QPrinter printer;
    const QString pdf = dir.path() + "/nothing.pdf";
    EXPECT_TRUE(PrintPicture(PdfPrinter(printer, pdf), picture, layout));
    EXPECT_FALSE(QFile::exists(pdf));
}
