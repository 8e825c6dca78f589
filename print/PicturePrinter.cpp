#include "print/PicturePrinter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cmath>

#include "imagefile/DisplayPicture.h"
#include "print/PrintGeometry.h"

QString PrinterTroubleText() {
    return QStringLiteral("Your printer has some trouble. Please check your printer settings in "
                          "the Control Panel window.");
}

namespace {

// The page in whole millimetres, as a printer reports its size, in tenths of a millimetre.
POINT PrinterPageSize(QPrinter& printer) {
    const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    return {long(std::lround(mm.width())) * 10, long(std::lround(mm.height())) * 10};
}

void DrawPages(QPrinter& printer, QPainter& painter, const CDisplayPicture& picture,
               const PrintLayoutSettings& layout) {
    const print::Size size{picture.GetWidth(), picture.GetHeight()};
    const long pages = print::PageCount(layout);
    // Lengths are tenths of a millimetre on the page.
    const double perTenth = printer.resolution() / 254.0;
    painter.scale(perTenth, perTenth);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (long page = 1; page <= pages; ++page) {
        if (page > 1) printer.newPage();
        const auto slice = print::PageToPrint(size, layout, page);
        if (!slice) continue;
        const QRect src(int(slice->source.left), int(slice->source.top), int(slice->source.Width()),
                        int(slice->source.Height()));
        const QRect dst(int(slice->destination.left), int(slice->destination.top),
                        int(slice->destination.Width()), int(slice->destination.Height()));
        picture.DrawRegionStretched(painter, &dst, &src, true, -1, SRCCOPY);
    }
}

bool ChooseFileIfNeeded(QPrinter& printer, QWidget* parent) {
    if (printer.outputFormat() != QPrinter::PdfFormat || !printer.outputFileName().isEmpty())
        return true;
    const QString name = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Print to File"), QString(), QStringLiteral("PDF file (*.pdf)"));
    if (name.isEmpty()) return false;
    printer.setOutputFileName(name);
    return true;
}

} // namespace

bool PrintPicture(QPrinter& printer, const CDisplayPicture& picture, PrintLayoutSettings& layout) {
    printer.setFullPage(true);
    layout.sizePage = PrinterPageSize(printer);
    // A layout with no page to print starts no job: a printer would still feed a blank sheet.
    if (print::PageCount(layout) == 0) return true;
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    DrawPages(printer, painter, picture, layout);
    return painter.end();
}

void RunPrint(PrintRun how, QPrinter& printer, const CDisplayPicture& picture,
              PrintLayoutSettings& layout, QWidget* parent) {
    printer.setFullPage(true);
    if (how == PrintRun::Preview) {
        QPrintPreviewDialog preview(&printer, parent);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, [&](QPrinter* p) {
            layout.sizePage = PrinterPageSize(*p);
            QPainter painter(p);
            DrawPages(*p, painter, picture, layout);
        });
        preview.exec();
        return;
    }
    if (how == PrintRun::Dialog) {
        layout.sizePage = PrinterPageSize(printer);
        QPrintDialog dialog(&printer, parent);
        // Whole pictures only: no selection and no page numbers to choose.
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setMinMax(1, int(std::max(1L, print::PageCount(layout))));
        if (dialog.exec() != QDialog::Accepted) return;
        printer.setPrintRange(QPrinter::AllPages);
    } else if (!ChooseFileIfNeeded(printer, parent)) {
        return;
    }
    if (!PrintPicture(printer, picture, layout))
        QMessageBox::critical(parent, QString(), PrinterTroubleText());
}

void PrintUnattended(QPrinter& printer, const CDisplayPicture& picture, PrintLayoutSettings& layout,
                     const QString& pdfName, QWidget* parent) {
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const QString chosen = printer.outputFileName();
    if (toFile) printer.setOutputFileName(pdfName);
    const bool printed = PrintPicture(printer, picture, layout);
    if (toFile) printer.setOutputFileName(chosen);
    if (!printed) QMessageBox::critical(parent, QString(), PrinterTroubleText());
}

QString CapturePdfName(const QString& savedPicture, const QString& folder, const QString& lead,
                       int digits) {
    if (!savedPicture.isEmpty()) {
        const QFileInfo saved(savedPicture);
        return saved.dir().filePath(saved.completeBaseName() + ".pdf");
    }
    const QDir dir(folder);
    for (long n = 1;; ++n) {
        QString name =
            dir.filePath(lead + QString("%1").arg(n, std::max(digits, 1), 10, QChar('0')) + ".pdf");
        if (!QFileInfo::exists(name)) return name;
    }
}
