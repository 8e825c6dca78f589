// The Print Layout dialog: its copy of the layout, units, spins and preview.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include "imagefile/DisplayPicture.h"
#include "print/PrintLayoutDlg.h"

namespace {

QList<QDoubleSpinBox*> Fields(CPrintLayoutDlg& dlg) {
    return dlg.findChildren<QDoubleSpinBox*>(); // X, Y, left, top, right, bottom
}

// Runs `act` on the Print Layout dialog the Layout button opens, then closes it with OK or
// Cancel.
void OnLayoutDialog(CPrintSetupEx& setup, bool ok,
                    const std::function<void(CPrintLayoutDlg&)>& act) {
    QPushButton* button = nullptr;
    for (QPushButton* b : setup.findChildren<QPushButton*>())
        if (b->text() == "&Layout") button = b;
    ASSERT_TRUE(button);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = dynamic_cast<CPrintLayoutDlg*>(QApplication::activeModalWidget());
        if (!dlg) return;
        seen = true;
        act(*dlg);
        ok ? dlg->accept() : dlg->reject();
    });
    button->click();
    EXPECT_TRUE(seen);
}

} // namespace

TEST(PrintLayoutDialog, UnitsSpinsAndTheCopy) {
    CDisplayPicture picture;
    picture.Create(400, 200, 32, false);
    PrintLayoutSettings original;
    CPrintLayoutDlg dlg(original, &picture, {2100, 2970});
    // A print size not chosen yet takes the page width at the picture's proportions.
    EXPECT_EQ(dlg.Layout().sizePrint.x, 2100);
    EXPECT_EQ(dlg.Layout().sizePrint.y, 1050);
    auto fields = Fields(dlg);
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(fields[2]->text(), "1.20");
    EXPECT_FALSE(fields[0]->isEnabled());
    dlg.SetInches(true);
    EXPECT_EQ(fields[2]->text(), "0.47");
    dlg.SetInches(false);

    dlg.findChild<QComboBox*>()->setCurrentIndex(1);
    EXPECT_EQ(dlg.Layout().printMode, 3);
    EXPECT_TRUE(fields[0]->isEnabled());
    fields[0]->stepBy(1); // X 21.00 -> 21.10 cm, Y 10.50 -> 10.55
    EXPECT_EQ(dlg.Layout().sizePrint.x, 2110);
    EXPECT_EQ(dlg.Layout().sizePrint.y, 1055);

    // A typed margin is stored at once; a step up cannot push it across the page.
    fields[2]->setValue(19.8);
    EXPECT_EQ(dlg.Layout().margins.left, 1980);
    fields[2]->stepBy(1);
    EXPECT_EQ(dlg.Layout().margins.left, 1980); // 21.00 - 1.20
    EXPECT_EQ(original.margins.left, 120);      // the caller's record is untouched
}

TEST(PrintLayoutDialog, PreviewShowsWhitePagesOnGrey) {
    CDisplayPicture picture;
    picture.Create(400, 200, 32, false); // black
    PrintLayoutSettings layout;
    layout.printMode = 3;
    layout.sizePrint = {4100, 1000};
    CPrintLayoutDlg dlg(layout, &picture, {2100, 2970});
    dlg.resize(700, 500);
    dlg.show();
    QWidget* preview = nullptr;
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (w->minimumWidth() == 220 && w->minimumHeight() == 260) preview = w;
    ASSERT_TRUE(preview);
    const QImage shot = preview->grab().toImage();
    int white = 0, grey = 0, black = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) {
            const QColor c = shot.pixelColor(x, y);
            if (c == QColor(255, 255, 255)) ++white;
            if (c == QColor(192, 192, 192)) ++grey;
            if (c == QColor(0, 0, 0)) ++black;
        }
    EXPECT_GT(white, 0);
    EXPECT_GT(grey, 0);
    EXPECT_GT(black, 0); // the picture's slices
}

TEST(PrintLayoutDialog, LayoutButtonStoresTheCopyOnOkOnly) {
    CDisplayPicture picture;
    picture.Create(400, 200, 32, false);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    PrintLayoutSettings layout;
    CPrintSetupEx setup(&printer, layout, &picture);

    // Cancel: the poster chosen in the dialog is forgotten, and so is the page it saw.
    OnLayoutDialog(setup, false, [](CPrintLayoutDlg& dlg) {
        dlg.findChild<QComboBox*>()->setCurrentIndex(1);
        EXPECT_EQ(dlg.Layout().sizePage.x, 2970); // landscape A4
        EXPECT_EQ(dlg.Layout().sizePage.y, 2100);
    });
    EXPECT_EQ(layout.printMode, 1);
    EXPECT_EQ(layout.sizePrint.x, 0);
    EXPECT_EQ(layout.sizePage.x, 0);

    // OK: everything the dialog changed is stored, the print size it chose included.
    OnLayoutDialog(setup, true, [](CPrintLayoutDlg& dlg) {
        dlg.findChild<QComboBox*>()->setCurrentIndex(1);
        Fields(dlg)[3]->setValue(2.5); // top margin
    });
    EXPECT_EQ(layout.printMode, 3);
    EXPECT_EQ(layout.sizePrint.x, 2970);
    EXPECT_EQ(layout.sizePrint.y, 1485);
    EXPECT_EQ(layout.sizePage.x, 2970);
    EXPECT_EQ(layout.margins.top, 250);
    EXPECT_EQ(layout.margins.left, 120);

    // A second visit starts from what was stored.
    OnLayoutDialog(setup, false, [](CPrintLayoutDlg& dlg) {
        EXPECT_EQ(Fields(dlg)[3]->text(), "2.50");
        EXPECT_TRUE(Fields(dlg)[0]->isEnabled());
    });
}

TEST(PrintLayoutDialog, VerticalMarginsNeverCrossThePage) {
    CDisplayPicture picture;
    picture.Create(400, 200, 32, false);
    PrintLayoutSettings layout;
    CPrintLayoutDlg dlg(layout, &picture, {2100, 2970});
    auto fields = Fields(dlg);
    QDoubleSpinBox* top = fields[3];
    QDoubleSpinBox* bottom = fields[5];

    // Steps stop where top and bottom together fill the page height (29.70 cm), not its width.
    top->setValue(28.4);
    top->stepBy(1);
    EXPECT_EQ(dlg.Layout().margins.top, 2850);
    top->stepBy(1);
    EXPECT_EQ(dlg.Layout().margins.top, 2850);
    bottom->stepBy(1);
    EXPECT_EQ(dlg.Layout().margins.bottom, 120);
    EXPECT_EQ(bottom->text(), "1.20");
    top->stepBy(-2);
    EXPECT_EQ(dlg.Layout().margins.top, 2830);
    bottom->stepBy(1);
    EXPECT_EQ(dlg.Layout().margins.bottom, 130);

    // In inches the page is 11.69 high; the limit is worked out there too.
    dlg.SetInches(true);
    top->setValue(11.0);
    bottom->setValue(0.5);
    top->stepBy(3); // up to 11.19, what the bottom margin leaves, then no further
    EXPECT_EQ(top->text(), "11.19");
    EXPECT_EQ(dlg.Layout().margins.bottom, 127);

    // Down never goes below 0.
    bottom->setValue(0.05);
    bottom->stepBy(-1);
    EXPECT_EQ(dlg.Layout().margins.bottom, 0);

    // A typed margin that would cross the page is cut back to what the other one leaves.
    dlg.SetInches(false);
    bottom->setValue(1.2);
    top->setValue(29.0);
    EXPECT_EQ(dlg.Layout().margins.top, 2850);
    EXPECT_EQ(top->text(), "28.50");
}
