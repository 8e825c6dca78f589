#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "imagefile/Bands.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureEncoder.h"

namespace {

struct PngWriteState {
    CFileSink* sink;
    char message[256];
};

void PngError(png_structp png, png_const_charp text) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    if (state->message[0] == '\0') std::snprintf(state->message, sizeof state->message, "%s", text);
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, size_t length) {
    auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
    if (state->sink->WriteSome(data, length) != length) {
        std::snprintf(state->message, sizeof state->message, "Error writting file");
        png_longjmp(png, 1);
    }
}
void PngFlush(png_structp) {}

bool IsGrey(const RGBAPIXEL& p, uint8_t v) {
    return p.r == v && p.g == v && p.b == v;
}

// How the rows are laid out in the PNG and how they are filtered.
struct RowFormat {
    size_t rowBytes; // bytes of one row in the file, without its filter byte
    int pixelBytes;  // distance to the byte of the pixel to the left (1 below 8 bits)
    bool adaptive;   // per row the filter with the smallest sum, else none
    bool invert;     // 1 bpp with white as 0
};

// One row of the picture in the file's sample order.
void PackRow(const CPicture& picture, const RowFormat& f, int y, uint8_t* out) {
    const uint8_t* in = picture.GetLineArray()[y];
    if (picture.GetBitsPerPixel() == 32) {
        const size_t width = size_t(picture.GetWidth());
        if (f.pixelBytes == 4) {
            for (size_t x = 0; x < width; ++x, in += 4, out += 4) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
            }
        } else {
            for (size_t x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    } else if (f.invert) {
        for (size_t i = 0; i < f.rowBytes; ++i) out[i] = uint8_t(~in[i]);
    } else {
        std::memcpy(out, in, f.rowBytes);
    }
}

// The cost PNG writers give a filtered row: the sum of its bytes taken as signed values.
inline uint32_t Cost(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += uint32_t(std::abs(int(int8_t(p[i]))));
    return sum;
}

// Writes the filter byte and the filtered row. The choice among the five filters is the
// usual one (libpng's and Pillow's): the smallest cost, the earlier filter on a tie. Each
// filter is a loop of its own, which the compiler turns into vector code.
void FilterRow(const uint8_t* row, const uint8_t* above, const RowFormat& f, uint8_t* out,
               uint8_t* scratch) {
    const size_t n = f.rowBytes;
    if (!f.adaptive) {
        out[0] = 0;
        std::memcpy(out + 1, row, n);
        return;
    }
    const size_t bpp = size_t(f.pixelBytes);
    uint8_t* sub = scratch;
    uint8_t* up = scratch + n;
    uint8_t* avg = scratch + 2 * n;
    uint8_t* paeth = scratch + 3 * n;
    for (size_t i = 0; i < bpp; ++i) {
        sub[i] = row[i];
        avg[i] = uint8_t(row[i] - (above[i] >> 1));
        paeth[i] = uint8_t(row[i] - above[i]);
    }
    for (size_t i = bpp; i < n; ++i) sub[i] = uint8_t(row[i] - row[i - bpp]);
    for (size_t i = 0; i < n; ++i) up[i] = uint8_t(row[i] - above[i]);
    for (size_t i = bpp; i < n; ++i)
        avg[i] = uint8_t(row[i] - ((unsigned(row[i - bpp]) + above[i]) >> 1));
    for (size_t i = bpp; i < n; ++i) {
        const int a = row[i - bpp], b = above[i], c = above[i - bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        paeth[i] = uint8_t(row[i] - predicted);
    }
    const uint8_t* candidates[5] = {row, sub, up, avg, paeth};
    int best = 0;
    uint32_t bestCost = Cost(row, n);
    for (int k = 1; k < 5; ++k) {
        const uint32_t c = Cost(candidates[k], n);
        if (c < bestCost) bestCost = c, best = k;
    }
    out[0] = uint8_t(best);
    std::memcpy(out + 1, candidates[best], n);
}

// The image data as one zlib stream, at the settings libpng uses by default (level 6, 32 KB
// window, memory level 8; filtered strategy with adaptive filters). A large picture is cut into
// a fixed number of bands, compressed side by side: each band is primed with the 32 KB before
// it and ends on a byte boundary (a sync flush), so the bands join into one ordinary stream.
// The number of bands depends on the size alone, so the file is the same on every machine.
class IdatStream {
public:
    IdatStream(const CPicture& picture, const RowFormat& f) : m_picture(picture), m_format(f) {}

    void Build() {
        const int height = m_picture.GetHeight();
        const size_t stride = m_format.rowBytes + 1;
        m_filteredSize = stride * size_t(height);
        m_filtered.reset(new uint8_t[m_filteredSize]);
        const int bands = int(std::clamp<size_t>(m_filteredSize / kBandBytes, 1, kMaxBands));
        for (int b = 0; b <= bands; ++b) m_bandRows.push_back(int(int64_t(height) * b / bands));
        m_out.resize(size_t(bands));
        m_adler.resize(size_t(bands));
        m_ok.assign(size_t(bands), 0);

        RunBands(bands, BandThreadCount(bands), [this](int b, int) { FilterBand(b); });
        RunBands(bands, BandThreadCount(bands), [this](int b, int) { DeflateBand(b); });

        m_stream.clear();
        m_stream.push_back(0x78);
        m_stream.push_back(0x9C);
        uLong adler = adler32(0, nullptr, 0);
        for (int b = 0; b < bands; ++b) {
            if (!m_ok[size_t(b)]) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
            m_stream.insert(m_stream.end(), m_out[size_t(b)].begin(), m_out[size_t(b)].end());
            const size_t length =
                size_t(m_bandRows[size_t(b + 1)] - m_bandRows[size_t(b)]) * (m_format.rowBytes + 1);
            adler = adler32_combine(adler, m_adler[size_t(b)], z_off_t(length));
        }
        for (int shift = 24; shift >= 0; shift -= 8) m_stream.push_back(uint8_t(adler >> shift));
    }

    const std::vector<uint8_t>& Stream() const { return m_stream; }

private:
    static constexpr size_t kBandBytes = 1 << 20;
    static constexpr size_t kMaxBands = 4;
    static constexpr size_t kWindow = 32768;

    void FilterBand(int b) {
        const size_t n = m_format.rowBytes, stride = n + 1;
        std::vector<uint8_t> rows(2 * n), scratch(4 * n);
        uint8_t* row = rows.data();
        uint8_t* above = rows.data() + n;
        const int first = m_bandRows[size_t(b)], end = m_bandRows[size_t(b + 1)];
        if (first > 0)
            PackRow(m_picture, m_format, first - 1, above);
        else
            std::memset(above, 0, n);
        for (int y = first; y < end; ++y) {
            PackRow(m_picture, m_format, y, row);
            FilterRow(row, above, m_format, m_filtered.get() + size_t(y) * stride, scratch.data());
            std::swap(row, above);
        }
    }

    void DeflateBand(int b) {
        const size_t stride = m_format.rowBytes + 1;
        const size_t begin = size_t(m_bandRows[size_t(b)]) * stride;
        const size_t end = size_t(m_bandRows[size_t(b + 1)]) * stride;
        const bool last = b + 1 == int(m_out.size());
        z_stream z{};
        if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8,
                         m_format.adaptive ? Z_FILTERED : Z_DEFAULT_STRATEGY) != Z_OK)
            return;
        const uint8_t* data = m_filtered.get();
        if (begin > 0) {
            const size_t primed = std::min(begin, kWindow);
            deflateSetDictionary(&z, data + begin - primed, uInt(primed));
        }
        std::vector<uint8_t>& out = m_out[size_t(b)];
        out.resize(deflateBound(&z, uLong(end - begin)) + 16);
        z.next_in = const_cast<Bytef*>(data + begin);
        z.avail_in = uInt(end - begin);
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        const bool done = last ? status == Z_STREAM_END : status == Z_OK && z.avail_in == 0;
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        m_adler[size_t(b)] = adler32(adler32(0, nullptr, 0), data + begin, uInt(end - begin));
        m_ok[size_t(b)] = char(done);
    }

    const CPicture& m_picture;
    const RowFormat m_format;
    std::unique_ptr<uint8_t[]> m_filtered;
    size_t m_filteredSize = 0;
    std::vector<int> m_bandRows;
    std::vector<std::vector<uint8_t>> m_out;
    std::vector<uLong> m_adler;
    std::vector<char> m_ok;
    std::vector<uint8_t> m_stream;
};

RowFormat FormatOf(const CPicture& picture, bool invert) {
    const size_t width = size_t(picture.GetWidth());
    switch (picture.GetBitsPerPixel()) {
    case 1:
        return {(width + 7) / 8, 1, false, invert};
    case 8:
        return {width, 1, false, false};
    default:
        return picture.HasAlpha() ? RowFormat{width * 4, 4, true, false}
                                  : RowFormat{width * 3, 3, true, false};
    }
}

// The only frame libpng may jump out of; nothing in it needs destroying.
bool EncodeFrom(png_structp png, png_infop info, const CPicture* picture,
                const std::vector<uint8_t>* stream) {
    if (setjmp(png_jmpbuf(png))) return false;
    const png_uint_32 width = png_uint_32(picture->GetWidth());
    const png_uint_32 height = png_uint_32(picture->GetHeight());
    const RGBAPIXEL* palette = picture->GetPalette();
    png_color_8 sigBit{};
    switch (picture->GetBitsPerPixel()) {
    case 1: {
        // Grey keeps black as 0 and white as 1; a picture with the opposite palette is written
        // inverted, and one with other colours as a two-entry palette, so colours survive.
        const bool blackWhite = IsGrey(palette[0], 0) && IsGrey(palette[1], 255);
        const bool whiteBlack = IsGrey(palette[0], 255) && IsGrey(palette[1], 0);
        if (blackWhite || whiteBlack) {
            png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            sigBit.gray = 1;
        } else {
            png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_color entries[2];
            for (int i = 0; i < 2; ++i) entries[i] = {palette[i].r, palette[i].g, palette[i].b};
            png_set_PLTE(png, info, entries, 2);
            sigBit.red = sigBit.green = sigBit.blue = 8;
        }
        break;
    }
    case 8: {
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color entries[256];
        for (int i = 0; i < 256; ++i) entries[i] = {palette[i].r, palette[i].g, palette[i].b};
        png_set_PLTE(png, info, entries, 256);
        sigBit.red = sigBit.green = sigBit.blue = 8;
        break;
    }
    default:
        png_set_IHDR(png, info, width, height, 8,
                     picture->HasAlpha() ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        sigBit.red = sigBit.green = sigBit.blue = 8;
        sigBit.alpha = picture->HasAlpha() ? 8 : 0;
        break;
    }
    png_set_sBIT(png, info, &sigBit);
    png_write_info(png, info);
    // The library writes the chunks; the image data is compressed above, so it goes in as
    // ready-made IDAT chunks and the file ends with IEND as png_write_end would end it.
    constexpr size_t kChunk = 1 << 20;
    for (size_t at = 0; at < stream->size(); at += kChunk)
        png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), stream->data() + at,
                        std::min(kChunk, stream->size() - at));
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
    return true;
}

struct PngWriteGuard {
    png_structp png;
    png_infop info;
    ~PngWriteGuard() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

} // namespace

void CPNGEncoder::DoEncode(CFileSink& sink, const CPicture& picture) {
    PngWriteState state{&sink, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!png) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    PngWriteGuard guard{png, nullptr};
    guard.info = png_create_info_struct(png);
    if (!guard.info) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    png_set_write_fn(png, &state, PngWrite, PngFlush);
    // Compressed before libpng's jump frame is entered, where C++ objects may not live.
    const RGBAPIXEL* palette = picture.GetPalette();
    const bool invert =
        picture.GetBitsPerPixel() == 1 && IsGrey(palette[0], 255) && IsGrey(palette[1], 0);
    IdatStream stream(picture, FormatOf(picture, invert));
    stream.Build();
    if (!EncodeFrom(png, guard.info, &picture, &stream.Stream()))
        RaiseImageError(CTextException::NotSupported, state.message);
}
