#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "editor/Snapshot.h"

namespace {

// The whole pixel block, row padding included: a snapshot gives back every byte.
std::vector<uint8_t> Block(const CPicture& p) {
    const size_t n = size_t(p.GetBytesPerLine()) * size_t(p.GetHeight());
    return {p.GetBits(), p.GetBits() + n};
}

// Flat runs broken by noise every `noisyEvery` bytes (0: all noise); the padding bytes of each
// row are set too. The palette is made up, so that a grey ramp would not pass for it.
void Fill(CPicture& p, int width, int height, uint16_t bpp, bool alpha, uint32_t seed,
          int noisyEvery) {
    p.Create(width, height, bpp, alpha);
    std::mt19937 rng(seed);
    const size_t n = size_t(p.GetBytesPerLine()) * size_t(height);
    uint8_t* bits = p.GetBits();
    for (size_t i = 0; i < n; ++i)
        bits[i] = noisyEvery == 0 || i % size_t(noisyEvery) == 0 ? uint8_t(rng())
                                                                 : uint8_t((i / 4096) * 37);
    for (int i = 0; i < p.GetPaletteSize(); ++i)
        p.SetPaletteEntry(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
}

void ExpectSame(const CPicture& want, const CPicture& got) {
    ASSERT_EQ(got.GetWidth(), want.GetWidth());
    ASSERT_EQ(got.GetHeight(), want.GetHeight());
    ASSERT_EQ(got.GetBitsPerPixel(), want.GetBitsPerPixel());
    EXPECT_EQ(got.HasAlpha(), want.HasAlpha());
    ASSERT_EQ(got.GetPaletteSize(), want.GetPaletteSize());
    for (int i = 0; i < want.GetPaletteSize(); ++i)
        EXPECT_EQ(got.GetPalette()[i], want.GetPalette()[i]) << "palette entry " << i;
    EXPECT_TRUE(Block(got) == Block(want)) << "pixel block differs";
}

} // namespace

// 1-, 8- and 32-bit pictures with odd widths (so rows carry padding), spanning several bands,
// restored into a picture of another size and depth, in every mode of keeping them.
TEST(Snapshot, RestoresEveryByteAtEveryDepth) {
    struct Case {
        int width, height;
        uint16_t bpp;
        bool alpha;
    };
    const Case cases[] = {{4001, 1333, 1, false}, {1237, 999, 8, false}, {613, 701, 32, true},
                          {613, 701, 32, false},  {3, 1, 1, false},      {1, 1, 32, true}};
    const CPictureSnapshot::Mode modes[] = {CPictureSnapshot::Mode::Immediate,
                                            CPictureSnapshot::Mode::Background,
                                            CPictureSnapshot::Mode::Plain};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        for (const int noisyEvery : {97, 0}) {
            for (const auto mode : modes) {
                SCOPED_TRACE(testing::Message()
                             << c.width << "x" << c.height << "x" << c.bpp << " noise "
                             << noisyEvery << " mode " << int(mode));
                CDibSectionPicture source;
                Fill(source, c.width, c.height, c.bpp, c.alpha, seed++, noisyEvery);
                CPictureSnapshot snapshot(source, mode);
                snapshot.WaitUntilSettled();
                // Compressible content is held compressed, except when told to keep it plain.
                if (noisyEvery && mode != CPictureSnapshot::Mode::Plain &&
                    snapshot.GetPixelBytes() > 4096) {
                    EXPECT_TRUE(snapshot.IsCompressed());
                }
                CDibSectionPicture target;
                Fill(target, 50, 40, c.bpp == 32 ? 8 : 32, false, 99, 0);
                snapshot.RestoreInto(target);
                ExpectSame(source, target);
                // A second undo of the same step (after a redo) gives the same again.
                Fill(target, 7, 7, 1, false, 98, 0);
                snapshot.RestoreInto(target);
                ExpectSame(source, target);
            }
        }
    }
}

TEST(Snapshot, IncompressiblePicturesAreKeptAsTheyAre) {
    CDibSectionPicture noise;
    Fill(noise, 1000, 800, 32, false, 5, 0);
    CPictureSnapshot kept(noise, CPictureSnapshot::Mode::Immediate);
    EXPECT_FALSE(kept.IsCompressed());
    EXPECT_EQ(kept.GetStoredBytes(), kept.GetPixelBytes());

    // Screen-like content shrinks at least ten-fold even with a photograph in it, whose
    // bands are kept as they are.
    CDibSectionPicture screen;
    Fill(screen, 2000, 2400, 32, false, 6, 5000);
    std::mt19937 rng(8);
    for (int y = 300; y < 450; ++y)
        for (int x = 0; x < 8000; ++x) screen.GetLineArray()[y][x] = uint8_t(rng());
    CPictureSnapshot packed(screen, CPictureSnapshot::Mode::Immediate);
    EXPECT_TRUE(packed.IsCompressed());
    EXPECT_LT(packed.GetStoredBytes(), packed.GetPixelBytes() / 10);
    CDibSectionPicture back;
    packed.RestoreInto(back);
    ExpectSame(screen, back);
}

// An undo that comes while the compression is still running reads the plain copy, which the
// compression may let go of at the same time; and a snapshot dropped mid-way stops it.
TEST(Snapshot, RestoreAndDestroyWhileCompressing) {
    CDibSectionPicture source;
    Fill(source, 1920, 1080, 32, false, 7, 61);
    int early = 0;
    for (int i = 0; i < 6; ++i) {
        CPictureSnapshot snapshot(source);
        if (!snapshot.IsSettled()) ++early;
        CDibSectionPicture target;
        snapshot.RestoreInto(target);
        ExpectSame(source, target);
        snapshot.WaitUntilSettled();
        EXPECT_TRUE(snapshot.IsCompressed());
        snapshot.RestoreInto(target);
        ExpectSame(source, target);
    }
    EXPECT_GT(early, 0); // the restores above did race with a running compression
    for (int i = 0; i < 6; ++i) {
        CPictureSnapshot dropped(source);
    }
}
