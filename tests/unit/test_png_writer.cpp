// The PNG encoder filters and compresses the rows itself and lets libpng write the chunks.
// The oracle is libpng writing the same picture row by row with its default filter choice:
// the chunks before the image data must be the same bytes, and the image data, once
// inflated, the same filtered rows. Large pictures are compressed in bands that must still
// form one valid zlib stream.

#include <gtest/gtest.h>

#include <csetjmp>
#include <random>

#include <png.h>
#include <zlib.h>

#include "ImageTestUtil.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureEncoder.h"

using namespace imagetest;

namespace {

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

std::vector<Chunk> Chunks(const std::vector<uint8_t>& file) {
    std::vector<Chunk> chunks;
    for (size_t pos = 8; pos + 12 <= file.size();) {
        const size_t n = size_t(file[pos]) << 24 | size_t(file[pos + 1]) << 16 |
                         size_t(file[pos + 2]) << 8 | file[pos + 3];
        Chunk c{std::string(file.begin() + long(pos) + 4, file.begin() + long(pos) + 8), {}};
        c.data.assign(file.begin() + long(pos) + 8, file.begin() + long(pos + 8 + n));
        // Every chunk's CRC must hold.
        uLong crc = crc32(0, file.data() + pos + 4, uInt(n + 4));
        const uint8_t* stored = file.data() + pos + 8 + n;
        EXPECT_EQ(crc, uLong(stored[0]) << 24 | uLong(stored[1]) << 16 | uLong(stored[2]) << 8 |
                           stored[3])
            << c.type;
        chunks.push_back(std::move(c));
        pos += 12 + n;
    }
    return chunks;
}

// The image data inflated; fails the test when the zlib stream or its checksum is bad.
std::vector<uint8_t> Inflated(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> z;
    for (const auto& c : chunks)
        if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
    std::vector<uint8_t> out;
    z_stream s{};
    inflateInit(&s);
    s.next_in = z.data();
    s.avail_in = uInt(z.size());
    int status = Z_OK;
    while (status == Z_OK) {
        uint8_t piece[65536];
        s.next_out = piece;
        s.avail_out = sizeof piece;
        status = inflate(&s, Z_NO_FLUSH);
        out.insert(out.end(), piece, piece + (sizeof piece - s.avail_out));
    }
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(s.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&s);
    return out;
}

struct Buffer {
    std::vector<uint8_t> bytes;
};
void Append(png_structp png, png_bytep data, size_t n) {
    auto* b = static_cast<Buffer*>(png_get_io_ptr(png));
    b->bytes.insert(b->bytes.end(), data, data + n);
}
void NoFlush(png_structp) {}

// libpng writing the rows itself, with the transforms and the defaults it has for them.
bool WriteWithLibpng(const CPicture* p, Buffer* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, NoFlush);
    const png_uint_32 w = png_uint_32(p->GetWidth()), h = png_uint_32(p->GetHeight());
    png_color_8 sig{};
    const RGBAPIXEL* pal = p->GetPalette();
    if (p->GetBitsPerPixel() == 1) {
        png_set_IHDR(png, info, w, h, 1, PNG_COLOR_TYPE_GRAY, 0, 0, 0);
        sig.gray = 1;
    } else if (p->GetBitsPerPixel() == 8) {
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_PALETTE, 0, 0, 0);
        png_color entries[256];
        for (int i = 0; i < 256; ++i) entries[i] = {pal[i].r, pal[i].g, pal[i].b};
        png_set_PLTE(png, info, entries, 256);
        sig.red = sig.green = sig.blue = 8;
    } else {
        png_set_IHDR(png, info, w, h, 8,
                     p->HasAlpha() ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, 0, 0, 0);
        sig.red = sig.green = sig.blue = 8;
        sig.alpha = p->HasAlpha() ? 8 : 0;
    }
    png_set_sBIT(png, info, &sig);
    png_write_info(png, info);
    if (p->GetBitsPerPixel() == 1 && pal[0].r == 255) png_set_invert_mono(png);
    if (p->GetBitsPerPixel() == 32) {
        png_set_bgr(png);
        if (!p->HasAlpha()) png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    for (png_uint_32 y = 0; y < h; ++y) png_write_row(png, p->GetLineArray()[y]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Smooth runs, edges and noise, so that every filter wins some rows.
void FillMixed(CPicture& p, uint32_t seed) {
    std::mt19937 rng(seed);
    const int bytes = p.GetBitsPerPixel() == 32  ? 4 * p.GetWidth()
                      : p.GetBitsPerPixel() == 8 ? p.GetWidth()
                                                 : (p.GetWidth() + 7) / 8;
    for (int y = 0; y < p.GetHeight(); ++y) {
        uint8_t* row = p.GetLineArray()[y];
        const int kind = int(rng() % 4);
        for (int i = 0; i < bytes; ++i) {
            switch (kind) {
            case 0:
                row[i] = uint8_t(rng());
                break;
            case 1:
                row[i] = uint8_t(i + y);
                break;
            case 2:
                row[i] = uint8_t((i / 16 + y / 8) % 2 ? 200 : 30);
                break;
            default:
                row[i] = uint8_t(i * y / 7 + (rng() & 3));
                break;
            }
        }
    }
}

void ExpectLikeLibpng(const CPicture& picture, const std::string& what) {
    SCOPED_TRACE(what);
    TempDir dir;
    CPNGEncoder().EncodeToFile(dir.File("a.png"), picture);
    const auto ours = Chunks(ReadFile(dir.File("a.png")));
    Buffer reference;
    ASSERT_TRUE(WriteWithLibpng(&picture, &reference));
    const auto theirs = Chunks(reference.bytes);

    std::vector<std::string> names;
    for (const auto& c : ours)
        if (c.type != "IDAT" || names.back() != "IDAT") names.push_back(c.type);
    using Names = std::vector<std::string>;
    const Names expected = ours[0].data[9] == 3 ? Names{"IHDR", "sBIT", "PLTE", "IDAT", "IEND"}
                                                : Names{"IHDR", "sBIT", "IDAT", "IEND"};
    EXPECT_EQ(names, expected);
    for (size_t i = 0; i < ours.size() && ours[i].type != "IDAT"; ++i) {
        EXPECT_EQ(ours[i].type, theirs[i].type);
        EXPECT_EQ(ours[i].data, theirs[i].data) << ours[i].type;
    }
    const auto a = Inflated(ours), b = Inflated(theirs);
    ASSERT_EQ(a.size(), b.size());
    size_t firstDiff = 0;
    while (firstDiff < a.size() && a[firstDiff] == b[firstDiff]) ++firstDiff;
    EXPECT_EQ(firstDiff, a.size()) << "first differing byte of the filtered rows";

    CDibPicture back;
    ImageDecoder().MakePictureFromFile(dir.File("a.png"), back);
    ASSERT_EQ(back.GetWidth(), picture.GetWidth());
    for (int y = 0; y < picture.GetHeight(); y += 7)
        for (int x = 0; x < picture.GetWidth(); x += 3)
            ASSERT_EQ(RgbAt(back, x, y), RgbAt(picture, x, y)) << x << "," << y;
}

TEST(PngWriter, RowsFilteredAsLibpngFiltersThem) {
    for (bool alpha : {false, true}) {
        CDibPicture p;
        p.Create(301, 97, 32, alpha);
        FillMixed(p, alpha ? 2 : 1);
        ExpectLikeLibpng(p, alpha ? "RGBA" : "RGB");
    }
    CDibPicture indexed;
    indexed.Create(203, 61, 8, false);
    FillMixed(indexed, 3);
    for (int i = 0; i < 256; ++i) indexed.SetPaletteEntry(i, uint8_t(i), uint8_t(7 * i), 9);
    ExpectLikeLibpng(indexed, "palette");
    for (bool whiteIsZero : {false, true}) {
        CDibPicture bits;
        bits.Create(77, 40, 1, false);
        FillMixed(bits, 4);
        bits.SetPaletteEntry(0, whiteIsZero ? 255 : 0, whiteIsZero ? 255 : 0,
                             whiteIsZero ? 255 : 0);
        bits.SetPaletteEntry(1, whiteIsZero ? 0 : 255, whiteIsZero ? 0 : 255,
                             whiteIsZero ? 0 : 255);
        ExpectLikeLibpng(bits, whiteIsZero ? "1 bit, white is 0" : "1 bit, black is 0");
    }
}

// Big enough to be compressed in several bands side by side.
TEST(PngWriter, LargePicturesStayOneValidStream) {
    CDibPicture p;
    p.Create(1531, 1207, 32, false);
    FillMixed(p, 5);
    ExpectLikeLibpng(p, "large RGB");
    CDibPicture indexed;
    indexed.Create(2048, 1500, 8, false);
    FillMixed(indexed, 6);
    ExpectLikeLibpng(indexed, "large palette");
}

} // namespace
