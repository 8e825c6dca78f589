#include "editor/Filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imagefile/Bands.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using editor::As32Bit;
using editor::ScratchPicture;

namespace {

// Rows processed between two looks at the progress sink; the sink still gets one report
// per row.
constexpr int kRowChunk = 16;
constexpr int kQuarterTurnChunk = 256;

inline uint32_t* Row32(const CPicture& p, int y) {
    return reinterpret_cast<uint32_t*>(p.GetLineArray()[y]);
}

// Applies a byte-to-byte table to blue, green and red; the fourth byte travels unchanged,
// so a picture's transparency survives colour adjustments.
void MapRowPortable(const uint8_t* s, uint8_t* d, int width, const uint8_t* lut) {
    for (int x = 0; x < width; ++x, s += 4, d += 4) {
        d[0] = lut[s[0]];
        d[1] = lut[s[1]];
        d[2] = lut[s[2]];
        d[3] = s[3];
    }
}

#if defined(__x86_64__)
// The same table lookup, 64 bytes at a time: two two-register byte permutes cover the
// 256 entries and the top bit of each byte picks between them.
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void MapRowVbmi(const uint8_t* s, uint8_t* d,
                                                               int width, const uint8_t* lut) {
    const __m512i t0 = _mm512_loadu_si512(lut), t1 = _mm512_loadu_si512(lut + 64);
    const __m512i t2 = _mm512_loadu_si512(lut + 128), t3 = _mm512_loadu_si512(lut + 192);
    const __mmask64 fourth = 0x8888888888888888ull;
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m512i v = _mm512_loadu_si512(s + 4 * x);
        const __m512i lo = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i hi = _mm512_permutex2var_epi8(t2, v, t3);
        __m512i r = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lo, hi);
        r = _mm512_mask_blend_epi8(fourth, r, v);
        _mm512_storeu_si512(d + 4 * x, r);
    }
    MapRowPortable(s + 4 * x, d + 4 * x, width - x, lut);
}
#endif

void MapRow(const uint8_t* s, uint8_t* d, int width, const uint8_t* lut) {
#if defined(__x86_64__)
    static const bool vbmi =
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
    if (vbmi) return MapRowVbmi(s, d, width, lut);
#endif
    MapRowPortable(s, d, width, lut);
}

uint8_t ClampToByte(double v) {
    if (v >= 255) return 255;
    if (v < 0) return 0;
    return uint8_t(v);
}

// One pass of a per-row operation over a 32-bit destination, with the per-row reports.
template <class RowFn>
void ForRows(int height, int width, RowFn&& row, const std::function<void(int)>& report) {
    ForEachBand(
        height, kRowChunk, double(width) * 8,
        [&](int begin, int end) {
            for (int y = begin; y < end; ++y) row(y);
        },
        report);
}

[[gnu::target_clones("avx2", "default")]] void GrayRow(const uint8_t* __restrict s,
                                                       uint8_t* __restrict d, int width) {
    for (int x = 0; x < width; ++x) {
        const double v = 0.212671 * s[4 * x + 2] + 0.71516 * s[4 * x + 1] + 0.072169 * s[4 * x];
        d[x] = uint8_t(int(v));
    }
}

[[gnu::target_clones("avx2", "default")]] void InvertRow(const uint32_t* __restrict s,
                                                         uint32_t* __restrict d, int width) {
    for (int x = 0; x < width; ++x) d[x] = s[x] ^ 0x00FFFFFFu;
}

[[gnu::target_clones("avx2", "default")]] void ReverseRow(const uint32_t* __restrict s,
                                                          uint32_t* __restrict d, int width) {
    for (int x = 0; x < width; ++x) d[x] = s[width - 1 - x];
}

// --- rotation ----------------------------------------------------------------------------

// The source position of destination pixel (i, j) when a rotation is an exact quarter or
// half turn: row = r0 + dri * i + drj * j, column = c0 + dci * i + dcj * j.
struct AxisMap {
    int r0, dri, drj, c0, dci, dcj;
};

#if defined(__x86_64__)
// Transposes the 8x8 block of 32-bit pixels s[b][0..7] (b = 0..7) into out[0..7].
[[gnu::target("avx2")]] inline void Transpose8x8(const uint32_t* const* s, int at, __m256i* out) {
    __m256i v[8];
    for (int b = 0; b < 8; ++b)
        v[b] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s[b] + at));
    __m256i t[8], u[8];
    for (int b = 0; b < 8; b += 2) {
        t[b] = _mm256_unpacklo_epi32(v[b], v[b + 1]);
        t[b + 1] = _mm256_unpackhi_epi32(v[b], v[b + 1]);
    }
    for (int b = 0; b < 8; b += 4) {
        u[b] = _mm256_unpacklo_epi64(t[b], t[b + 2]);
        u[b + 1] = _mm256_unpackhi_epi64(t[b], t[b + 2]);
        u[b + 2] = _mm256_unpacklo_epi64(t[b + 1], t[b + 3]);
        u[b + 3] = _mm256_unpackhi_epi64(t[b + 1], t[b + 3]);
    }
    for (int r = 0; r < 4; ++r) {
        out[r] = _mm256_permute2x128_si256(u[r], u[r + 4], 0x20);
        out[r + 4] = _mm256_permute2x128_si256(u[r], u[r + 4], 0x31);
    }
}

// 16x16 blocks of a quarter turn. Sixteen source rows are read front to back across the
// band (so the prefetcher sees sixteen plain streams), and each block gives 64 bytes (a
// whole cache line) to each of sixteen destination rows. Where the destination lines are
// aligned they are written around the cache: the picture is far larger than the cache and
// would only push out what the reads need. Returns the first destination row it did not do.
[[gnu::target("avx2")]] int QuarterTurnTilesAvx2(const CPicture& src, CPicture& dst,
                                                 const AxisMap& m, int iBegin, int iEnd) {
    const int width = dst.GetWidth();
    const int iTiles = iBegin + (iEnd - iBegin) / 16 * 16;
    // Blocks start where the destination rows' cache lines do (when rows are whole lines
    // apart); the columns before the first and after the last block go one by one.
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(dst.GetLineArray()[0]) % 64;
    const int j0 =
        dst.GetBytesPerLine() % 64 == 0 && misalign % 4 == 0 ? int((64 - misalign) % 64 / 4) : 0;
    const int jEnd = width < j0 ? j0 : j0 + (width - j0) / 16 * 16;
    // Source column of the lowest of destination rows i..i+15, and those rows in the order
    // of their source columns.
    auto lowColumn = [&](int i) { return m.dci > 0 ? m.c0 + i : m.c0 - (i + 15); };
    auto rows = [&](int i, uint32_t** d) {
        for (int a = 0; a < 16; ++a) d[a] = Row32(dst, m.dci > 0 ? i + a : i + 15 - a);
    };
    bool streamed = false;
    for (int j = j0; j < jEnd; j += 16) {
        const uint32_t* line[16];
        for (int b = 0; b < 16; ++b) line[b] = Row32(src, m.r0 + m.drj * (j + b));
        for (int i = iBegin; i < iTiles; i += 16) {
            const int cLo = lowColumn(i);
            const uint32_t* s[16];
            for (int b = 0; b < 16; ++b) s[b] = line[b] + cLo;
            uint32_t* d[16];
            rows(i, d);
            bool stream = true;
            for (int a = 0; a < 16; ++a)
                stream = stream && reinterpret_cast<uintptr_t>(d[a] + j) % 64 == 0;
            streamed = streamed || stream;
            for (int half = 0; half < 16; half += 8) {
                __m256i left[8], right[8];
                Transpose8x8(s, half, left);
                Transpose8x8(s + 8, half, right);
                for (int r = 0; r < 8; ++r) {
                    __m256i* p = reinterpret_cast<__m256i*>(d[half + r] + j);
                    if (stream) {
                        _mm256_stream_si256(p, left[r]);
                        _mm256_stream_si256(p + 1, right[r]);
                    } else {
                        _mm256_storeu_si256(p, left[r]);
                        _mm256_storeu_si256(p + 1, right[r]);
                    }
                }
            }
        }
    }
    if (streamed) _mm_sfence();
    for (int i = iBegin; i < iTiles; i += 16) {
        const int cLo = lowColumn(i);
        uint32_t* d[16];
        rows(i, d);
        for (int j = 0; j < width; ++j) {
            if (j == j0 && jEnd > j0) j = jEnd;
            if (j >= width) break;
            for (int a = 0; a < 16; ++a) d[a][j] = Row32(src, m.r0 + m.drj * j)[cLo + a];
        }
    }
    return iTiles;
}
#endif

// 4x4 blocks of a quarter turn: four source rows give four pixels of four destination rows.
void QuarterTurnRows(const CPicture& src, CPicture& dst, const AxisMap& m, int iBegin, int iEnd) {
    const int width = dst.GetWidth();
    auto pixel = [&](int i, int j) -> uint32_t {
        return Row32(src, m.r0 + m.drj * j)[m.c0 + m.dci * i];
    };
    int i = iBegin;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) i = QuarterTurnTilesAvx2(src, dst, m, iBegin, iEnd);
#endif
#if defined(__SSE2__)
    for (; i + 4 <= iEnd; i += 4) {
        // Source columns of destination rows i..i+3, lowest first.
        const int cLo = m.dci > 0 ? m.c0 + i : m.c0 - (i + 3);
        uint32_t* d[4];
        for (int a = 0; a < 4; ++a) d[a] = Row32(dst, m.dci > 0 ? i + a : i + 3 - a);
        int j = 0;
        for (; j + 4 <= width; j += 4) {
            __m128i v[4];
            for (int b = 0; b < 4; ++b)
                v[b] = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(Row32(src, m.r0 + m.drj * (j + b)) + cLo));
            const __m128i t0 = _mm_unpacklo_epi32(v[0], v[1]);
            const __m128i t1 = _mm_unpacklo_epi32(v[2], v[3]);
            const __m128i t2 = _mm_unpackhi_epi32(v[0], v[1]);
            const __m128i t3 = _mm_unpackhi_epi32(v[2], v[3]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d[0] + j), _mm_unpacklo_epi64(t0, t1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d[1] + j), _mm_unpackhi_epi64(t0, t1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d[2] + j), _mm_unpacklo_epi64(t2, t3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d[3] + j), _mm_unpackhi_epi64(t2, t3));
        }
        for (; j < width; ++j)
            for (int a = 0; a < 4; ++a) Row32(dst, i + a)[j] = pixel(i + a, j);
    }
#endif
    for (; i < iEnd; ++i) {
        uint32_t* d = Row32(dst, i);
        for (int j = 0; j < width; ++j) d[j] = pixel(i, j);
    }
}

void HalfTurnRows(const CPicture& src, CPicture& dst, const AxisMap& m, int iBegin, int iEnd) {
    const int width = dst.GetWidth();
    for (int i = iBegin; i < iEnd; ++i) {
        const uint32_t* s = Row32(src, m.r0 + m.dri * i);
        uint32_t* d = Row32(dst, i);
        if (m.dcj > 0)
            std::memcpy(d, s + m.c0, size_t(width) * 4);
        else
            ReverseRow(s + m.c0 - (width - 1), d, width);
    }
}

// Reads and writes single pixels of a picture of any depth, for the general rotation.
uint32_t GetPixel(const CPicture& p, int x, int y) {
    const uint8_t* row = p.GetLineArray()[y];
    switch (p.GetBitsPerPixel()) {
    case 32:
        return reinterpret_cast<const uint32_t*>(row)[x];
    case 8:
        return row[x];
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

void SetPixel(CPicture& p, int x, int y, uint32_t v) {
    uint8_t* row = p.GetLineArray()[y];
    switch (p.GetBitsPerPixel()) {
    case 32:
        reinterpret_cast<uint32_t*>(row)[x] = v;
        break;
    case 8:
        row[x] = uint8_t(v);
        break;
    default:
        if (v & 1)
            row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        else
            row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
    }
}

// The general case, evaluated exactly as written: x*c + y*s + 0.5 and y*c - x*s + 0.5, both
// rounded down. The products of x are the same for every row, so they are made once.
[[gnu::target_clones("avx2", "default")]] void RotateRow32(const CPicture& src, uint32_t* d,
                                                           const double* xc, const double* xs,
                                                           double yc, double ys, int width,
                                                           uint32_t background) {
    const double w = src.GetWidth(), h = src.GetHeight();
    uint8_t* const* lines = src.GetLineArray();
    for (int j = 0; j < width; ++j) {
        const double col = std::floor(xc[j] + ys + 0.5);
        const double row = std::floor(yc - xs[j] + 0.5);
        if (col >= 0 && col < w && row >= 0 && row < h)
            d[j] = reinterpret_cast<const uint32_t*>(lines[int(row)])[int(col)];
        else
            d[j] = background;
    }
}

} // namespace

void RotateFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const double c = std::cos(-m_angle), s = std::sin(-m_angle);
    const int W = source.GetWidth(), H = source.GetHeight();
    auto round = [](double v) { return std::floor(v + 0.5); };

    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const double corners[4][2] = {
        {0, 0}, {double(W - 1), 0}, {0, double(H - 1)}, {double(W - 1), double(H - 1)}};
    for (const auto& p : corners) {
        const double x = round(p[0] * c - p[1] * s), y = round(p[0] * s + p[1] * c);
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    Report(0.01);
    const int dw = int(maxX - minX) + 1, dh = int(maxY - minY) + 1;
    const uint16_t bpp = source.GetBitsPerPixel();
    if (bpp == 32)
        destination.CreateForOverwrite(dw, dh, bpp, source.HasAlpha());
    else
        destination.Create(dw, dh, bpp, source.HasAlpha());
    if (bpp <= 8) destination.SetPalette(source.GetPalette(), source.GetPaletteSize());
    auto report = [&](int i) { ReportStep(0.01, 0.99, i, dh - 1); };

    // A quarter or half turn puts every destination pixel on a source pixel with the
    // cross term far below half a pixel, so the rounding is known without evaluating it.
    const double extent = std::max(
        {std::abs(minX), std::abs(maxX), std::abs(minY), std::abs(maxY), double(W), double(H)});
    const int iMinX = int(minX), iMinY = int(minY);
    bool fast = false;
    bool quarter = false;
    AxisMap m{};
    if ((s == 1 || s == -1) && std::abs(c) * extent < 0.25) {
        const int si = int(s);
        m = {-iMinX * si, 0, -si, iMinY * si, si, 0};
        quarter = true;
        fast = true;
    } else if ((c == 1 || c == -1) && std::abs(s) * extent < 0.25) {
        const int ci = int(c);
        m = {iMinY * ci, ci, 0, iMinX * ci, 0, ci};
        fast = true;
    }
    if (fast) {
        // Only when the canvas lies on the source exactly; otherwise the general path
        // paints the background where needed.
        auto inside = [](int v0, int dv, int n, int limit) {
            const int last = v0 + dv * (n - 1);
            return std::min(v0, last) >= 0 && std::max(v0, last) < limit;
        };
        fast = bpp == 32 && inside(m.r0, m.dri + m.drj, quarter ? dw : dh, H) &&
               inside(m.c0, m.dci + m.dcj, quarter ? dh : dw, W);
    }

    if (fast) {
        // A quarter turn reads the source across; longer bands keep those reads long.
        ForEachBand(
            dh, quarter ? kQuarterTurnChunk : kRowChunk, double(dw) * 8,
            [&](int b, int e) {
                if (quarter)
                    QuarterTurnRows(source, destination, m, b, e);
                else
                    HalfTurnRows(source, destination, m, b, e);
            },
            report);
    } else if (bpp == 32) {
        std::vector<double> xc(static_cast<size_t>(dw)), xs(static_cast<size_t>(dw));
        for (int j = 0; j < dw; ++j) {
            const double x = minX + j;
            xc[size_t(j)] = x * c;
            xs[size_t(j)] = x * s;
        }
        ForEachBand(
            dh, kRowChunk, double(dw) * 16,
            [&](int b, int e) {
                for (int i = b; i < e; ++i) {
                    const double y = minY + i;
                    RotateRow32(source, Row32(destination, i), xc.data(), xs.data(), y * c, y * s,
                                dw, m_background);
                }
            },
            report);
    } else {
        const uint32_t background = bpp == 8 ? (m_background & 0xFF) : (m_background & 1);
        for (int i = 0; i < dh; ++i) {
            const double y = minY + i;
            for (int j = 0; j < dw; ++j) {
                const double x = minX + j;
                const double col = round(x * c + y * s), row = round(y * c - x * s);
                const bool in = col >= 0 && col < W && row >= 0 && row < H;
                SetPixel(destination, j, i, in ? GetPixel(source, int(col), int(row)) : background);
            }
            report(i);
        }
    }
    Report(1.0);
}

void ImageFilter::MakeRows32(const CPicture& src, CPicture& destination, double start, double span,
                             const std::function<void(int)>& row) const {
    const int W = src.GetWidth(), H = src.GetHeight();
    Report(start);
    destination.CreateForOverwrite(W, H, 32, src.HasAlpha());
    ForRows(H, W, row, [&](int y) { ReportStep(start, span, y, H); });
    Report(1.0);
}

void BrightnessFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth();
    const double offset = m_lightness * 2.55;
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v) lut[v] = ClampToByte(v + offset);
    MakeRows32(src, destination, 0.01, 0.99, [&](int y) {
        MapRow(src.GetLineArray()[y], destination.GetLineArray()[y], W, lut);
    });
}

void ContrastFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth();
    const double base = (m_pivot - 125) * m_contrast + 125;
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v) lut[v] = ClampToByte(v * m_contrast + base);
    MakeRows32(src, destination, 0.01, 0.99, [&](int y) {
        MapRow(src.GetLineArray()[y], destination.GetLineArray()[y], W, lut);
    });
}

namespace {

// One pixel of the intensity curve; newValue holds step 2 for every possible value, which
// depends on nothing else.
void IntensityPixel(const uint8_t* s, uint8_t* d, const double* newValue) {
    const int b = s[0], g = s[1], r = s[2];
    const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
    const double saturation = mx == 0 ? 0.0 : double((mx - mn) * 255) / mx;
    double hue = 0;
    if (saturation != 0) {
        const double delta = mx - mn;
        if (r == mx)
            hue = (g - b) / delta;
        else if (g == mx)
            hue = (b - r) / delta + 2;
        else
            hue = (r - g) / delta + 4;
        hue *= 42.5;
        if (hue < 0) hue += 255;
        if (hue > 255) hue -= 255;
    }
    const double value = newValue[mx];
    double red, green, blue;
    if (int(saturation) == 0) {
        red = green = blue = value;
    } else {
        const double h = hue * 6 / 255;
        int sector = int(h);
        const double f = h - sector;
        const double v = value / 255, sat = saturation / 255;
        const double p = v * (1 - sat) * 255;
        const double q = v * (1 - sat * f) * 255;
        const double t = v * (1 - sat * (1 - f)) * 255;
        const double vv = v * 255;
        switch (std::clamp(sector, 0, 5)) {
        case 0:
            red = vv, green = t, blue = p;
            break;
        case 1:
            red = q, green = vv, blue = p;
            break;
        case 2:
            red = p, green = vv, blue = t;
            break;
        case 3:
            red = p, green = q, blue = vv;
            break;
        case 4:
            red = t, green = p, blue = vv;
            break;
        default:
            red = vv, green = p, blue = q;
            break;
        }
    }
    d[0] = ClampToByte(blue);
    d[1] = ClampToByte(green);
    d[2] = ClampToByte(red);
    d[3] = s[3];
}

} // namespace

void IntensityFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth(), H = src.GetHeight();
    const double factor = ((m_intensity - 20) * 0.25) / std::pow(255.0, m_exponent);
    double newValue[256];
    for (int v = 0; v < 256; ++v)
        newValue[v] = v >= m_offset ? v * (factor * std::pow(v - m_offset, m_exponent) + 1) : v;
    Report(0.01);
    destination.CreateForOverwrite(W, H, 32, src.HasAlpha());
    ForRows(
        H, W * 4,
        [&](int y) {
            const uint8_t* s = src.GetLineArray()[y];
            uint8_t* d = destination.GetLineArray()[y];
            for (int x = 0; x < W; ++x) IntensityPixel(s + 4 * x, d + 4 * x, newValue);
        },
        [&](int y) { ReportStep(0.01, 0.99, y, H); });
    Report(1.0);
}

void GrayscaleFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth(), H = src.GetHeight();
    Report(0.01);
    destination.CreateForOverwrite(W, H, 8, false);
    const size_t pad = size_t(destination.GetBytesPerLine() - W);
    ForRows(
        H, W,
        [&](int y) {
            uint8_t* d = destination.GetLineArray()[y];
            GrayRow(src.GetLineArray()[y], d, W);
            std::memset(d + W, 0, pad);
        },
        [&](int y) { ReportStep(0.01, 0.99, y, H); });
    Report(1.0);
}

void InvertFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth();
    MakeRows32(src, destination, 0.05, 0.95,
               [&](int y) { InvertRow(Row32(src, y), Row32(destination, y), W); });
}

void FlipHorizontalFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth();
    MakeRows32(src, destination, 0.04, 0.96,
               [&](int y) { ReverseRow(Row32(src, y), Row32(destination, y), W); });
}

void FlipVerticalFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = As32Bit(source, ScratchPicture(1));
    const int W = src.GetWidth(), H = src.GetHeight();
    MakeRows32(src, destination, 0.05, 0.95, [&](int y) {
        std::memcpy(Row32(destination, H - 1 - y), Row32(src, y), size_t(W) * 4);
    });
}

namespace {

// Clips a run of n items that starts at a in a range of length la and at b in one of length
// lb; returns the offsets [lo, hi) of the part inside both.
std::pair<int, int> ClipRun(int a, int la, int b, int lb, int n) {
    const int lo = std::max({0, -a, -b});
    const int hi = std::min({n, la - a, lb - b});
    return {lo, std::max(lo, hi)};
}

int BytesPerPixel(const CPicture& p) {
    return p.GetBitsPerPixel() == 8 ? 1 : 4;
}

} // namespace

void RegionMoveFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    // Pictures of other depths are widened: the move works on whole bytes per pixel.
    const uint16_t sbpp = source.GetBitsPerPixel();
    const CPicture& src = sbpp == 8 ? source : As32Bit(source, ScratchPicture(1));
    destination.CopyWithDepth(src, 0);
    Report(0.01);
    const int W = src.GetWidth(), H = src.GetHeight();
    const int bpp = BytesPerPixel(src);
    const int areaW = m_area.Width(), areaH = m_area.Height();
    const int rows = std::min(m_destination.Height(), areaH);
    const int cols = std::min(m_destination.Width(), areaW);

    if (!m_copy) {
        const uint8_t r = uint8_t(m_fillColour), g = uint8_t(m_fillColour >> 8),
                      b = uint8_t(m_fillColour >> 16);
        const uint32_t pixel = uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16;
        const uint8_t index = src.GetBitsPerPixel() == 8 ? uint8_t(src.FindNearestIndex(pixel)) : 0;
        const auto [x0, x1] = ClipRun(m_area.left, W, m_area.left, W, areaW);
        for (int step = 0; step < areaH; ++step) {
            const int y = m_area.top + step;
            if (y >= 0 && y < H) {
                uint8_t* d = destination.GetLineArray()[y];
                if (bpp == 1)
                    std::memset(d + m_area.left + x0, index, size_t(x1 - x0));
                else
                    std::fill(reinterpret_cast<uint32_t*>(d) + m_area.left + x0,
                              reinterpret_cast<uint32_t*>(d) + m_area.left + x1, pixel);
            }
            ReportStep(0, 0.5, step, areaH);
        }
    }

    const double e = m_copy ? 0 : 0.5;
    const auto [x0, x1] = ClipRun(m_source.left, W, m_destination.left, W, cols);
    for (int i = 0; i < rows; ++i) {
        const int sy = m_source.top + i, dy = m_destination.top + i;
        if (sy >= 0 && sy < H && dy >= 0 && dy < H && x1 > x0)
            std::memcpy(destination.GetLineArray()[dy] + size_t(m_destination.left + x0) * bpp,
                        src.GetLineArray()[sy] + size_t(m_source.left + x0) * bpp,
                        size_t(x1 - x0) * bpp);
        ReportStep(e, 1 - e, i, rows);
    }
    Report(1.0);
}

PasteFilter::PasteFilter(const CPicture& pasted, const CRect& pastedArea, const CRect& destination,
                         ProgressSink* progress)
    : ImageFilter(progress), m_pastedArea(pastedArea.Normalized()),
      m_destination(destination.Normalized()), m_pasted(std::make_unique<CDibPicture>()) {
    m_pasted->CopyWithDepth(pasted, 0);
}

void PasteFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    destination.CopyWithDepth(source, 0);
    Report(0.08);
    const uint16_t bpp = source.GetBitsPerPixel();
    if (bpp == 8 || bpp == 32) {
        // The view converts the pasted picture first; should one of another depth arrive,
        // it is converted here rather than copied byte for byte at the wrong width.
        CDibPicture converted;
        const CPicture* pasted = m_pasted.get();
        if (pasted->GetBitsPerPixel() != bpp) {
            converted.CopyWithDepth(*pasted, bpp);
            pasted = &converted;
        }
        const int bytes = bpp / 8;
        const int H = destination.GetHeight(), W = destination.GetWidth();
        const int n = std::min(m_pastedArea.Width(), m_destination.Width());
        const auto [x0, x1] =
            ClipRun(m_pastedArea.left, pasted->GetWidth(), m_destination.left, W, n);
        const int steps = m_pastedArea.Height();
        for (int j = m_pastedArea.top; j < m_pastedArea.bottom; ++j) {
            const int i = m_destination.top + (j - m_pastedArea.top);
            if (i >= 0 && i < H && j >= 0 && j < pasted->GetHeight() && x1 > x0)
                std::memcpy(destination.GetLineArray()[i] + size_t(m_destination.left + x0) * bytes,
                            pasted->GetLineArray()[j] + size_t(m_pastedArea.left + x0) * bytes,
                            size_t(x1 - x0) * bytes);
            ReportStep(0.08, 0.92, j - m_pastedArea.top, steps);
        }
    }
    Report(1.0);
}

void CropFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const int W = source.GetWidth(), H = source.GetHeight();
    const int left = std::max(m_left, 0), top = std::max(m_top, 0);
    const int right = std::min(m_right, W), bottom = std::min(m_bottom, H);
    if (right <= left || bottom <= top)
        throw CTextException(CTextException::Malformed,
                             "The crop rectangle lies outside the picture.");
    Report(0.01);
    const int w = right - left, h = bottom - top;
    const uint16_t bpp = source.GetBitsPerPixel();
    if (bpp == 32)
        destination.CreateForOverwrite(w, h, bpp, source.HasAlpha());
    else
        destination.Create(w, h, bpp, source.HasAlpha());
    if (bpp <= 8) destination.SetPalette(source.GetPalette(), source.GetPaletteSize());
    for (int y = top; y < bottom; ++y) {
        const uint8_t* s = source.GetLineArray()[y];
        uint8_t* d = destination.GetLineArray()[y - top];
        if (bpp == 1) {
            // Bit-packed rows: one bit at a time, the rest of the row stays zero.
            for (int x = 0; x < w; ++x)
                if ((s[(left + x) >> 3] >> (7 - ((left + x) & 7))) & 1)
                    d[x >> 3] |= uint8_t(0x80 >> (x & 7));
        } else {
            const int bytes = bpp / 8;
            std::memcpy(d, s + size_t(left) * bytes, size_t(w) * bytes);
        }
        ReportStep(0.01, 0.99, y - top, h);
    }
    Report(1.0);
}
