// The built-in TGA, PGM, PCX, PICT and metafile decoders on small files built by hand: the
// rules that decide what a file means, and damaged data that must end in CTextException.

#include <cstdint>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imagefile/ImageDecoder.h"

using namespace imagetest;

namespace {

const std::string kCorpus = ORVANE_SHARED_TESTDATA;

void Append(std::vector<uint8_t>& v, std::initializer_list<int> more) {
    v.insert(v.end(), more.begin(), more.end());
}
void Append16(std::vector<uint8_t>& v, unsigned x) {
    Append(v, {int(x & 0xFF), int(x >> 8 & 0xFF)});
}
void Append32(std::vector<uint8_t>& v, uint32_t x) {
    Append16(v, x & 0xFFFF);
    Append16(v, x >> 16);
}

// Decodes from memory; returns the error text, empty on success.
std::string Decode(const std::vector<uint8_t>& data, CPicture& picture, int bpp = 0,
                   int* code = nullptr) {
    try {
        ImageDecoder().MakePictureFromMemory(data.data(), data.size(), picture, bpp);
    } catch (const CTextException& e) {
        if (code) *code = e.GetCode();
        return e.GetText();
    }
    return "";
}

std::string DecodeFile(const std::string& path, CPicture& picture, int* code = nullptr) {
    try {
        ImageDecoder().MakePictureFromFile(path, picture);
    } catch (const CTextException& e) {
        if (code) *code = e.GetCode();
        return e.GetText();
    }
    return "";
}

std::vector<uint8_t> TgaHeader(int type, int width, int height, int depth, int descriptor) {
    std::vector<uint8_t> h(18, 0);
    h[2] = uint8_t(type);
    h[12] = uint8_t(width), h[14] = uint8_t(height);
    h[16] = uint8_t(depth), h[17] = uint8_t(descriptor);
    return h;
}

} // namespace

TEST(TgaDecoder, TypeZeroPassesRecognitionButIsRefused) {
    CDibPicture p;
    int code = 0;
    auto file = TgaHeader(0, 1, 1, 24, 0);
    Append(file, {1, 2, 3});
    EXPECT_EQ(Decode(file, p, 0, &code), "Decoder error: Unknown TGA image type.\n");
    EXPECT_EQ(code, 2);
}

TEST(TgaDecoder, RowOrderAndRunsAcrossRows) {
    // 2 x 2, 24 bits, run-length: one run of three red pixels crossing into the second row,
    // then one literal blue pixel. Bottom row first.
    auto file = TgaHeader(10, 2, 2, 24, 0);
    Append(file, {0x82, 0, 0, 255, 0x00, 255, 0, 0});
    CDibPicture p;
    ASSERT_EQ(Decode(file, p), "");
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    EXPECT_EQ(RgbAt(p, 0, 1), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 1, 1), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0x0000FFu);
    // Top row first when descriptor bit 5 is set.
    file[17] = 0x20;
    ASSERT_EQ(Decode(file, p), "");
    EXPECT_EQ(RgbAt(p, 1, 1), 0x0000FFu);
}

TEST(TgaDecoder, RunPastThePictureIsAnErrorNotAWrite) {
    auto file = TgaHeader(10, 2, 2, 24, 0);
    Append(file, {0xFF, 1, 2, 3}); // 128 pixels for a picture of 4
    CDibPicture p;
    EXPECT_NE(Decode(file, p).find("overruns the picture"), std::string::npos);
    file = TgaHeader(9, 4, 4, 8, 0); // colour-mapped, data cut short
    Append(file, {0x83});
    EXPECT_EQ(Decode(file, p), "End of file reached while decoding.\n");
}

TEST(TgaDecoder, SixteenBitAlphaComesFromTheAttributeBit) {
    // Pixel 0: red with bit 15 set; pixel 1: red with it clear.
    auto withAttribute = TgaHeader(2, 2, 1, 16, 0x01);
    Append(withAttribute, {0x00, 0xFC, 0x00, 0x7C});
    CDibPicture p;
    ASSERT_EQ(Decode(withAttribute, p), "");
    EXPECT_TRUE(p.HasAlpha());
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF80000u);
    EXPECT_EQ(p.GetLineArray()[0][3], 255);
    EXPECT_EQ(p.GetLineArray()[0][7], 0);
    // Without attribute bits every pixel is opaque.
    auto without = withAttribute;
    without[17] = 0;
    ASSERT_EQ(Decode(without, p), "");
    EXPECT_EQ(p.GetLineArray()[0][3], 255);
    EXPECT_EQ(p.GetLineArray()[0][7], 255);
}

TEST(TgaDecoder, FiveBitChannelsMoveToTheTopOfTheirByte) {
    // 15-bit pixels: white, then red 31, green 16, blue 1; raw and run-length coded.
    auto raw = TgaHeader(2, 2, 1, 15, 0);
    Append(raw, {0xFF, 0x7F, 0x01, 0x7E});
    CDibPicture p;
    ASSERT_EQ(Decode(raw, p), "");
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF8F8F8u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0xF88008u);
    EXPECT_EQ(p.GetLineArray()[0][3], 255);
    auto run = TgaHeader(10, 2, 1, 16, 0);
    Append(run, {0x81, 0x01, 0x7E});
    ASSERT_EQ(Decode(run, p), "");
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF88008u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0xF88008u);
    // A colour map of 16-bit entries is converted the same way.
    auto mapped = TgaHeader(1, 1, 1, 8, 0);
    mapped[1] = 1, mapped[5] = 1, mapped[7] = 16;
    Append(mapped, {0xFF, 0x7F, 0});
    ASSERT_EQ(Decode(mapped, p, 32), "");
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF8F8F8u);
}

TEST(TgaDecoder, GreyImagesGetTheGreyRampAndMappedOnesTheirMap) {
    auto grey = TgaHeader(3, 2, 1, 8, 0);
    Append(grey, {0, 200});
    CDibPicture p;
    ASSERT_EQ(Decode(grey, p), "");
    EXPECT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(RgbAt(p, 1, 0), 0xC8C8C8u);
    // Colour map of two 24-bit entries starting at index 1.
    auto mapped = TgaHeader(1, 2, 1, 8, 0);
    mapped[1] = 1, mapped[3] = 1, mapped[5] = 2, mapped[7] = 24;
    Append(mapped, {0, 0, 255, 255, 0, 0, 1, 2});
    ASSERT_EQ(Decode(mapped, p), "");
    EXPECT_EQ(RgbAt(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0x0000FFu);
}

TEST(Recognition, BitmapBeforeTargaPictSizeAndMetafileNames) {
    // A header valid as TGA in bytes 1, 2, 7 and 16 but starting with "BM" is a bitmap.
    auto bm = TgaHeader(2, 1, 1, 24, 0);
    bm[0] = 'B', bm[1] = 'M';
    EXPECT_EQ(ImageDecoder::Recognize("", bm.data(), bm.size(), bm.size()),
              ImageDecoder::FileType::Bitmap);
    // The PICT test needs more than 540 bytes.
    std::vector<uint8_t> pict(300, 0);
    CDibPicture p;
    EXPECT_EQ(Decode(pict, p), "Decoder error: Unknown file type.\n");
    pict.assign(600, 0);
    pict[522] = 0x00, pict[523] = 0x11, pict[524] = 0x02, pict[525] = 0xFF;
    EXPECT_EQ(ImageDecoder::Recognize("", pict.data(), pict.size(), pict.size()),
              ImageDecoder::FileType::Pict);
    // A name containing ".emf" makes a metafile of a bitmap, which then cannot be played.
    const TempDir dir;
    WriteFile(dir.File("picture.emf.bmp"), ReadFile(kCorpus + "/bmp/bmpsuite-2.8/g/pal8.bmp"));
    int code = 0;
    EXPECT_EQ(DecodeFile(dir.File("picture.emf.bmp"), p, &code),
              "Decoder error: Windows Metafile functions failed to load this image.\n");
    EXPECT_EQ(code, 6);
}

TEST(PgmDecoder, SamplesScaleByTheMaximumValue) {
    CDibPicture p;
    const std::string text = "P2\n# comment\n3 1\n1\n0 1 1\n";
    ASSERT_EQ(Decode({text.begin(), text.end()}, p), "");
    EXPECT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(RgbAt(p, 0, 0), 0u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0xFFFFFFu);
    // Binary samples of two bytes (maximum 65535) are scaled down, not sheared.
    std::string wide = "P5 2 1 65535\n";
    wide += std::string("\xFF\xFF\x80\x00", 4);
    ASSERT_EQ(Decode({wide.begin(), wide.end()}, p), "");
    EXPECT_EQ(p.GetWidth(), 2);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(RgbAt(p, 1, 0), 0x7F7F7Fu);
    // A size the data cannot fill is refused before anything is allocated.
    const std::string huge = "P2 16000 16000 255 1 2 3";
    EXPECT_EQ(Decode({huge.begin(), huge.end()}, p), "End of file reached while decoding.\n");
}

namespace {

std::vector<uint8_t> PcxHeader(int bpp, int planes, int width, int height, int bytesPerLine) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 10, h[1] = 5, h[2] = 1, h[3] = uint8_t(bpp);
    h[8] = uint8_t(width - 1), h[10] = uint8_t(height - 1);
    h[65] = uint8_t(planes), h[66] = uint8_t(bytesPerLine);
    return h;
}

} // namespace

TEST(PcxDecoder, TrueColourPlanesAndRunsAcrossLines) {
    // 2 x 2 from three planes; one run of 6 bytes covers both lines' red and green planes.
    auto file = PcxHeader(8, 3, 2, 2, 2);
    Append(file, {0xC4, 10, 0xC2, 30, 0xC4, 20, 0xC2, 30});
    CDibPicture p;
    ASSERT_EQ(Decode(file, p), "");
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    EXPECT_EQ(RgbAt(p, 0, 0), 0x0A0A1Eu);
    EXPECT_EQ(RgbAt(p, 1, 1), 0x14141Eu);
}

TEST(PcxDecoder, DamagedFilesRaiseTheirCodes) {
    CDibPicture p;
    int code = 0;
    auto overrun = PcxHeader(8, 3, 2, 1, 2);
    Append(overrun, {0xC9, 1}); // 9 bytes for a picture of 6
    EXPECT_EQ(Decode(overrun, p, 0, &code), "Decoder error: repeat count spans end of image.\n");
    EXPECT_EQ(code, 7);
    auto noMap = PcxHeader(8, 1, 2, 1, 2);
    Append(noMap, {1, 2});
    noMap.resize(noMap.size() + 769, 0); // the map without its signature byte
    EXPECT_EQ(Decode(noMap, p, 0, &code), "Decoder error: bad color map signature.\n");
    EXPECT_EQ(code, 7);
    EXPECT_EQ(Decode(PcxHeader(1, 5, 8, 1, 1), p, 0, &code),
              "Decoder error: Can't handle image with more than 4 planes.\n");
    EXPECT_EQ(Decode(PcxHeader(4, 2, 8, 1, 4), p, 0, &code),
              "Decoder error: Can't handle bits per pixel image with planes.\n");
    auto badEncoding = PcxHeader(8, 1, 2, 1, 2);
    badEncoding[2] = 0;
    EXPECT_EQ(Decode(badEncoding, p, 0, &code), "Decoder error: Unknown file type.\n");
}

TEST(PcxDecoder, FourPlanesOfOneBitIndexTheHeaderPalette) {
    auto file = PcxHeader(1, 4, 8, 1, 1);
    for (int i = 0; i < 16; ++i) file[size_t(16 + 3 * i)] = uint8_t(i * 16); // red = 16 * index
    Append(file, {0x80, 0x00, 0x80, 0x80}); // pixel 0 has planes 0, 2 and 3: index 13
    CDibPicture p;
    ASSERT_EQ(Decode(file, p), "");
    EXPECT_EQ(p.GetLineArray()[0][0], 13);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xD00000u);
}

TEST(PictDecoder, SixteenAndThirtyTwoBitPixmapsShowTheSamePicture) {
    CDibPicture p16, p32;
    ASSERT_EQ(DecodeFile(kCorpus + "/pict/twelvemonkeys/16bit.pict", p16), "");
    ASSERT_EQ(DecodeFile(kCorpus + "/pict/twelvemonkeys/32bit.pict", p32), "");
    ASSERT_EQ(p16.GetWidth(), p32.GetWidth());
    int worst = 0;
    for (int y = 0; y < p16.GetHeight(); ++y)
        for (int x = 0; x < p16.GetWidth(); ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(p16.GetLineArray()[y][4 * x + c]) -
                                                 int(p32.GetLineArray()[y][4 * x + c])));
    EXPECT_LE(worst, 8);
    int code = 0;
    EXPECT_EQ(DecodeFile(kCorpus + "/pict/twelvemonkeys/qt_jpeg.pict", p16, &code),
              "Decoder error: Library not compiled for PICT/JPEG.\n");
    EXPECT_EQ(code, 6);
}

TEST(PictDecoder, EveryVersionRecognitionAcceptsIsDecoded) {
    // Frame 8 x 1 and, per version, a one-bit bitmap row 11110000 (version 1 pictures start
    // with a clip region, version 2 ones with a header; version 2 opcodes are words). Each start
    // passes recognition and decodes the same.
    const auto picture = [](std::initializer_list<int> version, bool words) {
        std::vector<uint8_t> f(512, 0);
        Append(f, {0, 0, 0, 0, 0, 0, 0, 1, 0, 8});
        Append(f, version);
        if (!words) Append(f, {0x01, 0, 10, 0, 0, 0, 0, 0, 1, 0, 8}); // clip region
        if (words) Append(f, {0x0C, 0x00}), f.resize(f.size() + 24, 0);
        if (words) Append(f, {0x00});
        Append(f, {0x90, 0, 1, 0, 0, 0, 0, 0, 1, 0, 8}); // BitsRect, row bytes 1, bounds
        Append(f, {0, 0, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 1, 0, 8, 0, 0, 0xF0});
        if (words) Append(f, {0x00, 0x00}); // word alignment, then the end opcode's high byte
        Append(f, {0xFF});
        f.resize(600, 0);
        return f;
    };
    for (const auto& file : {picture({0x11, 0x01}, false), picture({0x00, 0x11, 0x01}, false),
                             picture({0x00, 0x11, 0x02, 0xFF}, true)}) {
        ASSERT_EQ(ImageDecoder::Recognize("", file.data(), file.size(), file.size()),
                  ImageDecoder::FileType::Pict);
        CDibPicture p;
        ASSERT_EQ(Decode(file, p), "");
        ASSERT_EQ(p.GetWidth(), 8);
        EXPECT_EQ(RgbAt(p, 0, 0), 0u);
        EXPECT_EQ(RgbAt(p, 3, 0), 0u);
        EXPECT_EQ(RgbAt(p, 4, 0), 0xFFFFFFu);
    }
}

namespace {

// A placeable metafile of 2 x 1 inches at 100 units an inch: window 200 x 100, a red brush
// and a rectangle over the left half.
std::vector<uint8_t> PlaceableWmf(bool placeable) {
    std::vector<uint8_t> f;
    if (placeable) {
        Append32(f, 0x9AC6CDD7u);
        Append16(f, 0);
        for (int v : {0, 0, 200, 100}) Append16(f, unsigned(v));
        Append16(f, 100);
        Append32(f, 0);
        Append16(f, 0);
    }
    Append(f, {1, 0, 9, 0, 0, 3});
    Append32(f, 0);
    Append(f, {1, 0, 0, 0, 0, 0, 0, 0});
    Append32(f, 5), Append16(f, 0x020C), Append16(f, 100), Append16(f, 200); // window extent
    Append32(f, 7), Append16(f, 0x02FC), Append16(f, 0), Append32(f, 0x0000FF), Append16(f, 0);
    Append32(f, 4), Append16(f, 0x012D), Append16(f, 0); // select the brush
    Append32(f, 4), Append16(f, 0x0106), Append16(f, 1);
    Append32(f, 7), Append16(f, 0x041B); // rectangle: bottom, right, top, left
    for (int v : {100, 100, 0, 0}) Append16(f, unsigned(v));
    Append32(f, 3), Append16(f, 0);
    return f;
}

} // namespace

TEST(MetafileDecoder, PlaceableSizeAtScreenResolutionAndDrawing) {
    const TempDir dir;
    WriteFile(dir.File("a.wmf"), PlaceableWmf(true));
    CDibPicture p;
    ASSERT_EQ(DecodeFile(dir.File("a.wmf"), p), "");
    EXPECT_EQ(p.GetWidth(), 192); // 2 inches at 96 dpi
    EXPECT_EQ(p.GetHeight(), 96);
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    EXPECT_EQ(RgbAt(p, 40, 50), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 150, 50), 0xFFFFFFu);
    // A plain metafile takes its window as the size.
    WriteFile(dir.File("b.wmf"), PlaceableWmf(false));
    ASSERT_EQ(DecodeFile(dir.File("b.wmf"), p), "");
    EXPECT_EQ(p.GetWidth(), 200);
    EXPECT_EQ(RgbAt(p, 40, 50), 0xFF0000u);
    // Damaged records end playing; a file that is no metafile at all cannot be played.
    auto cut = PlaceableWmf(true);
    cut.resize(cut.size() - 9);
    WriteFile(dir.File("c.wmf"), cut);
    EXPECT_EQ(DecodeFile(dir.File("c.wmf"), p), "");
    WriteFile(dir.File("d.wmf"), std::vector<uint8_t>(40, 7));
    int code = 0;
    EXPECT_EQ(DecodeFile(dir.File("d.wmf"), p, &code),
              "Decoder error: Windows Metafile functions failed to load this image.\n");
    EXPECT_EQ(code, 6);
}

TEST(MetafileDecoder, EnhancedFrameSizeDefaultSizeAndPalette) {
    // Header with a frame of 0..2540 x 0..1270 (0.01 mm): 96 x 48 pixels, then EOF with a
    // two-entry palette.
    std::vector<uint8_t> f;
    Append32(f, 1), Append32(f, 108);
    for (int v : {0, 0, 95, 47, 0, 0, 2540, 1270}) Append32(f, uint32_t(v));
    Append32(f, 0x464D4520), Append32(f, 0x10000), Append32(f, 108 + 28), Append32(f, 2);
    Append16(f, 1), Append16(f, 0), Append32(f, 0), Append32(f, 0), Append32(f, 2);
    for (int v : {96, 48, 25, 12}) Append32(f, uint32_t(v)); // 96 dpi reference device
    f.resize(108, 0);
    Append32(f, 14), Append32(f, 28), Append32(f, 2), Append32(f, 16);
    Append32(f, 0x00FFFFFF), Append32(f, 0x000000FF), Append32(f, 28);
    const TempDir dir;
    WriteFile(dir.File("a.emf"), f);
    CDibPicture p;
    ASSERT_EQ(DecodeFile(dir.File("a.emf"), p), "");
    EXPECT_EQ(p.GetWidth(), 96);
    EXPECT_EQ(p.GetHeight(), 48);
    EXPECT_EQ(p.GetBitsPerPixel(), 8); // the metafile has a palette of 2 entries
    EXPECT_EQ(RgbAt(p, 3, 3), 0xFFFFFFu);
    // An empty frame gives 320 x 200.
    for (int i = 24; i < 40; ++i) f[size_t(i)] = 0;
    WriteFile(dir.File("b.emf"), f);
    ASSERT_EQ(DecodeFile(dir.File("b.emf"), p), "");
    EXPECT_EQ(p.GetWidth(), 320);
    EXPECT_EQ(p.GetHeight(), 200);
    // A header without the signature.
    f[40] = 0;
    WriteFile(dir.File("c.emf"), f);
    EXPECT_EQ(DecodeFile(dir.File("c.emf"), p),
              "Decoder error: No header information in metafile\n");
}

// Coordinates near the ends of the 32-bit range: the shapes are cut to the picture, and no
// size derived from them may overflow on the way to pixels.
TEST(MetafileDecoder, ShapesAtTheEndsOfTheCoordinateRange) {
    std::vector<uint8_t> f;
    Append32(f, 1), Append32(f, 108);
    for (int v : {0, 0, 95, 47, 0, 0, 2540, 1270}) Append32(f, uint32_t(v));
    Append32(f, 0x464D4520), Append32(f, 0x10000), Append32(f, 0), Append32(f, 4);
    Append16(f, 0), Append16(f, 0), Append32(f, 0), Append32(f, 0), Append32(f, 0);
    for (int v : {96, 48, 25, 12}) Append32(f, uint32_t(v));
    f.resize(108, 0);
    const int32_t lo = INT32_MIN + 1, hi = INT32_MAX;
    Append32(f, 42), Append32(f, 24); // ellipse
    for (int32_t v : {lo, lo, hi, hi}) Append32(f, uint32_t(v));
    Append32(f, 45), Append32(f, 40); // arc
    for (int32_t v : {lo, lo, hi, hi, hi, 0, lo, 0}) Append32(f, uint32_t(v));
    Append32(f, 14), Append32(f, 20), Append32(f, 0), Append32(f, 16), Append32(f, 20);
    const TempDir dir;
    WriteFile(dir.File("huge.emf"), f);
    CDibPicture p;
    ASSERT_EQ(DecodeFile(dir.File("huge.emf"), p), "");
    EXPECT_EQ(p.GetWidth(), 96);
}

// Inputs the fuzzers found: each must end in CTextException, not in undefined behaviour.
TEST(FuzzRegressions, SavedInputsFailCleanly) {
    for (const auto& f :
         std::filesystem::directory_iterator(std::string(ORVANE_TEST_DATA) + "/fuzz")) {
        CDibPicture p;
        for (int bpp : {0, 32}) {
            const auto bytes = ReadFile(f.path());
            EXPECT_NE(Decode(bytes, p, bpp), "") << f.path();
        }
    }
}
