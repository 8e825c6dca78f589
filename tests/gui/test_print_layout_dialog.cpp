// The Print Layout dialog: its copy of the layout, units, spins and preview.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

#include "imagefile/DisplayPicture.h"
#include "print/PrintLayoutDlg.h"

namespace {

QList<QDoubleSpinBox*> Fields(CPrintLayoutDlg& dlg) {
    return dlg.findChildren<QDoubleSpinBox*>(); // X, Y, left, top, right, bottom
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
