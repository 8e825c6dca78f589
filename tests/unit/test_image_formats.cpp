#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "ImageTestUtil.h"
#include "imagefile/DataSource.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureEncoder.h"

using namespace imagetest;

namespace {

const std::string kCorpus = ORVANE_SHARED_TESTDATA;

void PutLE16(std::vector<uint8_t>& v, size_t at, unsigned x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void PutLE32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

// A bitmap file built by hand: headers, optional masks and palette, then the given pixel bytes.
struct BmpLayout {
    int width = 2, height = 2, bitCount = 8;
    uint32_t compression = BI_RGB, headerSize = 40, coloursUsed = 0;
    std::vector<uint32_t> masks = {};  // written after a 40-byte header, or inside a longer one
    std::vector<uint8_t> palette = {}; // 4 bytes an entry
    std::vector<uint8_t> pixels = {};
};

std::vector<uint8_t> MakeBmp(BmpLayout s) {
    if (s.palette.empty() && s.bitCount <= 8 && s.coloursUsed <= 256) {
        const unsigned n = s.coloursUsed ? s.coloursUsed : 1u << s.bitCount;
        s.palette.resize(4 * n);
        for (unsigned i = 0; i < n; ++i)
            s.palette[4 * i] = s.palette[4 * i + 1] = s.palette[4 * i + 2] = uint8_t(i);
    }
    const size_t maskBytes = s.headerSize == 40 ? s.masks.size() * 4 : 0;
    const size_t offset = 14 + s.headerSize + maskBytes + s.palette.size();
    std::vector<uint8_t> f(std::max<size_t>(offset, 54), 0);
    f[0] = 'B';
    f[1] = 'M';
    PutLE32(f, 10, uint32_t(offset));
    PutLE32(f, 14, s.headerSize);
    PutLE32(f, 18, uint32_t(s.width));
    PutLE32(f, 22, uint32_t(s.height));
    PutLE16(f, 26, 1);
    PutLE16(f, 28, unsigned(s.bitCount));
    PutLE32(f, 30, s.compression);
    PutLE32(f, 46, s.coloursUsed);
    for (size_t i = 0; i < s.masks.size(); ++i) PutLE32(f, 54 + 4 * i, s.masks[i]);
    std::copy(s.palette.begin(), s.palette.end(), f.begin() + long(offset - s.palette.size()));
    f.insert(f.end(), s.pixels.begin(), s.pixels.end());
    PutLE32(f, 2, uint32_t(f.size()));
    return f;
}

void Decode(const std::vector<uint8_t>& bytes, CPicture& picture, int bpp = 0) {
    ImageDecoder().MakePictureFromMemory(bytes.data(), bytes.size(), picture, bpp);
}

// Runs f and returns the exception it raised.
template <class F> CTextException Raised(F f) {
    try {
        f();
    } catch (const CTextException& e) {
        return e;
    }
    ADD_FAILURE() << "no CTextException";
    return CTextException(0, "");
}

void FillRandom(CPicture& p, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < p.GetHeight(); ++y) {
        uint8_t* row = p.GetLineArray()[y];
        const size_t bytes =
            p.GetBitsPerPixel() == 32 ? size_t(p.GetWidth()) * 4 : size_t(p.GetBytesPerLine());
        for (size_t i = 0; i < bytes; ++i) row[i] = uint8_t(rng());
    }
    if (p.GetBitsPerPixel() == 8)
        for (int i = 0; i < 256; ++i)
            p.SetPaletteEntry(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
}

void ExpectSameColours(const CPicture& a, const CPicture& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            ASSERT_EQ(RgbAt(a, x, y), RgbAt(b, x, y)) << "at " << x << "," << y;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Recognition and the error texts

TEST(ImageRecognition, NameTestComesFirstAndLooksAnywhereInThePath) {
    const std::vector<uint8_t> bmp = MakeBmp({.pixels = std::vector<uint8_t>(8, 0)});
    using T = ImageDecoder::FileType;
    EXPECT_EQ(ImageDecoder::Recognize("a/b.wmf", bmp.data(), bmp.size(), bmp.size()),
              T::WindowsMetafile);
    EXPECT_EQ(ImageDecoder::Recognize("picture.emf.bmp", bmp.data(), bmp.size(), bmp.size()),
              T::EnhancedMetafile);
    EXPECT_EQ(ImageDecoder::Recognize("picture.bmp", bmp.data(), bmp.size(), bmp.size()),
              T::Bitmap);

    TempDir dir;
    WriteFile(dir.File("picture.emf.bmp"), bmp);
    CDibPicture picture;
    const CTextException e =
        Raised([&] { ImageDecoder().MakePictureFromFile(dir.File("picture.emf.bmp"), picture); });
    EXPECT_EQ(e.GetCode(), 6);
    EXPECT_EQ(e.GetText(),
              "Decoder error: Windows Metafile functions failed to load this image.\n");
}

TEST(ImageRecognition, OrderOfTheSignatureTests) {
    using T = ImageDecoder::FileType;
    // A TGA header that starts with "BM" is a bitmap.
    std::vector<uint8_t> h(18, 0);
    h[0] = 'B', h[1] = 'M', h[2] = 2, h[16] = 24;
    EXPECT_EQ(ImageDecoder::Recognize("", h.data(), h.size(), h.size()), T::Bitmap);
    h[0] = 0, h[1] = 0;
    EXPECT_EQ(ImageDecoder::Recognize("", h.data(), h.size(), h.size()), T::Targa);

    // PICT needs more than 540 bytes.
    std::vector<uint8_t> pict(600, 0xAA);
    pict[522] = 0x00, pict[523] = 0x11, pict[524] = 0x02, pict[525] = 0xFF;
    EXPECT_EQ(ImageDecoder::Recognize("", pict.data(), 512, pict.size()), T::Unknown)
        << "only the first 512 bytes are looked at";
    EXPECT_EQ(ImageDecoder::Recognize("", pict.data(), pict.size(), pict.size()), T::Pict);
    std::vector<uint8_t> small(300, 0xAA);
    CDibPicture picture;
    const CTextException e = Raised([&] { Decode(small, picture); });
    EXPECT_EQ(e.GetCode(), 8);
    EXPECT_EQ(e.GetText(), "Decoder error: Unknown file type.\n");

    // An EPS header needs both the preview's offset and its length.
    std::vector<uint8_t> eps(32, 0);
    eps[0] = 0xC5, eps[1] = 0xD0, eps[2] = 0xD3, eps[3] = 0xC6;
    eps[20] = 32;
    EXPECT_EQ(ImageDecoder::Recognize("", eps.data(), eps.size(), eps.size()), T::Unknown);
    eps[24] = 1;
    EXPECT_EQ(ImageDecoder::Recognize("", eps.data(), eps.size(), eps.size()), T::EpsTiffPreview);

    const uint8_t pcx[] = {0x0A, 5, 1}, pgm[] = {'P', '5'}, jpeg[] = {0xFF, 0xD8, 0xFF};
    EXPECT_EQ(ImageDecoder::Recognize("", pcx, 3, 3), T::Pcx);
    EXPECT_EQ(ImageDecoder::Recognize("", pgm, 2, 2), T::Pgm);
    EXPECT_EQ(ImageDecoder::Recognize("", jpeg, 3, 3), T::Jpeg);
}

TEST(ImageErrors, PrefixAndTheLowLevelMessagesThatGoWithout) {
    CDibPicture picture;
    // Cut a bitmap short inside its pixels: end of data, raised without the prefix.
    std::vector<uint8_t> bmp =
        MakeBmp({.width = 4, .height = 4, .bitCount = 24, .pixels = std::vector<uint8_t>(48, 1)});
    bmp.resize(bmp.size() - 20);
    CTextException e = Raised([&] { Decode(bmp, picture); });
    EXPECT_EQ(e.GetCode(), 11);
    EXPECT_EQ(e.GetText(), "End of file reached while decoding.\n");

    e = Raised([&] { ImageDecoder().MakePictureFromFile("/nonexistent/x.png", picture); });
    EXPECT_EQ(e.GetText(), "Decoder error: Opening /nonexistent/x.png failed\n");

    CMemorySource source(bmp.data(), 4);
    source.ReadNBytes(3);
    e = Raised([&] { source.ReadNBytes(2); });
    EXPECT_EQ(e.GetCode(), 11);
}

TEST(DataSource, ReportsProgressEveryKilobyteAndCompletionOnClose) {
    struct Recorder : ProgressSink {
        std::vector<double> seen;
        void OnProgress(double f) override { seen.push_back(f); }
    } recorder;
    std::vector<uint8_t> data(4096, 0);
    CMemorySource source(data.data(), data.size());
    source.SetProgressSink(&recorder);
    for (int i = 0; i < 8; ++i) source.ReadNBytes(500);
    EXPECT_EQ(recorder.seen, (std::vector<double>{1500.0 / 4096, 2500.0 / 4096, 3500.0 / 4096}));
    source.Close();
    EXPECT_EQ(recorder.seen.back(), 1.0);
}

TEST(FileSink, OverflowAndAFailedEncodeLeaveTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("keep.bin");
    WriteFile(path, {1, 2, 3});
    {
        CFileSink sink;
        ASSERT_EQ(sink.Open(path, 4), 0);
        sink.WriteNBytes("abcd", 4);
        const CTextException e = Raised([&] { sink.WriteNBytes("e", 1); });
        EXPECT_EQ(e.GetCode(), 11);
        EXPECT_EQ(e.GetText(), "Buffer overflow while encoding.\n");
    } // destroyed without Close
    EXPECT_EQ(ReadFile(path), (std::vector<uint8_t>{1, 2, 3}));
    {
        CFileSink sink;
        ASSERT_EQ(sink.Open(dir.File("new.bin"), 4), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.bin")));
    CFileSink sink;
    ASSERT_EQ(sink.Open(path, 8), 0);
    sink.WriteNBytes("xy", 2);
    sink.Close();
    EXPECT_EQ(ReadFile(path), (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_NE(CFileSink().Open(dir.File("no/such/folder.bin"), 8), 0);
}

// ---------------------------------------------------------------------------------------------
// Bitmap decoding

TEST(BmpDecoder, OneBitOpensAsEightBitWithTheFilePalette) {
    CDibPicture p;
    // Rows bottom first: bottom row 10, top row 01; each row padded to 4 bytes.
    Decode(MakeBmp({.bitCount = 1,
                    .palette = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0},
                    .pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0}}),
           p);
    ASSERT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(p.GetLineArray()[0][0], 0);
    EXPECT_EQ(p.GetLineArray()[0][1], 1);
    EXPECT_EQ(p.GetLineArray()[1][0], 1);
    EXPECT_EQ(p.GetPalette()[0], (RGBAPIXEL{0, 0, 0xFF, 255}));
    EXPECT_EQ(p.GetPalette()[1], (RGBAPIXEL{0, 0xFF, 0, 255}));

    // Asked for 32 bits, the pixels take the palette's colours.
    Decode(MakeBmp({.bitCount = 1,
                    .palette = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0},
                    .pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0}}),
           p, 32);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 1, 0), 0x00FF00u);
}

TEST(BmpDecoder, DeepFormatsBecomeThirtyTwoBitWithoutAlpha) {
    CDibPicture p;
    Decode(MakeBmp({.width = 1, .height = 1, .bitCount = 24, .pixels = {1, 2, 3, 0}}), p);
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    EXPECT_FALSE(p.HasAlpha());
    EXPECT_EQ(std::memcmp(p.GetLineArray()[0], "\x01\x02\x03\xFF", 4), 0);

    // 0x7FFF is white in 5-5-5; in 5-6-5 its top bit of red is clear.
    Decode(MakeBmp({.width = 1, .height = 1, .bitCount = 16, .pixels = {0xFF, 0x7F, 0, 0}}), p);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF8F8F8u);
    Decode(MakeBmp({.width = 1,
                    .height = 1,
                    .bitCount = 16,
                    .compression = BI_BITFIELDS,
                    .masks = {0xF800, 0x7E0, 0x1F},
                    .pixels = {0x1F, 0xF8, 0, 0}}),
           p);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xF800F8u) << "red and blue at full, green clear";
    Decode(MakeBmp({.width = 1,
                    .height = 1,
                    .bitCount = 16,
                    .compression = BI_BITFIELDS,
                    .masks = {0x7C00, 0x3E0, 0x1F},
                    .pixels = {0xE0, 0x03, 0, 0}}),
           p);
    EXPECT_EQ(RgbAt(p, 0, 0), 0x00F800u) << "green mask 0x3E0 is 5-5-5";

    // 32-bit pixels are copied as they are, fourth byte included.
    Decode(MakeBmp({.width = 1, .height = 1, .bitCount = 32, .pixels = {1, 2, 3, 4}}), p);
    EXPECT_EQ(std::memcmp(p.GetLineArray()[0], "\x01\x02\x03\x04", 4), 0);
    EXPECT_FALSE(p.HasAlpha());
}

TEST(BmpDecoder, LongerHeadersTopDownRowsAndFourBit) {
    CDibPicture p;
    // A 124-byte header: the palette follows the whole header.
    Decode(MakeBmp({.width = 1,
                    .height = 1,
                    .headerSize = 124,
                    .coloursUsed = 1,
                    .palette = {9, 8, 7, 0},
                    .pixels = {0, 0, 0, 0}}),
           p);
    EXPECT_EQ(p.GetPalette()[0], (RGBAPIXEL{9, 8, 7, 255}));

    // A negative height stores the top row first.
    Decode(
        MakeBmp(
            {.width = 1, .height = -2, .bitCount = 24, .pixels = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0}}),
        p);
    EXPECT_EQ(RgbAt(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(RgbAt(p, 0, 1), 0x0000FFu);

    Decode(MakeBmp({.width = 3, .height = 1, .bitCount = 4, .pixels = {0x12, 0x30, 0, 0}}), p);
    EXPECT_EQ(std::memcmp(p.GetLineArray()[0], "\x01\x02\x03", 3), 0);
}

TEST(BmpDecoder, RunLengthCodingAndItsFaults) {
    CDibPicture p;
    // RLE8, 4 x 2: a run of 1, a literal of 3 (padded), end of line, a run, end of picture.
    Decode(MakeBmp({.width = 4,
                    .height = 2,
                    .compression = BI_RLE8,
                    .pixels = {1, 7, 0, 3, 1, 2, 3, 0, 0, 0, 4, 9, 0, 1}}),
           p);
    EXPECT_EQ(std::memcmp(p.GetLineArray()[1], "\x07\x01\x02\x03", 4), 0);
    EXPECT_EQ(std::memcmp(p.GetLineArray()[0], "\x09\x09\x09\x09", 4), 0);
    // RLE4: the nibbles alternate.
    Decode(MakeBmp({.width = 4,
                    .height = 1,
                    .bitCount = 4,
                    .compression = BI_RLE4,
                    .pixels = {4, 0x12, 0, 1}}),
           p);
    EXPECT_EQ(std::memcmp(p.GetLineArray()[0], "\x01\x02\x01\x02", 4), 0);

    CTextException e = Raised([&] {
        Decode(MakeBmp(
                   {.width = 4, .height = 2, .compression = BI_RLE8, .pixels = {0, 2, 1, 1, 0, 1}}),
               p);
    });
    EXPECT_EQ(e.GetCode(), 6);
    EXPECT_EQ(e.GetText(), "Decoder error: Encountered delta escape.\n");
    // A run longer than the row, a literal longer than the row, rows beyond the picture.
    for (const std::vector<uint8_t>& bad :
         {std::vector<uint8_t>{5, 1, 0, 1}, std::vector<uint8_t>{0, 5, 1, 2, 3, 4, 5, 0},
          std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 2, 1, 0, 1}}) {
        e = Raised([&] {
            Decode(MakeBmp({.width = 4, .height = 2, .compression = BI_RLE8, .pixels = bad}), p);
        });
        EXPECT_EQ(e.GetCode(), 2);
    }
}

TEST(BmpDecoder, RefusesBadHeadersBeforeAllocating) {
    CDibPicture p;
    EXPECT_EQ(Raised([&] { Decode(MakeBmp({.headerSize = 12}), p); }).GetText(),
              "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n");
    EXPECT_EQ(Raised([&] {
                  Decode(MakeBmp({.bitCount = 7, .pixels = {0, 0, 0, 0}}), p);
              }).GetText(),
              "Decoder error: Decoding bmp: Illegal bpp value.\n");
    // Huge sizes with a few bytes of data: refused without trying to allocate them.
    EXPECT_EQ(Raised([&] {
                  Decode(MakeBmp({.width = 30000, .height = 30000, .bitCount = 24}), p);
              }).GetCode(),
              10);
    EXPECT_EQ(Raised([&] {
                  Decode(MakeBmp({.width = 10000, .height = 10000, .bitCount = 24}), p);
              }).GetCode(),
              11);
    EXPECT_EQ(Raised([&] { Decode(MakeBmp({.width = 0, .height = 1}), p); }).GetCode(), 2);
    EXPECT_EQ(
        Raised([&] { Decode(MakeBmp({.bitCount = 8, .coloursUsed = 0x40000000}), p); }).GetCode(),
        11);
}

// ---------------------------------------------------------------------------------------------
// Encoding

TEST(Encoders, BitmapFileSizesAndTheExtensionRule) {
    TempDir dir;
    CDibPicture p;
    p.Create(100, 100, 8, false);
    ASSERT_TRUE(EncodePictureByExtension(dir.File("a.bmp"), p));
    EXPECT_EQ(std::filesystem::file_size(dir.File("a.bmp")), 14u + 40 + 1024 + 100 * 100);
    p.Create(5, 3, 32, false);
    ASSERT_TRUE(EncodePictureByExtension(dir.File("b.BMP"), p));
    const std::vector<uint8_t> f = ReadFile(dir.File("b.BMP"));
    EXPECT_EQ(f.size(), 54u + 16 * 3);
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(f[2] | f[3] << 8, int(f.size()));

    for (const char* name : {"c.jpeg", "c.tiff", "c", "c.bmp.txt"}) {
        EXPECT_FALSE(EncodePictureByExtension(dir.File(name), p)) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    }
}

TEST(Encoders, LosslessRoundTripsAtEveryDepth) {
    TempDir dir;
    for (const char* ext : {"bmp", "png", "tif"}) {
        for (uint16_t bpp : {1, 8, 32}) {
            CDibPicture original, back;
            original.Create(37, 11, bpp, false);
            FillRandom(original, bpp);
            if (bpp == 1) { // white on black and back again
                original.SetPaletteEntry(0, 255, 255, 255);
                original.SetPaletteEntry(1, 0, 0, 0);
            }
            const std::string path = dir.File(std::string("rt.") + ext);
            // The encoders themselves, without the 32-bit copy the save path makes for PNG.
            CBMPEncoder bmp;
            CPNGEncoder png;
            CTIFFEncoder tif;
            CPictureEncoder& encoder = ext[0] == 'b'   ? static_cast<CPictureEncoder&>(bmp)
                                       : ext[0] == 'p' ? static_cast<CPictureEncoder&>(png)
                                                       : tif;
            encoder.EncodeToFile(path, original);
            ImageDecoder().MakePictureFromFile(path, back);
            SCOPED_TRACE(std::string(ext) + " at " + std::to_string(bpp));
            ExpectSameColours(original, back);
            if (bpp == 1 && ext[0] == 't') {
                EXPECT_EQ(back.GetBitsPerPixel(), 1);
            }
        }
    }
}

TEST(Encoders, PngKeepsAlphaAndTheDocumentPictureKeepsItsDepth) {
    TempDir dir;
    CDibPicture p, back;
    p.Create(3, 2, 32, true);
    FillRandom(p, 5);
    ASSERT_TRUE(EncodePictureByExtension(dir.File("a.png"), p));
    EXPECT_EQ(ReadFile(dir.File("a.png"))[25], 6) << "colour type RGBA";
    ImageDecoder().MakePictureFromFile(dir.File("a.png"), back);
    EXPECT_TRUE(back.HasAlpha());
    EXPECT_EQ(std::memcmp(back.GetBits(), p.GetBits(), 3 * 2 * 4), 0);

    CDibPicture grey;
    grey.Create(16, 16, 8, false);
    FillRandom(grey, 9);
    ASSERT_TRUE(EncodePictureByExtension(dir.File("g.jpg"), grey));
    EXPECT_EQ(grey.GetBitsPerPixel(), 8);
    ImageDecoder().MakePictureFromFile(dir.File("g.jpg"), back);
    EXPECT_EQ(back.GetBitsPerPixel(), 32);
}

TEST(Encoders, JpegAndGifAreCloseAndGifHasAtMost256Colours) {
    TempDir dir;
    CDibPicture p, back;
    p.Create(64, 48, 32, false);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t* px = p.GetLineArray()[y] + 4 * x;
            px[0] = uint8_t(x * 4), px[1] = uint8_t(y * 5), px[2] = uint8_t((x + y) * 2);
        }
    ASSERT_TRUE(EncodePictureByExtension(dir.File("a.jpg"), p));
    ImageDecoder().MakePictureFromFile(dir.File("a.jpg"), back);
    ASSERT_EQ(back.GetBitsPerPixel(), 32);
    long error = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                error +=
                    std::abs(p.GetLineArray()[y][4 * x + c] - back.GetLineArray()[y][4 * x + c]);
    EXPECT_LT(double(error) / (64 * 48 * 3), 3.0);

    p.Create(40, 40, 32, false);
    FillRandom(p, 3);
    ASSERT_TRUE(EncodePictureByExtension(dir.File("a.gif"), p));
    ImageDecoder().MakePictureFromFile(dir.File("a.gif"), back);
    ASSERT_EQ(back.GetBitsPerPixel(), 8);
    EXPECT_EQ(back.GetWidth(), 40);
    std::set<uint32_t> colours;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) colours.insert(RgbAt(back, x, y));
    EXPECT_LE(colours.size(), 256u);
    EXPECT_GT(colours.size(), 16u);
}

TEST(Encoders, TooSmallASinkIsAnOverflowAndWritesNothing) {
    TempDir dir;
    CDibPicture p;
    p.Create(8, 8, 32, false);
    FillRandom(p, 1);
    struct TinyBmp : CBMPEncoder {
        void Run(const std::string& path, const CPicture& picture) {
            CFileSink sink;
            ASSERT_EQ(sink.Open(path, 100), 0);
            DoEncode(sink, picture);
        }
    } encoder;
    const CTextException e = Raised([&] { encoder.Run(dir.File("x.bmp"), p); });
    EXPECT_EQ(e.GetCode(), 11);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.bmp")));
}

// ---------------------------------------------------------------------------------------------
// The library decoders on small cases of their own

TEST(LibraryDecoders, GreyRampsDepthsAndEpsPreview) {
    CDibPicture p;
    ImageDecoder().MakePictureFromFile(kCorpus + "/png/pngsuite/basn0g02.png", p);
    ASSERT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(p.GetPalette()[1], (RGBAPIXEL{85, 85, 85, 255}));
    EXPECT_EQ(p.GetPalette()[3], (RGBAPIXEL{255, 255, 255, 255}));
    ImageDecoder().MakePictureFromFile(kCorpus + "/png/pngsuite/basn0g16.png", p);
    EXPECT_EQ(p.GetPalette()[128], (RGBAPIXEL{128, 128, 128, 255}));
    ImageDecoder().MakePictureFromFile(kCorpus + "/png/pngsuite/basn2c08.png", p, 8);
    EXPECT_EQ(p.GetBitsPerPixel(), 8);

    // A TIFF inside an EPS header: offsets in the TIFF count from its own start.
    TempDir dir;
    CDibPicture original;
    original.Create(9, 7, 32, false);
    FillRandom(original, 4);
    CTIFFEncoder().EncodeToFile(dir.File("p.tif"), original);
    const std::vector<uint8_t> tiff = ReadFile(dir.File("p.tif"));
    const size_t tiffOffset = 130;
    std::vector<uint8_t> eps(tiffOffset + tiff.size(), ' ');
    eps[0] = 0xC5, eps[1] = 0xD0, eps[2] = 0xD3, eps[3] = 0xC6;
    PutLE32(eps, 20, uint32_t(tiffOffset));
    PutLE32(eps, 24, uint32_t(tiff.size()));
    std::copy(tiff.begin(), tiff.end(), eps.begin() + long(tiffOffset));
    Decode(eps, p);
    ExpectSameColours(original, p);
}

TEST(LibraryDecoders, DamagedStreamsRaiseAndLeakNothing) {
    CDibPicture p;
    const std::string files[] = {"png/pngsuite/basn6a08.png", "jpeg/libjpeg-turbo/testorig.jpg",
                                 "gif/pillow/hopper.gif", "tiff/pillow/hopper.tif"};
    for (const std::string& name : files) {
        const std::vector<uint8_t> good = ReadFile(kCorpus + "/" + name);
        ASSERT_GT(good.size(), 100u) << name;
        // Headers intact, body scrambled; then cut in the middle.
        std::vector<uint8_t> bad = good;
        std::mt19937 rng(1);
        for (size_t i = 40; i < bad.size(); i += 7) bad[i] = uint8_t(rng());
        try {
            Decode(bad, p);
        } catch (const CTextException&) {
        }
        bad.assign(good.begin(), good.begin() + long(good.size() / 2));
        try {
            Decode(bad, p);
        } catch (const CTextException&) {
        }
    }
    const uint8_t jpegJunk[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xC0, 0, 5, 1, 2};
    const CTextException e =
        Raised([&] { ImageDecoder().MakePictureFromMemory(jpegJunk, sizeof jpegJunk, p); });
    EXPECT_EQ(e.GetCode(), 6);
}
