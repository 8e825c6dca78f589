#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>

#include <cstring>
#include <vector>

#include "imagefile/DisplayPicture.h"

namespace {

void SetPixel(CPicture& p, int x, int y, uint32_t v) {
    std::memcpy(p.GetLineArray()[y] + 4 * x, &v, 4);
}

void MakeQuadrants(CDisplayPicture& p) {
    p.Create(4, 2, 32, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixel(p, x, y,
                     y == 0 ? (x < 2 ? 0xFFFF0000 : 0xFF00FF00)
                            : (x < 2 ? 0xFF0000FF : 0xFFFFFFFF));
}

} // namespace

TEST(DisplayPicture, WrapsPixelsWithoutCopying) {
    CDisplayPicture p;
    MakeQuadrants(p);
    const QImage wrapped = p.WrapPixels();
    EXPECT_EQ(wrapped.constBits(), p.GetBits());
    // Top-down copy has the top row first.
    const QImage image = p.ToQImage();
    EXPECT_EQ(image.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(3, 1), 0xFFFFFFFFu);
}

TEST(DisplayPicture, DrawsUprightAndParts) {
    CDisplayPicture p;
    MakeQuadrants(p);
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        p.DrawAt(painter, 1, 1);
        // The bottom-right quadrant (white), drawn at 6, 6 and stretched to 4 x 4.
        const QRect src(2, 1, 2, 1), dest(6, 6, 4, 4);
        p.DrawRegion(painter, &dest, &src, true, COLORONCOLOR, SRCCOPY);
    }
    EXPECT_EQ(canvas.pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(canvas.pixel(4, 1), 0xFF00FF00u);
    EXPECT_EQ(canvas.pixel(1, 2), 0xFF0000FFu);
    EXPECT_EQ(canvas.pixel(0, 0), 0xFF000000u);
    for (int y = 6; y < 10; ++y)
        for (int x = 6; x < 10; ++x) EXPECT_EQ(canvas.pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
    EXPECT_EQ(canvas.pixel(5, 5), 0xFF000000u);
}

TEST(DisplayPicture, DrawsIndexedAndMonoWithTheirPalettes) {
    CDisplayPicture p;
    p.Create(2, 1, 8, false);
    p.SetPaletteEntry(7, 10, 20, 30);
    p.GetLineArray()[0][1] = 7;
    QImage canvas(2, 1, QImage::Format_RGB32);
    {
        QPainter painter(&canvas);
        p.DrawAt(painter, 0, 0);
    }
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 0, 0));

    p.Create(9, 1, 1, false);
    p.GetLineArray()[0][1] = 0x80; // x = 8 set: white with the grey ramp
    QImage wide(9, 1, QImage::Format_RGB32);
    {
        QPainter painter(&wide);
        p.DrawAt(painter, 0, 0);
    }
    EXPECT_EQ(wide.pixel(8, 0), qRgb(255, 255, 255));
    EXPECT_EQ(wide.pixel(7, 0), qRgb(0, 0, 0));
}

TEST(DisplayPicture, HalftoneScalesSmoothly) {
    CDisplayPicture p;
    p.Create(2, 1, 32, false);
    SetPixel(p, 0, 0, 0xFF000000);
    SetPixel(p, 1, 0, 0xFFFFFFFF);
    QImage smooth(8, 1, QImage::Format_RGB32), fast(8, 1, QImage::Format_RGB32);
    const QRect dest(0, 0, 8, 1);
    {
        QPainter a(&smooth), b(&fast);
        p.DrawRegion(a, &dest, nullptr, true, HALFTONE, SRCCOPY);
        p.DrawRegion(b, &dest, nullptr, true, COLORONCOLOR, SRCCOPY);
    }
    const int mid = qRed(smooth.pixel(4, 0));
    EXPECT_GT(mid, 0);
    EXPECT_LT(mid, 255);
    EXPECT_EQ(qRed(fast.pixel(3, 0)), 0);
    EXPECT_EQ(qRed(fast.pixel(4, 0)), 255);
}

TEST(DisplayPicture, ClipboardRoundTripOffersPngAndBmp) {
    CDisplayPicture p;
    MakeQuadrants(p);
    p.CopyToClipboard();
    // The clipboard holds the picture as it was when copied, whatever happens to it next.
    const std::vector<uint8_t> copied(p.GetBits(), p.GetBits() + 4 * 4 * 2);
    std::memset(p.GetBits(), 0x55, 4 * 4 * 2);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->hasFormat("image/png"));
    EXPECT_TRUE(mime->hasFormat("image/bmp"));
    const QImage png = QImage::fromData(mime->data("image/png"), "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.pixel(2, 0), 0xFF00FF00u);

    CDisplayPicture q;
    ASSERT_TRUE(q.CreateFromClipboard(CF_BITMAP));
    EXPECT_EQ(q.GetWidth(), 4);
    EXPECT_EQ(q.GetHeight(), 2);
    EXPECT_EQ(std::memcmp(q.GetBits(), copied.data(), copied.size()), 0);

    // An 8-bit picture keeps its depth and palette.
    CDisplayPicture grey;
    grey.Create(3, 3, 8, false);
    grey.GetLineArray()[0][1] = 200;
    grey.CopyToClipboard();
    const QImage greyPng =
        QImage::fromData(QGuiApplication::clipboard()->mimeData()->data("image/png"), "PNG");
    EXPECT_EQ(greyPng.pixel(1, 0), qRgb(200, 200, 200));
    EXPECT_EQ(greyPng.pixel(1, 1), qRgb(0, 0, 0));
    ASSERT_TRUE(q.CreateFromClipboard(CF_DIB));
    EXPECT_EQ(q.GetBitsPerPixel(), 8);
    EXPECT_EQ(q.GetLineArray()[0][1], 200);
}

TEST(DisplayPicture, PastesImagesOfOtherPrograms) {
    QImage image(5, 3, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 128));
    QGuiApplication::clipboard()->setImage(image);
    CDisplayPicture q;
    ASSERT_TRUE(q.CreateFromClipboard(CF_BITMAP));
    EXPECT_EQ(q.GetWidth(), 5);
    EXPECT_EQ(q.GetBitsPerPixel(), 32);
    EXPECT_TRUE(q.HasAlpha());

    QGuiApplication::clipboard()->setText("no picture");
    EXPECT_FALSE(q.CreateFromClipboard(CF_BITMAP));
    EXPECT_EQ(q.GetWidth(), 5);
}
