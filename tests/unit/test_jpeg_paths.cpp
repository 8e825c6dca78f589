// The JPEG encoder and decoder do colour conversion, resampling and the DCTs themselves on
// every core; the library's own one-core pipeline is kept and is the reference here.

#include <gtest/gtest.h>

#include <random>

#include "ImageTestUtil.h"
#include "imagefile/PictureEncoder.h"

using namespace imagetest;

namespace {

enum class Content { Random, Flat, Desktop };

// Random noise stresses rounding in every coefficient; flat colour makes every AC zero and
// ties in the quantiser likely; the desktop mixes sharp text-like strokes with gradients.
void Fill(CPicture& p, int width, int height, Content content, uint32_t seed) {
    p.CreateForOverwrite(width, height, 32, false);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.GetLineArray()[y];
        for (int x = 0; x < width; ++x) {
            uint8_t* px = row + 4 * x;
            switch (content) {
            case Content::Random:
                px[0] = uint8_t(rng()), px[1] = uint8_t(rng()), px[2] = uint8_t(rng());
                break;
            case Content::Flat:
                px[0] = 0x9A, px[1] = 0x57, px[2] = 0x2B;
                break;
            case Content::Desktop: {
                const bool stroke = y % 24 > 6 && y % 24 < 18 && (x / 3 + y / 24) % 7 < 3;
                px[0] = stroke ? 16 : uint8_t(x * 255 / width);
                px[1] = stroke ? 16 : uint8_t(0x40 + y % 120);
                px[2] = stroke ? 16 : uint8_t((x + y) & 255);
                break;
            }
            }
            px[3] = uint8_t(rng());
        }
    }
}

std::vector<uint8_t> Encode(const CPicture& p, CJPEGEncoder encoder, bool library,
                            const TempDir& dir) {
    encoder.m_libraryPipeline = library;
    const std::string path = dir.File(library ? "library.jpg" : "threaded.jpg");
    encoder.EncodeToFile(path, p);
    return ReadFile(path);
}

// Where two files part, rather than thousands of bytes of both.
::testing::AssertionResult SameBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() && i == b.size()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "sizes " << a.size() << " and " << b.size() << ", first difference at " << i;
}

} // namespace

TEST(JpegPaths, ThreadedEncoderWritesTheLibrarysBytes) {
    struct Case {
        int width, height;
        Content content;
    };
    const Case cases[] = {
        {1, 1, Content::Random},   {1, 1, Content::Flat},          {17, 9, Content::Random},
        {17, 9, Content::Desktop}, {33, 31, Content::Random},      {33, 31, Content::Flat},
        {16, 16, Content::Random}, {2, 200, Content::Desktop},     {200, 3, Content::Random},
        {34, 18, Content::Random}, {1923, 1081, Content::Desktop}, {641, 479, Content::Random},
    };
    TempDir dir;
    for (const Case& c : cases) {
        CDibPicture p;
        Fill(p, c.width, c.height, c.content, uint32_t(c.width * 7 + c.height));
        for (int variant = 0; variant < 4; ++variant) {
            CJPEGEncoder encoder;
            encoder.m_optimizeCoding = variant & 1;
            if (variant & 2) encoder.m_densityX = 96, encoder.m_densityY = 300;
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " content " +
                         std::to_string(int(c.content)) + " variant " + std::to_string(variant));
            EXPECT_TRUE(SameBytes(Encode(p, encoder, false, dir), Encode(p, encoder, true, dir)));
        }
    }
}

TEST(JpegPaths, OtherQualitiesAndSmoothingStillEncode) {
    TempDir dir;
    CDibPicture p;
    Fill(p, 50, 37, Content::Random, 4);
    for (int quality : {1, 50, 100}) {
        CJPEGEncoder encoder;
        encoder.m_quality = quality;
        EXPECT_TRUE(SameBytes(Encode(p, encoder, false, dir), Encode(p, encoder, true, dir)))
            << quality;
    }
    // Smoothing always goes through the library; the flag must not change that.
    CJPEGEncoder smooth;
    smooth.m_smoothingFactor = 30;
    EXPECT_TRUE(SameBytes(Encode(p, smooth, false, dir), Encode(p, smooth, true, dir)));
}
