#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "imagefile/ColorQuantizer.h"
#include "imagefile/Picture.h"
#include "imagefile/PixelBlock.h"

namespace {

uint32_t PixelAt(const CPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.GetLineArray()[y] + 4 * x, 4);
    return v;
}

void SetPixel(CPicture& p, int x, int y, uint32_t v) {
    std::memcpy(p.GetLineArray()[y] + 4 * x, &v, 4);
}

void FillRandom(CPicture& p, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < p.GetHeight(); ++y)
        for (int x = 0; x < p.GetBytesPerLine(); ++x) p.GetLineArray()[y][x] = uint8_t(rng());
}

} // namespace

TEST(Picture, FreshPictureIs16By16GreyRamp) {
    CDibPicture dib;
    CDibSectionPicture section;
    for (CPicture* p : {static_cast<CPicture*>(&dib), static_cast<CPicture*>(&section)}) {
        EXPECT_EQ(p->GetWidth(), 16);
        EXPECT_EQ(p->GetHeight(), 16);
        EXPECT_EQ(p->GetBitsPerPixel(), 8);
        EXPECT_FALSE(p->HasAlpha());
        EXPECT_EQ(p->GetDitherType(), 0);
        EXPECT_EQ(p->GetDitherPaletteMode(), 2);
        ASSERT_NE(p->GetPalette(), nullptr);
        for (int i = 0; i < 256; ++i) {
            const RGBAPIXEL e = p->GetPalette()[i];
            EXPECT_EQ(e, (RGBAPIXEL{uint8_t(i), uint8_t(i), uint8_t(i), 255})) << i;
        }
    }
}

TEST(Picture, OneBitGreyRampIsBlackAndWhite) {
    CDibPicture p;
    p.Create(3, 2, 1, false);
    EXPECT_EQ(p.GetPalette()[0], (RGBAPIXEL{0, 0, 0, 255}));
    EXPECT_EQ(p.GetPalette()[1], (RGBAPIXEL{255, 255, 255, 255}));
    p.Create(3, 2, 32, true);
    EXPECT_EQ(p.GetPalette(), nullptr);
    EXPECT_TRUE(p.HasAlpha());
}

TEST(Picture, StrideAndMemoryInUseForOddWidths) {
    struct Case {
        int width;
        uint16_t bpp;
        int stride;
    };
    // 1 bpp: a partial byte counts, then round to 4; 8 bpp: round to 4; 32 bpp: 4 per pixel.
    const Case cases[] = {{1, 1, 4}, {7, 1, 4}, {9, 1, 4},   {33, 1, 8}, {31, 1, 4},  {1, 8, 4},
                          {3, 8, 4}, {5, 8, 8}, {13, 8, 16}, {1, 32, 4}, {3, 32, 12}, {17, 32, 68}};
    for (const Case& c : cases) {
        CDibSectionPicture p;
        p.Create(c.width, 5, c.bpp, false);
        EXPECT_EQ(p.GetBytesPerLine(), c.stride) << c.width << "@" << c.bpp;
        const size_t head = c.bpp == 1 ? 40 + 8 : c.bpp == 8 ? 40 + 1024 : 40;
        EXPECT_EQ(p.GetMemUsed(), size_t(c.stride) * 5 + head + 48) << c.width << "@" << c.bpp;
    }
}

TEST(Picture, RowsAreStoredBottomUpBehindTopFirstLines) {
    CDibPicture p;
    p.Create(5, 4, 32, false);
    const int stride = p.GetBytesPerLine();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p.GetLineArray()[i], p.GetBits() + (3 - i) * stride);
    // The packed block is header, then pixels, exactly as a DIB.
    EXPECT_EQ(p.GetDibBlock() + 40, p.GetBits());
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p.GetDibBlock());
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 5);
    EXPECT_EQ(h->biHeight, 4);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 32);
    EXPECT_EQ(h->biCompression, 0u);
    EXPECT_EQ(h->biClrUsed, 0u);
}

TEST(Picture, RecreatingReusesMemoryAndStillClears) {
    CDibSectionPicture p;
    p.Create(64, 64, 32, false);
    FillRandom(p, 1);
    const uint8_t* before = p.GetBits();
    p.Create(64, 64, 32, false);
    EXPECT_EQ(p.GetBits(), before);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(PixelAt(p, x, y), 0u);
}

// Screen-sized blocks come from their own mappings; growing, shrinking and dropping them must
// hand out whole, zeroed blocks and return exactly what was taken.
TEST(Picture, ScreenSizedBlocksAreWholeAndZeroed) {
    for (int round = 0; round < 3; ++round) {
        CDibSectionPicture section;
        CDibPicture dib;
        for (auto [w, h] : {std::pair{1920, 1080}, std::pair{724, 724}, std::pair{725, 725},
                            std::pair{3000, 1000}, std::pair{1000, 700}}) {
            for (CPicture* p : {static_cast<CPicture*>(&section), static_cast<CPicture*>(&dib)}) {
                p->Create(w, h, 32, false);
                uint8_t* const* lines = p->GetLineArray();
                for (int y : {0, h / 2, h - 1})
                    for (int x : {0, w / 2, w - 1}) ASSERT_EQ(PixelAt(*p, x, y), 0u);
                // Every byte of the block can be written.
                std::memset(p->GetBits(), 0xA5, size_t(p->GetBytesPerLine()) * size_t(h));
                ASSERT_EQ(lines[h - 1][4 * (w - 1) + 3], 0xA5);
            }
        }
    }
}

// A freed screen-sized block is kept for the next picture of its size, dirty as it was left.
TEST(Picture, AKeptBlockIsClearedForItsNextPicture) {
    ReservePixelBlock(size_t(1920) * 1080 * 4);
    for (int round = 0; round < 3; ++round) {
        CDibSectionPicture p;
        p.Create(1920, 1080, 32, false);
        for (int y : {0, 539, 1079})
            for (int x : {0, 960, 1919}) ASSERT_EQ(PixelAt(p, x, y), 0u) << round;
        std::memset(p.GetBits(), 0xFF, size_t(1920) * 1080 * 4);
    }
    // Two kept at once, both handed out whole; a third picture maps a fresh block.
    ReservePixelBlock(size_t(1920) * 1080 * 4, 2);
    CDibSectionPicture a, b, c;
    for (CDibSectionPicture* p : {&a, &b, &c}) {
        p->Create(1920, 1080, 32, false);
        ASSERT_EQ(PixelAt(*p, 1919, 1079), 0u);
        std::memset(p->GetBits(), 0x11, size_t(1920) * 1080 * 4);
    }
    EXPECT_NE(a.GetBits(), b.GetBits());
    EXPECT_NE(b.GetBits(), c.GetBits());
}

TEST(Picture, RefusesHostileSizesWithOutOfMemory) {
    CDibSectionPicture p;
    p.Create(10, 10, 32, false);
    for (auto [w, h] : {std::pair{1 << 15, (1 << 13) + 1}, std::pair{INT32_MAX, INT32_MAX},
                        std::pair{1, INT32_MAX}}) {
        try {
            p.Create(w, h, 32, false);
            FAIL() << "created " << w << "x" << h;
        } catch (const CTextException& e) {
            EXPECT_EQ(e.GetCode(), 10);
            EXPECT_STREQ(e.what(), "Out of memory creating bitmap.");
        }
    }
    // The failed create left the old picture intact.
    EXPECT_EQ(p.GetWidth(), 10);
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
}

TEST(Picture, LockCountsUp) {
    CDibPicture p;
    p.Lock(true, true);
    p.Lock(true, false);
    EXPECT_EQ(p.GetLockCount(), 2);
    p.Unlock();
    p.Unlock();
    EXPECT_EQ(p.GetLockCount(), 0);
}

TEST(PictureDepth, ExactCopyKeepsPaletteAlphaAndPixels) {
    CDibPicture src;
    src.Create(7, 3, 8, false);
    FillRandom(src, 2);
    src.SetPaletteEntry(5, 1, 2, 3, 4);
    CDibSectionPicture dst;
    dst.CopyWithDepth(src, 0);
    EXPECT_EQ(dst.GetBitsPerPixel(), 8);
    EXPECT_EQ(dst.GetPalette()[5], (RGBAPIXEL{3, 2, 1, 4}));
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(dst.GetLineArray()[y], src.GetLineArray()[y], 7), 0);

    src.Create(5, 5, 32, true);
    FillRandom(src, 3);
    dst.CopyWithDepth(src, 32);
    EXPECT_TRUE(dst.HasAlpha());
    EXPECT_EQ(PixelAt(dst, 4, 4), PixelAt(src, 4, 4));
}

TEST(PictureDepth, EightToThirtyTwoTakesWholePaletteEntry) {
    CDibPicture src;
    src.Create(3, 1, 8, false);
    src.SetPaletteEntry(9, 0x11, 0x22, 0x33, 0x44);
    src.GetLineArray()[0][1] = 9;
    CDibPicture dst;
    dst.CopyWithDepth(src, 32);
    EXPECT_FALSE(dst.HasAlpha());
    EXPECT_EQ(PixelAt(dst, 1, 0), 0x44112233u);
    EXPECT_EQ(PixelAt(dst, 0, 0), 0xFF000000u);
}

TEST(PictureDepth, OneBitToEightKeepsEntriesAndValues) {
    CDibPicture src;
    src.Create(10, 2, 1, false);
    src.SetPaletteEntry(0, 255, 0, 0);
    src.SetPaletteEntry(1, 0, 0, 255);
    src.GetLineArray()[0][0] = 0b10100000;
    src.GetLineArray()[1][1] = 0b01000000; // x = 9
    CDibPicture dst;
    dst.CopyWithDepth(src, 8);
    EXPECT_EQ(dst.GetPalette()[0], (RGBAPIXEL{0, 0, 255, 255}));
    EXPECT_EQ(dst.GetPalette()[1], (RGBAPIXEL{255, 0, 0, 255}));
    const uint8_t row0[10] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(dst.GetLineArray()[0], row0, 10), 0);
    EXPECT_EQ(dst.GetLineArray()[1][9], 1);
    EXPECT_EQ(dst.GetLineArray()[1][8], 0);

    // And to 32: each bit takes its palette entry.
    dst.CopyWithDepth(src, 32);
    EXPECT_EQ(PixelAt(dst, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(dst, 1, 0), 0xFFFF0000u);
}

TEST(PictureDepth, ToOneBitSetsDarkPixels) {
    CDibPicture src;
    src.Create(4, 1, 32, false);
    SetPixel(src, 0, 0, 0x007F7F7F); // all below 128: dark
    SetPixel(src, 1, 0, 0x00807F7F); // red at 128: light
    SetPixel(src, 2, 0, 0x00000000);
    SetPixel(src, 3, 0, 0x00FFFFFF);
    CDibPicture dst;
    dst.CopyWithDepth(src, 1);
    EXPECT_EQ(dst.GetPalette()[0], (RGBAPIXEL{255, 255, 255, 255}));
    EXPECT_EQ(dst.GetPalette()[1], (RGBAPIXEL{0, 0, 0, 255}));
    EXPECT_EQ(dst.GetLineArray()[0][0], 0b10100000);

    // From 8 bpp the palette decides.
    CDibPicture grey;
    grey.Create(2, 1, 8, false);
    grey.GetLineArray()[0][0] = 127;
    grey.GetLineArray()[0][1] = 128;
    dst.CopyWithDepth(grey, 1);
    EXPECT_EQ(dst.GetLineArray()[0][0], 0b10000000);
}

TEST(PictureDepth, EightToThirtyTwoToEightMapsToNearestFixedEntry) {
    CDibPicture src;
    src.Create(37, 11, 8, false);
    FillRandom(src, 4);
    std::mt19937 rng(5);
    for (int i = 0; i < 256; ++i)
        src.SetPaletteEntry(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
    CDibPicture wide, back;
    wide.CopyWithDepth(src, 32);
    back.CopyWithDepth(wide, 8);
    ASSERT_EQ(back.GetBitsPerPixel(), 8);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(back.GetPalette()[i], CColorQuantizer::FixedPalette()[size_t(i)]);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint32_t colour = PixelAt(wide, x, y);
            ASSERT_EQ(back.GetLineArray()[y][x], back.FindNearestIndex(colour)) << x << "," << y;
        }
}

TEST(Picture, FindNearestIndexPrefersLowestOnTies) {
    CDibPicture p;
    p.Create(1, 1, 8, false);
    for (int i = 0; i < 256; ++i) p.SetPaletteEntry(i, 0, 0, 0);
    p.SetPaletteEntry(10, 10, 0, 0);
    p.SetPaletteEntry(20, 0, 10, 0);
    EXPECT_EQ(p.FindNearestIndex(0x000A0000), 10); // exact red 10
    EXPECT_EQ(p.FindNearestIndex(0x00050500), 0);  // equally far from 0, 10 and 20
}

TEST(PictureDib, RoundTripAtEveryDepth) {
    for (uint16_t bpp : {1, 8, 32}) {
        CDibPicture src;
        src.Create(13, 7, bpp, false);
        FillRandom(src, bpp);
        if (bpp <= 8) src.SetPaletteEntry(1, 9, 8, 7);
        const std::vector<uint8_t> dib = src.GetDibCopy();
        EXPECT_EQ(dib.size(), src.GetMemUsed() - 48);
        CDibSectionPicture dst;
        dst.CreateFromDIB(dib.data(), dib.size());
        EXPECT_EQ(dst.GetWidth(), 13);
        EXPECT_EQ(dst.GetHeight(), 7);
        EXPECT_EQ(dst.GetBitsPerPixel(), bpp);
        const size_t used = (size_t(13) * bpp + 7) / 8;
        for (int y = 0; y < 7; ++y) {
            // Padding bits of a 1 bpp row are not part of the picture.
            const size_t full = bpp == 1 ? used - 1 : used;
            EXPECT_EQ(std::memcmp(dst.GetLineArray()[y], src.GetLineArray()[y], full), 0) << bpp;
        }
        if (bpp <= 8) {
            EXPECT_EQ(dst.GetPalette()[1], (RGBAPIXEL{7, 8, 9, 255}));
        }
    }
}

TEST(PictureDib, WidensFourAndTwentyFourBitDibs) {
    // A 3 x 2 top-down 24-bit DIB.
    std::vector<uint8_t> dib(40 + 2 * 12, 0);
    BITMAPINFOHEADER h{40, 3, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), &h, 40);
    dib[40] = 1, dib[41] = 2, dib[42] = 3; // top-left: blue 1, green 2, red 3
    dib[40 + 12 + 6] = 0xFF;               // bottom row, third pixel, blue
    CDibPicture p;
    p.CreateFromDIB(dib.data(), dib.size());
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    EXPECT_EQ(PixelAt(p, 0, 0), 0xFF030201u);
    EXPECT_EQ(PixelAt(p, 2, 1), 0xFF0000FFu);

    // 4 bits with a two-entry palette: nibbles become indices.
    std::vector<uint8_t> four(40 + 8 + 4, 0);
    BITMAPINFOHEADER h4{40, 3, 1, 1, 4, BI_RGB, 0, 0, 0, 2, 0};
    std::memcpy(four.data(), &h4, 40);
    four[44] = 0xFF; // entry 1 blue
    four[48] = 0x10;
    four[49] = 0x10;
    p.CreateFromDIB(four.data(), four.size());
    EXPECT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(p.GetLineArray()[0][0], 1);
    EXPECT_EQ(p.GetLineArray()[0][1], 0);
    EXPECT_EQ(p.GetLineArray()[0][2], 1);
    EXPECT_EQ(p.GetPalette()[1].b, 0xFF);
}

TEST(PictureDib, TruncatedOrHostileDibsRaiseAndKeepThePicture) {
    CDibPicture src;
    src.Create(20, 20, 32, false);
    std::vector<uint8_t> dib = src.GetDibCopy();
    CDibPicture p;
    for (size_t cut : {size_t(0), size_t(10), size_t(40), dib.size() - 1}) {
        EXPECT_THROW(p.CreateFromDIB(dib.data(), cut), CTextException) << cut;
        EXPECT_EQ(p.GetWidth(), 16);
    }
    // A header that claims a huge size with little data behind it.
    BITMAPINFOHEADER h{40, 100000, 100000, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), &h, 40);
    EXPECT_THROW(p.CreateFromDIB(dib.data(), dib.size()), CTextException);
    h = {40, 30000, 30000, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), &h, 40);
    EXPECT_THROW(p.CreateFromDIB(dib.data(), dib.size()), CTextException);
    h = {40, 4, 4, 1, 7, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), &h, 40);
    EXPECT_THROW(p.CreateFromDIB(dib.data(), dib.size()), CTextException);
}

TEST(PictureDib, BmpFileHasItsHeader) {
    CDibPicture p;
    p.Create(100, 100, 8, false);
    const std::vector<uint8_t> bmp = p.GetBmpFile();
    ASSERT_EQ(bmp.size(), size_t(14 + 40 + 1024 + 100 * 100));
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    uint32_t size, off;
    std::memcpy(&size, &bmp[2], 4);
    std::memcpy(&off, &bmp[10], 4);
    EXPECT_EQ(size, bmp.size());
    EXPECT_EQ(off, 14u + 40 + 1024);
}
